#include "addin/OutlookEventSinkApplicationImpl.h"

#include "base/AppMessageBox.h"
#include "addin/Dispatch.h"
#include "base/EntryPoint.h"

namespace Outlook {

void COutlookEventSinkApplicationImpl::OnEvent(DISPID id, DISPPARAMS& params) {
    if (id == DISPID_OptionsPagesAdd) OnOptionsPagesAdd(DispatchArgument(params));
}

void COutlookEventSinkApplicationImpl::OnOptionsPagesAdd(IDispatch* argument) {
    (void)Error::GuardEntryPoint(Error::kOptionsPagesEvent, [&] {
        const CDispatchDriver pages = CDispatchDriver::Query(argument, IID_PropertyPages);
        pages.Call("Add", MakeVariant("ZxBrackenmeadowSyncExt.SettingsPropPage"), MakeVariant(kZxAppName));
    });
}

} // namespace Outlook
