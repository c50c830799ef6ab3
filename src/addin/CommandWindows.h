#pragma once
// The windows of the add-in's commands, as the user meets them: the application's boxes, the "Program
// settings" sheet and the progress window. The Synchronize command's sequence (engine) opens them.
#include <vector>

#include "base/AppMessageBox.h"
#include "engine/SynchronizeCommand.h"
#include "mapi/Session.h"

namespace Commands {

// The "Program settings" sheet with the options page over session, owned by the active window; true
// when it ended with OK. Throws ZxException.
bool ShowOptionsSheet(const ZxIMAPISession& session);

// The Synchronize command's windows: the application's boxes, the sheet, and the progress
// window without a parent.
class CCommandWindows final : public ISynchronizeWindows {
public:
    void Tell(const std::vector<ZxNotice>& notices) override;
    bool ShowOptions(const ZxIMAPISession& session) override;
    void ShowProgress(const SynchronizeRun& run) override;
};

} // namespace Commands
