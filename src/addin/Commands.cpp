#include "addin/Commands.h"

#include "ui/AppMessageBox.h"
#include "addin/MerrowlinkExtension.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "config/Settings.h"
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

void RunSynchronize() {
    const ZxIMAPISession session = GetGlobalObjects().m_extension->GetSession();
    if (!session) ZX_THROW_TEXT_HERE("Failed to obtain MAPI session.");
    CSettings settings(session.GetProfileName());
    settings.Load();
    if (settings.GetAssocs().empty()) {
        if (!ShowOptionsSheet(session)) return;
        settings.Load();
    }
    settings.OpenFolders(session);
    CSettings copy(settings);
    CDlgSynchro window(session, copy, nullptr);
    window.DoModal();
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
