#include "addin/CommandWindows.h"

#include "ui/DlgSynchro.h"
#include "ui/PropPageOptions.h"

namespace Commands {

bool ShowOptionsSheet(const ZxIMAPISession& session) {
    CPropPageOptions page;
    page.SetSession(session);
    // Owned by the Outlook window the command came from: while the sheet is up that window takes no
    // clicks, so no second command can start underneath it.
    page.DoModalSheet(GetActiveWindow());
    return page.IsConfirmed();
}

void CCommandWindows::Tell(const std::vector<ZxNotice>& notices) { ZxShowNotices(notices); }

bool CCommandWindows::ShowOptions(const ZxIMAPISession& session) { return ShowOptionsSheet(session); }

void CCommandWindows::ShowProgress(const SynchronizeRun& run) { CDlgSynchro(run, nullptr).DoModal(); }

} // namespace Commands
