#pragma once
// The Synchronize command's sequence without its windows: the ribbon and toolbar handlers run it with
// the real options sheet and progress window, the console runner with its console.
#include "config/Settings.h"
#include "mapi/Session.h"

// The windows the command opens.
class ISynchronizeWindows {
public:
    virtual ~ISynchronizeWindows() = default;
    // The options sheet, shown when the profile has no pair yet; true when it ended with OK.
    virtual bool ShowOptions(const ZxIMAPISession& session) = 0;
    // The progress window, shown modally over a copy of the settings; it synchronizes every pair.
    virtual void ShowProgress(const ZxIMAPISession& session, const CSettings& settings) = 0;
};

// A fresh settings object for the session's profile is loaded (with the reinstall check); with no pair
// the options sheet comes first, and the command stops unless it ended with OK (then the settings are
// loaded again); the folders of every pair are opened and the progress window runs them.
void RunSynchronizeCommand(const ZxIMAPISession& session, ISynchronizeWindows& windows);
