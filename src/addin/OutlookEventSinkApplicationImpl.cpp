#include "addin/OutlookEventSinkApplicationImpl.h"

#include "ui/AppMessageBox.h"
#include "addin/Dispatch.h"
#include "base/Errors.h"

namespace Outlook {

void COutlookEventSinkApplicationImpl::OnEvent(DISPID id, DISPPARAMS& params) {
    if (id == DISPID_OptionsPagesAdd) OnOptionsPagesAdd(DispatchArgument(params));
}

void COutlookEventSinkApplicationImpl::OnOptionsPagesAdd(IDispatch* argument) {
    try {
        const CDispatchDriver pages = CDispatchDriver::Query(argument, IID_PropertyPages);
        pages.Call("Add", MakeVariant("ZxBrackenmeadowSyncExt.SettingsPropPage"), MakeVariant(kZxAppName));
    } catch (const Error::ZxException& e) {
        e.ShowErrorBox(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    } catch (const CComError& e) {
        ZxAppMessageBox(e.GetText());
    } catch (...) {
        ZxAppMessageBox("Unhandled exception!");
    }
}

} // namespace Outlook
