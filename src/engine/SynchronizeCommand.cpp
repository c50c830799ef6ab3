#include "engine/SynchronizeCommand.h"

#include "config/Settings.h"
#include "engine/SettingsLoad.h"
#include "engine/SyncRun.h"

void RunSynchronizeCommand(const ZxIMAPISession& session, ISynchronizeWindows& windows) {
    CSettings settings(session.GetProfileName());
    windows.Tell(LoadSettings(settings));
    if (settings.GetAssocs().empty()) {
        if (!windows.ShowOptions(session)) return;
        windows.Tell(LoadSettings(settings));
    }
    settings.OpenFolders(session);
    windows.ShowProgress([&settings](IStatusWindow& status) {
        RunAllPairs(settings.GetProfileName(), settings.GetAssocs(), status);
    });
}
