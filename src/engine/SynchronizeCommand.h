#pragma once
// The Synchronize command's sequence without its windows: the ribbon and toolbar handlers run it with
// the real message boxes, options sheet and progress window, the console runner with its console.
#include <functional>
#include <vector>

#include "base/AppMessageBox.h"
#include "engine/StatusWindow.h"
#include "mapi/Session.h"

// The work the progress window starts once it is on the screen, reporting through the window.
using SynchronizeRun = std::function<void(IStatusWindow& status)>;

// The windows the command opens; each is given only what it shows.
class ISynchronizeWindows {
public:
    virtual ~ISynchronizeWindows() = default;
    // What loading the settings found (a damaged file, pairs dropped), in the application's boxes.
    virtual void Tell(const std::vector<ZxNotice>& notices) = 0;
    // The options sheet, shown when the profile has no pair yet; true when it ended with OK.
    virtual bool ShowOptions(const ZxIMAPISession& session) = 0;
    // The progress window, shown modally; it starts `run` once it is on the screen.
    virtual void ShowProgress(const SynchronizeRun& run) = 0;
};

// A fresh settings object for the session's profile is loaded (LoadSettings) and what it found told;
// with no pair the options sheet comes first, and the command stops unless it ended with OK (then the
// settings are loaded again); the folders of every pair are opened and the progress window runs all
// pairs once (RunAllPairs).
void RunSynchronizeCommand(const ZxIMAPISession& session, ISynchronizeWindows& windows);
