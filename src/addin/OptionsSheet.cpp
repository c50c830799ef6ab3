#include "addin/Commands.h"

#include "ui/PropPageOptions.h"

namespace Commands {

bool ShowOptionsSheet(const ZxIMAPISession& session) {
    CPropPageOptions page;
    page.SetSession(session);
    // The sheet answers a positive value when it ended with OK, 0 after Cancel.
    return page.DoModalSheet() > 0;
}

} // namespace Commands
