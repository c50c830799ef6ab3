#include "addin/OutlookEventSinkApplicationImpl.h"

#include "base/AppMessageBox.h"
#include "addin/Dispatch.h"
#include "base/EntryPoint.h"
#include "base/StringTable.h"
#include "resources/StringIds.h"

namespace Outlook {

void COutlookEventSinkApplicationImpl::OnEvent(DISPID id, DISPPARAMS& params) {
    if (id == DISPID_OptionsPagesAdd) OnOptionsPagesAdd(DispatchArgument(params));
}

void COutlookEventSinkApplicationImpl::OnOptionsPagesAdd(IDispatch* argument) {
    (void)Error::GuardEntryPoint(Error::kOptionsPagesEvent, [&] {
        const CDispatchDriver pages = CDispatchDriver::Query(argument, IID_PropertyPages);
        pages.Call("Add", MakeVariant("ZxBrackenmeadowSyncExt.SettingsPropPage"), MakeVariant(kZxAppName));
        // The automatic runs' options, titled as the sheet's page (the add-in's name where no text loads).
        std::string title = ZxLoadString(IDS_AUTOSYNC_TITLE);
        if (title.empty()) title = kZxAppName;
        pages.Call("Add", MakeVariant("ZxBrackenmeadowSyncExt.AutoSyncPropPage"), MakeVariant(title.c_str()));
    });
}

} // namespace Outlook
