// run: what the Synchronize command and the progress window do, with the console as the window.
#include <cstdio>

#include "Commands.h"
#include "ConsoleStatusWindow.h"
#include "ToolPaths.h"
#include "ToolWorld.h"
#include "config/Settings.h"
#include "engine/PairCacheRemoval.h"
#include "engine/SyncRun.h"

namespace syncrun {

int Run(const Options& options) {
    if (!options.args.empty()) {
        Complain("run takes no arguments besides --fresh-log");
        return kExitUsage;
    }
    ToolWorld world;
    if (!LoadProfileOrComplain(world, options.profileFile)) return kExitUsage;
    std::string error;
    ToolPaths paths(options.dataFolder);
    Error::IZxLogFile* log = paths.OpenLog(options.freshLog);
    if (!log) Complain("cannot open the log file " + paths.LogPath() + "; the run goes on without it");

    bool hadErrors = false;
    {
        // A fresh settings object for the session's profile, loaded with its reinstall check, and the
        // folders of every pair opened, as the Synchronize command does.
        const ZxIMAPISession session = world.Session();
        CSettings settings(session.GetProfileName());
        CPairCacheRemoval caches;
        settings.Load(caches);
        settings.OpenFolders(session);
        ConsoleStatusWindow window(log, stdout);
        RunAllPairs(settings.GetProfileName(), settings.GetAssocs(), window);
        hadErrors = window.HadErrors();
    }
    // What the run did to the folders stays for the next command.
    if (!world.Save(error)) {
        Complain(error);
        return kExitUsage;
    }
    return hadErrors ? kExitFailed : kExitOk;
}

} // namespace syncrun
