#include "addin/OutlookEventSinkExplorerImpl.h"

#include "addin/MerrowlinkExtension.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "base/LogFile.h"

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

// Another explorer of Outlook's that is still open, or null when the closing one was the last.
Microsoft::WRL::ComPtr<IDispatch> COutlookEventSinkExplorerImpl::OtherOpenExplorer() const {
    const CDispatchDriver closing = CDispatchDriver::Query(Source(), IID__Explorer);
    const CDispatchDriver application = closing.GetObject("Application", IID__Application);
    const CDispatchDriver explorers = application.GetObject("Explorers", IID__Explorers);
    Microsoft::WRL::ComPtr<IUnknown> closingIdentity;
    Source()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(closingIdentity.GetAddressOf()));
    const long count = explorers.GetLong("Count");
    for (long i = 1; i <= count; ++i) {
        const CDispatchDriver explorer = explorers.GetObject("Item", IID__Explorer, MakeVariant(i));
        if (!explorer) continue;
        Microsoft::WRL::ComPtr<IUnknown> identity;
        explorer.Get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf()));
        if (identity.Get() != closingIdentity.Get()) return Microsoft::WRL::ComPtr<IDispatch>(explorer.Get());
    }
    return nullptr;
}

// Closing one of several windows leaves Outlook running: the sink moves to another open window and the
// controller (session, commands, automatic runs) stays up. Only the last window's close takes it down.
void COutlookEventSinkExplorerImpl::OnClose() {
    // A window that cannot be found or watched is logged; the close is then taken as the last one's.
    bool moved = false;
    (void)Error::GuardEntryPoint(Error::kResultOnly, [&] {
        try {
            const Microsoft::WRL::ComPtr<IDispatch> other = OtherOpenExplorer();
            if (!other) return;
            VARIANT_BOOL advised = VARIANT_FALSE;
            Advise(other.Get(), &advised);
            moved = advised == VARIANT_TRUE;
        } catch (const Error::ZxComError& e) {
            GetLogFile().LogError(e.GetText());
        } catch (...) {
            GetLogFile().LogError(std::string("No other Outlook window could be watched."));
        }
    });
    if (moved) return;
    // Each step runs whatever the one before it met.
    (void)Error::GuardEntryPoint(Error::kResultOnly, [] { GetGlobalObjects().m_extension->Uninitialize(); });
    (void)Error::GuardEntryPoint(Error::kResultOnly, [this] { Unadvise(); });
}

} // namespace Outlook
