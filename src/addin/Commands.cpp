#include "addin/Commands.h"

#include "addin/CommandWindows.h"
#include "addin/MerrowlinkExtension.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "engine/SynchronizeCommand.h"

namespace Commands {

namespace {

// The session of Outlook's profile, which both commands work on.
ZxIMAPISession SessionOrThrow() {
    const ZxIMAPISession session = GetGlobalObjects().m_extension->GetSession();
    if (!session) ZX_THROW_TEXT_HERE("Failed to obtain MAPI session.");
    return session;
}

} // namespace

void Synchronize() {
    (void)Error::GuardEntryPoint(Error::kCommand, [] {
        // One run at a time: a click during an automatic run is taken up right after it.
        CAutoSync& autoSync = GetGlobalObjects().m_extension->GetAutoSync();
        if (autoSync.PutOffClick()) return;
        autoSync.ManualRunStarts();
        const auto ended = zx::scope_exit([&autoSync] { autoSync.ManualRunEnded(); });
        CCommandWindows windows;
        RunSynchronizeCommand(SessionOrThrow(), windows);
    });
}

void Options() {
    (void)Error::GuardEntryPoint(Error::kCommand, [] { ShowOptionsSheet(SessionOrThrow()); });
}

} // namespace Commands
