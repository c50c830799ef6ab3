#include "addin/Commands.h"

#include "ui/AppMessageBox.h"
#include "addin/MerrowlinkExtension.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "config/Settings.h"
#include "engine/SynchronizeCommand.h"
#include "ui/DlgSynchro.h"

namespace Commands {

namespace {

constexpr unsigned kErrorBoxStyle = 0x50010; // MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST

// Outlook's click must never see an exception: whatever failed is logged and shown, then the command ends.
template <class F>
void Guard(F&& command) noexcept {
    try {
        try {
            command();
        } catch (const Error::ZxException& e) {
            GetLogFile().LogException(e, nullptr);
            e.ShowErrorBox(kErrorBoxStyle);
        } catch (...) {
            GetLogFile().LogError(std::string("Unexpected exception!"));
            ZxAppMessageBox("Unexpected exception!");
        }
    } catch (...) {
    }
}

// The command's windows: the options sheet and the progress window, both without an owner.
class CCommandWindows : public ISynchronizeWindows {
public:
    bool ShowOptions(const ZxIMAPISession& session) override { return ShowOptionsSheet(session); }
    void ShowProgress(const ZxIMAPISession& session, const CSettings& settings) override {
        CSettings copy(settings);
        CDlgSynchro window(session, copy, nullptr);
        window.DoModal();
    }
};

void RunSynchronize() {
    // One run at a time: a click during an automatic run is taken up right after it.
    CAutoSync& autoSync = GetGlobalObjects().m_extension->GetAutoSync();
    if (autoSync.PutOffClick()) return;
    autoSync.ManualRunStarts();
    const auto ended = zx::scope_exit([&autoSync] { autoSync.ManualRunEnded(); });
    const ZxIMAPISession session = GetGlobalObjects().m_extension->GetSession();
    if (!session) ZX_THROW_TEXT_HERE("Failed to obtain MAPI session.");
    CCommandWindows windows;
    RunSynchronizeCommand(session, windows);
}

} // namespace

void Synchronize() { Guard(RunSynchronize); }

void Options() {
    Guard([] {
        const ZxIMAPISession session = GetGlobalObjects().m_extension->GetSession();
        if (!session) ZX_THROW_TEXT_HERE("Failed to obtain MAPI session.");
        ShowOptionsSheet(session);
    });
}

} // namespace Commands
