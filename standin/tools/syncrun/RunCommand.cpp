// run: what the Synchronize command and the progress window do, with the console as the window.
#include <cstdio>

#include "Commands.h"
#include "ConsoleStatusWindow.h"
#include "ToolPaths.h"
#include "ToolWorld.h"
#include "engine/SynchronizeCommand.h"

namespace syncrun {
namespace {

// The console has no options sheet: with no pair the run goes on as after OK with nothing changed. Boxes
// are printed by the message box seam; the progress window's work is printed as it would be shown.
class ConsoleWindows : public ISynchronizeWindows {
public:
    ConsoleWindows(Error::IZxLogFile* log, bool confirmDeletions) : m_log(log), m_confirmDeletions(confirmDeletions) {}
    void Tell(const std::vector<ZxNotice>& notices) override { ZxShowNotices(notices); }
    bool ShowOptions(const ZxIMAPISession&) override { return true; }
    void ShowProgress(const SynchronizeRun& run) override {
        ConsoleStatusWindow window(m_log, stdout);
        window.SetDeletionAnswer(m_confirmDeletions);
        run(window);
        m_hadErrors = window.HadErrors();
    }
    bool HadErrors() const { return m_hadErrors; }

private:
    Error::IZxLogFile* m_log;
    bool m_confirmDeletions;
    bool m_hadErrors = false;
};

standin::Bytes FindItem(ToolWorld& world, const Options::ItemRef& ref) {
    std::string error;
    const standin::Bytes folder = world.FindFolder(ref.folder, error);
    if (folder.empty()) {
        Complain(error);
        return standin::Bytes();
    }
    const standin::Bytes item = standin::FindItemBySubject(folder, ref.subject);
    if (item.empty()) Complain("no item '" + ref.subject + "' in '" + ref.folder + "'");
    return item;
}

} // namespace

int Run(const Options& options) {
    if (!options.args.empty()) {
        Complain("run takes no arguments besides its options");
        return kExitUsage;
    }
    ToolWorld world;
    if (!LoadProfileOrComplain(world, options.profileFile)) return kExitUsage;
    std::string error;
    // Another Outlook user at work during the run.
    for (const Options::ItemRef& held : options.holdOpen) {
        const standin::Bytes item = FindItem(world, held);
        if (item.empty()) return kExitFailed;
        standin::SetItemOpenElsewhere(item, true);
    }
    for (const Options::Edit& edit : options.editsDuringCopy) {
        const standin::Bytes item = FindItem(world, edit.item);
        standin::PropMap changes;
        if (item.empty()) return kExitFailed;
        if (!ParseChanges({edit.assignment}, 0, changes)) return kExitUsage;
        standin::BeforeCall("IMessage::SaveChanges", 1, [item, changes] { standin::EditItem(item, changes); });
    }
    ToolPaths paths(options.dataFolder);
    Error::IZxLogFile* log = paths.OpenLog(options.freshLog);
    if (!log) Complain("cannot open the log file " + paths.LogPath() + "; the run goes on without it");

    // The Synchronize command's own sequence, with the console as its windows.
    ConsoleWindows windows(log, options.confirmDeletions);
    RunSynchronizeCommand(world.Session(), windows);
    const bool hadErrors = windows.HadErrors();
    // What the run did to the folders stays for the next command.
    if (!world.Save(error)) {
        Complain(error);
        return kExitUsage;
    }
    return hadErrors ? kExitFailed : kExitOk;
}

} // namespace syncrun
