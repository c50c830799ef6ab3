#include "addin/Commands.h"

namespace Commands {

bool ShowOptionsSheet(const ZxIMAPISession&) { return false; }

} // namespace Commands
