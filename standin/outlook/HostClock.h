#pragma once
// Outlook's clock as the add-ins see it: the real tick count plus whatever a scenario moved it forward,
// so that "an hour later" takes no hour. The host puts it in the place of GetTickCount64 and GetTickCount
// in the add-in module's import table (the module is not changed on disk and knows nothing of it).
#include <windows.h>

namespace outlook {

// Points the module's imports of kernel32's tick counts at the host's clock; answers how many it patched.
int InstallClock(HMODULE module);
void AdvanceClock(ULONGLONG milliseconds);
ULONGLONG ClockOffset();

} // namespace outlook
