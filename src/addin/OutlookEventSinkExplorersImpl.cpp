#include "addin/OutlookEventSinkExplorersImpl.h"

#include "ui/AppMessageBox.h"
#include "addin/MerrowlinkExtension.h"
#include "base/Errors.h"

namespace Outlook {

void COutlookEventSinkExplorersImpl::OnEvent(DISPID id, DISPPARAMS& params) {
    if (id == DISPID_NewExplorer) InitializeTallowmereExtension(DispatchArgument(params));
}

void COutlookEventSinkExplorersImpl::InitializeTallowmereExtension(IDispatch* newExplorer) {
    try {
        if (!newExplorer)
            ZX_THROW_TEXT_AT("No active explorer object found.", "OutlookEventSinkExplorersImpl",
                             "Outlook::COutlookEventSinkExplorersImpl::InitializeTallowmereExtension", 25);
        GetGlobalObjects().m_extension->Initialize(CDispatchDriver(newExplorer, IID__Explorer));
    } catch (const Error::ZxException& e) {
        e.ShowErrorBox(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    } catch (const CComError& e) {
        ZxAppMessageBox(e.GetText(), MB_OK | MB_ICONERROR);
    } catch (...) {
        ZxAppMessageBox("Failed to initialize Orvanta Merrowlink Addin.");
    }
}

} // namespace Outlook
