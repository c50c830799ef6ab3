#include "addin/OutlookEventSinkExplorerImpl.h"

#include "addin/MerrowlinkExtension.h"
#include "base/EntryPoint.h"
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
    (void)Error::GuardEntryPoint(Error::kControllerSetup, [&] {
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
    });
}

void COutlookEventSinkExplorerImpl::OnClose() {
    // Each step runs whatever the one before it met.
    (void)Error::GuardEntryPoint(Error::kResultOnly, [] { GetGlobalObjects().m_extension->Uninitialize(); });
    (void)Error::GuardEntryPoint(Error::kResultOnly, [this] { Unadvise(); });
}

} // namespace Outlook
