#include "addin/OutlookEventSinkExplorerImpl.h"

#include "ui/AppMessageBox.h"
#include "addin/MerrowlinkExtension.h"
#include "base/Errors.h"

namespace Outlook {

void COutlookEventSinkExplorerImpl::OnEvent(DISPID id, DISPPARAMS&) {
    switch (id) {
    case DISPID_ExplorerActivate:
    case DISPID_ExplorerSelectionChange:
        InitializeTallowmereExtension();
        break;
    case DISPID_ExplorerClose:
        OnClose();
        break;
    default: // 0xF002 to 0xF006 and anything newer: nothing to do
        break;
    }
}

void COutlookEventSinkExplorerImpl::InitializeTallowmereExtension() {
    try {
        CDispatchDriver explorer;
        if (Source()) {
            Microsoft::WRL::ComPtr<IDispatch> queried;
            if (SUCCEEDED(Source()->QueryInterface(IID__Explorer, reinterpret_cast<void**>(queried.GetAddressOf()))))
                explorer = CDispatchDriver(std::move(queried), IID__Explorer);
        }
        if (!explorer)
            ZX_THROW_TEXT_AT("No active explorer object found.", "OutlookEventSinkExplorerImpl",
                             "Outlook::COutlookEventSinkExplorerImpl::InitializeTallowmereExtension", 44);
        GetGlobalObjects().m_extension->Initialize(explorer);
    } catch (const Error::ZxException& e) {
        e.ShowErrorBox(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    } catch (const CComError& e) {
        ZxAppMessageBox(e.GetText(), MB_OK | MB_ICONERROR);
    } catch (...) {
        ZxAppMessageBox("Failed to initialize Orvanta Merrowlink Addin.");
    }
}

void COutlookEventSinkExplorerImpl::OnClose() {
    try {
        GetGlobalObjects().m_extension->Uninitialize();
    } catch (...) {
    }
    try {
        Unadvise();
    } catch (...) {
    }
}

} // namespace Outlook
