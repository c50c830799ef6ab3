#include "addin/Commands.h"

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

} // namespace Commands
