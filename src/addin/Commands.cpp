#include "addin/Commands.h"

#include "addin/MerrowlinkExtension.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "config/Settings.h"
#include "engine/SynchronizeCommand.h"
#include "ui/DlgSynchro.h"

namespace Commands {

namespace {

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
    const ZxIMAPISession session = GetGlobalObjects().m_extension->GetSession();
    if (!session) ZX_THROW_TEXT_HERE("Failed to obtain MAPI session.");
    CCommandWindows windows;
    RunSynchronizeCommand(session, windows);
}

} // namespace

void Synchronize() { (void)Error::GuardEntryPoint(Error::kCommand, RunSynchronize); }

void Options() {
    (void)Error::GuardEntryPoint(Error::kCommand, [] {
        const ZxIMAPISession session = GetGlobalObjects().m_extension->GetSession();
        if (!session) ZX_THROW_TEXT_HERE("Failed to obtain MAPI session.");
        ShowOptionsSheet(session);
    });
}

} // namespace Commands
