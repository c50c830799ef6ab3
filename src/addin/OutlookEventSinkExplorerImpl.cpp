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
    // The place this failure has always been reported with.
    static constexpr Error::ZxFixedPlace kNoExplorer{
        "OutlookEventSinkExplorerImpl", "Outlook::COutlookEventSinkExplorerImpl::InitializeTallowmereExtension", 44};
    SetUpController(
        [this] {
            Microsoft::WRL::ComPtr<IDispatch> explorer;
            if (Source()) Source()->QueryInterface(IID__Explorer, reinterpret_cast<void**>(explorer.GetAddressOf()));
            return CDispatchDriver(std::move(explorer), IID__Explorer);
        },
        kNoExplorer);
}

void COutlookEventSinkExplorerImpl::OnClose() {
    // Each step runs whatever the one before it met.
    (void)Error::GuardEntryPoint(Error::kResultOnly, [] { GetGlobalObjects().m_extension->Uninitialize(); });
    (void)Error::GuardEntryPoint(Error::kResultOnly, [this] { Unadvise(); });
}

} // namespace Outlook
