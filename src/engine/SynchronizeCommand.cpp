#include "engine/SynchronizeCommand.h"

#include "engine/PairCacheRemoval.h"

void RunSynchronizeCommand(const ZxIMAPISession& session, ISynchronizeWindows& windows) {
    CPairCacheRemoval caches;
    CSettings settings(session.GetProfileName());
    settings.Load(caches);
    if (settings.GetAssocs().empty()) {
        if (!windows.ShowOptions(session)) return;
        settings.Load(caches);
    }
    settings.OpenFolders(session);
    const CSettings copy = settings;
    windows.ShowProgress(session, copy);
}
