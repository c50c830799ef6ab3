// A user's way from a click in Outlook to synchronized folders: the stand-in Outlook host loads the
// registered add-in over a copy of the demo profile, the click reaches the add-in as Office sends it, and
// the windows that open (options sheet, pair dialog, folder picker, progress window, message boxes) are
// answered through their own controls by the host's user actions. Pairs are configured either through
// those windows or, where the configuration is not the point, with syncrun, which writes the settings
// file where the add-in reads it. Each test has a profile name of its own, so settings, caches and log
// lines of one test never meet another's. Every scenario is checked on the folders, the settings file
// (read by the host) and the log.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AddinTestSupport.h"
#include "HostFixture.h"
#include "Standin.h"
#include "base/Resource.h"
#include "config/AutoSyncOptions.h"
#include "support/TempDir.h"

using namespace addintest;

namespace {

const char kCalendar1[] = "Personal Folders\\Calendar";
const char kCalendar2[] = "Mailbox - Ann Example\\Calendar";
const char kContacts1[] = "Personal Folders\\Contacts";
const char kContacts2[] = "Mailbox - Ann Example\\Contacts";
const std::string kToolbarTag = "{4EDAAE8E-8DCC-4928-ACF6-6FA3BBA83043}";
const std::string kProgress = "Data synchronization";
const std::string kSheet = "Program settings";
const std::string kPairDialog = "New synchronized group";
const std::string kPicker = "Select a folder";

// A window action of the host for the progress window, quoted for the command line.
std::string OnProgress(const std::string& verb, const std::string& arg = "") {
    return "\"" + verb + ":" + kProgress + (arg.empty() ? "" : ":" + arg) + "\" ";
}

class Scenario : public DemoProfileTest {
protected:
    void SetUp() override { UseProfileCopy("Scenario"); }

    // The calendars paired and synchronized by a click (`synced`: their subjects, at least two), then every
    // item of folder 1 hidden (`hidden`), as a store still downloading shows it.
    void SyncCalendarsThenHideFolder1(std::vector<std::string>& synced, std::vector<standin::Bytes>& hidden) {
        AddPair(kCalendar1, kCalendar2);
        Outlook("callback:OnSyncButtonClicked");
        synced = Subjects(kCalendar2);
        ASSERT_GE(synced.size(), 2u);
        ASSERT_EQ(Subjects(kCalendar1), synced);
        ASSERT_TRUE(standin::LoadProfileText(ReadFile(m_profile), nullptr));
        for (const standin::ItemView& item : standin::Items(standin::FolderByPath(kCalendar1))) {
            ASSERT_TRUE(standin::SetItemHidden(item.entryId, true));
            hidden.push_back(item.entryId);
        }
        ASSERT_TRUE(standin::SaveProfile(m_profile, nullptr));
    }

    // The host over the profile; the profile file is written back at the end, as Outlook keeps its stores.
    ProcessResult Outlook(const std::string& steps, const std::string& options = "") {
        ProcessResult r = RunHost(options + " --profile \"" + m_profile + "\" connect startup " + steps + " save");
        EXPECT_FALSE(r.timedOut) << steps;
        EXPECT_EQ(r.exitCode, 0u) << steps << "\n" << r.output;
        EXPECT_TRUE(HasLine(r, "[live] outlook objects: 0")) << r.output;
        EXPECT_TRUE(HasLine(r, "[live] mapi objects: 0")) << r.output;
        return r;
    }

    // A scenario file of host steps, one per line; answers the host's arguments that play it.
    std::string ScenarioFile(const std::vector<std::string>& steps) {
        std::string text = "# written by " + m_profileName + "\n";
        for (const std::string& step : steps) text += step + "\n";
        const std::string path = m_dir / ("scenario" + std::to_string(++m_scenarios) + ".txt");
        EXPECT_TRUE(WriteWholeFile(path, text));
        return "--scenario \"" + path + "\"";
    }

    // What a user does on the options sheet to add a pair: Add, both Browse buttons of the pair dialog
    // with the folder chosen in the picker, and OK.
    static std::vector<std::string> AddPairInSheet(const std::string& folder1, const std::string& folder2) {
        return {"press:" + kSheet + ":Add...",
                "press:" + kPairDialog + ":Browse...",
                "select:" + kPicker + ":" + folder1,
                "press:" + kPicker + ":OK",
                "press:" + kPairDialog + ":Browse..",
                "select:" + kPicker + ":" + folder2,
                "press:" + kPicker + ":OK",
                "press:" + kPairDialog + ":OK"};
    }

    // The position of the first line equal to `line` (npos when none).
    static size_t LineAt(const ProcessResult& r, const std::string& line) {
        const auto at = std::find(r.lines.begin(), r.lines.end(), line);
        return at == r.lines.end() ? std::string::npos : static_cast<size_t>(at - r.lines.begin());
    }
    // The pairs of the settings file as the host reads it ("folder 1 | folder 2").
    static std::vector<std::string> SettingsPairs(const ProcessResult& r) {
        std::vector<std::string> pairs;
        for (const std::string& line : LinesStartingWith(r, "[pair] ")) pairs.push_back(line.substr(7));
        return pairs;
    }
    static std::string PairLine(const char* folder1, const char* folder2) {
        return std::string(folder1) + " | " + folder2;
    }
    static std::string SyncLine(const char* folder1, const char* folder2) {
        return "Synchronization of folders: '" + std::string(folder1) + "' with '" + folder2 + "'";
    }

    // Subjects of a folder, sorted, as the host's dump shows them.
    std::vector<std::string> Subjects(const char* folder) {
        const ProcessResult r = RunHost("--profile \"" + m_profile + "\" dump:\"" + std::string(folder) + "\"");
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        std::vector<std::string> subjects;
        for (const std::string& line : LinesStartingWith(r, "[item] ")) subjects.push_back(line.substr(7));
        return subjects;
    }

    int m_scenarios = 0;
};

TEST_F(Scenario, TheRibbonButtonSynchronizesTheConfiguredPairs) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const std::vector<std::string> calendar1 = Subjects(kCalendar1);
    const std::vector<std::string> calendar2 = Subjects(kCalendar2);
    ASSERT_FALSE(calendar1.empty());
    ASSERT_NE(calendar1, calendar2);
    const ProcessResult r = Outlook("callback:OnSyncButtonClicked");
    // Read before the dumps below: each starts Outlook again, which starts the log afresh.
    const std::string log = Log();
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    EXPECT_TRUE(HasLine(r, "[ribbon] ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi: OnSyncButtonClicked S_OK, returned nothing"))
        << r.output;

    std::vector<std::string> both = calendar1;
    both.insert(both.end(), calendar2.begin(), calendar2.end());
    std::sort(both.begin(), both.end());
    EXPECT_EQ(Subjects(kCalendar1), both);
    EXPECT_EQ(Subjects(kCalendar2), both);
    EXPECT_EQ(Subjects(kContacts1), Subjects(kContacts2));

    EXPECT_NE(log.find("Synchronization of folders: '" + std::string(kCalendar1) + "' with '" + kCalendar2 + "'"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Synchronization of folders: '" + std::string(kContacts1) + "' with '" + kContacts2 + "'"),
              std::string::npos);
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
}

TEST_F(Scenario, Version12SynchronizesFromTheToolbarButton) {
    AddPair(kCalendar1, kCalendar2);
    const ProcessResult r = Outlook("click:" + kToolbarTag + " settings-pairs:1", "--version 12.0.0.6423");
    EXPECT_TRUE(HasLine(r, "[click] Explorer1.Standard.Button1: 1 sink(s)")) << r.output;
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    EXPECT_TRUE(LinesStartingWith(r, "[check] FAILED").empty()) << r.output;
    const std::string log = Log();
    EXPECT_NE(log.find(SyncLine(kCalendar1, kCalendar2)), std::string::npos) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
    EXPECT_FALSE(Subjects(kCalendar1).empty());
}

TEST_F(Scenario, AFailingPairLeavesTheReportUpWithClose) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    // The mailbox's contacts folder goes away after the pair was made.
    std::string text = ReadFile(m_profile);
    ASSERT_TRUE(standin::LoadProfileText(text, nullptr));
    standin::DeleteFolder(standin::FolderByPath(kContacts2));
    ASSERT_TRUE(standin::SaveProfile(m_profile, nullptr));

    const ProcessResult r =
        Outlook(OnProgress("report") + OnProgress("press", "Close") + "callback:OnSyncButtonClicked settings-pairs:2");
    const std::string log = Log();
    EXPECT_TRUE(LinesStartingWith(r, "[check] FAILED").empty()) << r.output;
    EXPECT_TRUE(HasLine(r, "[window] " + kProgress + ": press \"Close\"")) << r.output;
    EXPECT_FALSE(LinesStartingWith(r, "[report] ").empty()) << r.output;
    EXPECT_NE(log.find("Error: "), std::string::npos) << log;
    // The calendar pair ran all the same.
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
}

TEST_F(Scenario, ARunCancelledMidwayIsCompletedByTheNextClick) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const ProcessResult first =
        Outlook(OnProgress("cancel-after", "3") + OnProgress("report") + OnProgress("press", "2") + "callback:OnSyncButtonClicked");
    EXPECT_TRUE(HasLine(first, "[window] " + kProgress + ": cancel after 3 report line(s)")) << first.output;
    EXPECT_EQ(Log().find(SyncLine(kContacts1, kContacts2)), std::string::npos) << "the second pair was not reached";
    EXPECT_NE(Subjects(kContacts1), Subjects(kContacts2)) << "the second pair was not reached";

    const ProcessResult second = Outlook("callback:OnSyncButtonClicked settings-pairs:2");
    EXPECT_TRUE(LinesStartingWith(second, "[message box").empty()) << second.output;
    EXPECT_TRUE(LinesStartingWith(second, "[check] FAILED").empty()) << second.output;
    const std::string log = Log();
    EXPECT_NE(log.find(SyncLine(kCalendar1, kCalendar2)), std::string::npos) << log;
    EXPECT_NE(log.find(SyncLine(kContacts1, kContacts2)), std::string::npos) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
    EXPECT_EQ(Subjects(kContacts1), Subjects(kContacts2));
}

// The first use: no pair yet, so the Synchronize click opens the options sheet (owned by Outlook's window);
// the user adds both pairs through the pair dialog and the folder picker, confirms, and the run follows.
TEST_F(Scenario, TheFirstClickConfiguresThroughTheSheetAndThenSynchronizes) {
    const std::vector<std::string> calendar1 = Subjects(kCalendar1), calendar2 = Subjects(kCalendar2);
    std::vector<std::string> steps = {"owner:" + kSheet, "rows:" + kSheet};
    for (const auto& add : {AddPairInSheet(kCalendar1, kCalendar2), AddPairInSheet(kContacts1, kContacts2)})
        steps.insert(steps.end(), add.begin(), add.end());
    steps.insert(steps.end(), {"rows:" + kSheet, "press:" + kSheet + ":OK", "report:" + kProgress,
                               "callback:OnSyncButtonClicked", "settings"});
    const ProcessResult r = Outlook(ScenarioFile(steps));
    const std::string log = Log();

    EXPECT_TRUE(HasLine(r, "[window] " + kSheet + ": owner \"Inbox - Outlook\"")) << r.output;
    EXPECT_TRUE(HasLine(r, "[window] " + kSheet + ": 0 row(s)")) << r.output;
    EXPECT_TRUE(HasLine(r, "[window] " + kSheet + ": 2 row(s)")) << r.output;
    EXPECT_EQ(LinesStartingWith(r, "[row] "), (std::vector<std::string>{"[row] " + PairLine(kCalendar1, kCalendar2),
                                                                 "[row] " + PairLine(kContacts1, kContacts2)}));
    EXPECT_EQ(LinesStartingWith(r, "[window] opened: " + kPicker).size(), 4u) << r.output;
    EXPECT_LT(LineAt(r, "[window] opened: " + kSheet), LineAt(r, "[window] opened: " + kProgress)) << r.output;
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;

    // The sheet's OK wrote both pairs, in the order they were added; the run then carried both.
    EXPECT_EQ(SettingsPairs(r), (std::vector<std::string>{PairLine(kCalendar1, kCalendar2), PairLine(kContacts1, kContacts2)}));
    EXPECT_TRUE(HasLine(r, "[report] " + SyncLine(kCalendar1, kCalendar2))) << r.output;
    EXPECT_TRUE(HasLine(r, "[report] " + SyncLine(kContacts1, kContacts2))) << r.output;
    std::vector<std::string> both = calendar1;
    both.insert(both.end(), calendar2.begin(), calendar2.end());
    std::sort(both.begin(), both.end());
    EXPECT_EQ(Subjects(kCalendar1), both);
    EXPECT_EQ(Subjects(kCalendar2), both);
    EXPECT_EQ(Subjects(kContacts1), Subjects(kContacts2));
    EXPECT_NE(log.find(SyncLine(kCalendar1, kCalendar2)), std::string::npos) << log;
    EXPECT_NE(log.find(SyncLine(kContacts1, kContacts2)), std::string::npos) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
}

// The sheet of the first click cancelled after a pair was added: nothing is saved and no run starts.
TEST_F(Scenario, CancellingTheFirstSheetStartsNoRun) {
    const std::vector<std::string> calendar1 = Subjects(kCalendar1), calendar2 = Subjects(kCalendar2);
    std::vector<std::string> steps = AddPairInSheet(kCalendar1, kCalendar2);
    steps.insert(steps.end(), {"rows:" + kSheet, "press:" + kSheet + ":Cancel", "callback:OnSyncButtonClicked",
                               "settings", "log-lacks:Synchronization of folders"});
    const ProcessResult r = Outlook(ScenarioFile(steps));

    EXPECT_TRUE(HasLine(r, "[window] " + kSheet + ": 1 row(s)")) << r.output;
    EXPECT_TRUE(HasLine(r, "[window] " + kSheet + ": press \"Cancel\"")) << r.output;
    EXPECT_EQ(LineAt(r, "[window] opened: " + kProgress), std::string::npos) << r.output;
    EXPECT_TRUE(HasLine(r, "[ribbon] ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi: OnSyncButtonClicked S_OK, returned nothing"));
    EXPECT_TRUE(SettingsPairs(r).empty()) << r.output;
    EXPECT_TRUE(HasLine(r, "[check] passed: the log lacks \"Synchronization of folders\"")) << r.output;
    EXPECT_EQ(Subjects(kCalendar1), calendar1);
    EXPECT_EQ(Subjects(kCalendar2), calendar2);
}

// The backstage Options button opens the same sheet; its OK saves the pair and runs nothing. The next
// Synchronize click finds the pair and goes straight to the run.
TEST_F(Scenario, TheOptionsButtonSavesThePairsAndTheNextClickRunsThem) {
    std::vector<std::string> steps = AddPairInSheet(kCalendar1, kCalendar2);
    steps.insert(steps.end(), {"owner:" + kSheet, "press:" + kSheet + ":OK", "callback:OnOptionsBtnClicked",
                               "settings-pairs:1", "settings-has:" + PairLine(kCalendar1, kCalendar2)});
    const ProcessResult options = Outlook(ScenarioFile(steps));
    EXPECT_TRUE(HasLine(options, "[window] " + kSheet + ": owner \"Inbox - Outlook\"")) << options.output;
    EXPECT_EQ(LineAt(options, "[window] opened: " + kProgress), std::string::npos) << options.output;
    EXPECT_TRUE(LinesStartingWith(options, "[check] FAILED").empty()) << options.output;
    EXPECT_NE(Subjects(kCalendar1), Subjects(kCalendar2));

    const ProcessResult run = Outlook("callback:OnSyncButtonClicked settings-pairs:1");
    EXPECT_EQ(LineAt(run, "[window] opened: " + kSheet), std::string::npos) << run.output;
    EXPECT_NE(LineAt(run, "[window] opened: " + kProgress), std::string::npos) << run.output;
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
    EXPECT_NE(Log().find(SyncLine(kCalendar1, kCalendar2)), std::string::npos);
}

// A pair whose folder lived in the shared-folders store file that has since gone: the Synchronize click
// tells the user which pair was removed, before the run of the pairs that are left.
TEST_F(Scenario, TheClickAfterAReinstallNamesTheRemovedPairAndRunsTheRest) {
    const char kShared[] = "Shared Calendar\\Calendar";
    const std::string storeFile = m_dir / "shared.zxb";
    ASSERT_TRUE(WriteWholeFile(storeFile, "store"));
    ASSERT_TRUE(standin::LoadProfileText(ReadFile(m_profile), nullptr));
    standin::StoreSpec shared;
    shared.displayName = "Shared Calendar";
    shared.kind = standin::ProviderKind::SharedFolders;
    shared.storeFilePath = storeFile;
    standin::AddStore(shared);
    ASSERT_TRUE(standin::SaveProfile(m_profile, nullptr));
    AddPair(kShared, kCalendar1);
    AddPair(kContacts1, kContacts2);
    ASSERT_TRUE(DeleteFileA(storeFile.c_str()));

    // The user answers the box with its button (the host would otherwise answer it with OK as well).
    const ProcessResult r = Outlook("\"answer:Orvanta Merrowlink Addin:OK\" callback:OnSyncButtonClicked settings");
    const std::string log = Log();
    EXPECT_TRUE(HasLine(r, "[message box] answered \"OK\"")) << r.output;
    std::vector<std::string> boxes = LinesStartingWith(r, "[message box] ");
    ASSERT_EQ(boxes.size(), 2u) << r.output;
    boxes.pop_back();
    EXPECT_EQ(boxes[0].rfind("[message box] Orvanta Merrowlink Addin: The program has detected that Orvanta "
                             "Brackenmeadow has been reinstalled on this machine.", 0),
              0u)
        << boxes[0];
    EXPECT_NE(boxes[0].find("\\n\\nRemoved pairs:\\n'" + std::string(kShared) + "' - '" + kCalendar1 + "'\\n"),
              std::string::npos)
        << boxes[0];
    EXPECT_TRUE(HasLine(r, "[message box icon] information")) << r.output;
    EXPECT_LT(LineAt(r, boxes[0]), LineAt(r, "[window] opened: " + kProgress)) << r.output;

    EXPECT_EQ(SettingsPairs(r), std::vector<std::string>{PairLine(kContacts1, kContacts2)});
    EXPECT_NE(log.find("Error: Removing ZxBrackenmeadow assoc (" + std::string(kShared) + " - " + kCalendar1 +
                       ")because PST file was recreated."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(SyncLine(kContacts1, kContacts2)), std::string::npos) << log;
    EXPECT_EQ(log.find(SyncLine(kShared, kCalendar1)), std::string::npos) << log;
    EXPECT_EQ(Subjects(kContacts1), Subjects(kContacts2));
}

// Outlook with two windows: closing the first keeps the session and the commands; the click after it
// synchronizes. Closing the second, the last, is Outlook's end.
TEST_F(Scenario, ClosingOneOfTwoWindowsKeepsTheCommandsWorking) {
    AddPair(kCalendar1, kCalendar2);
    const ProcessResult r = Outlook("close:1 callback:OnSyncButtonClicked close:2", "--explorers 2");
    const std::string log = Log();
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    EXPECT_NE(LineAt(r, "[window] opened: " + kProgress), std::string::npos) << r.output;
    EXPECT_NE(log.find(SyncLine(kCalendar1, kCalendar2)), std::string::npos) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
}

// ---- automatic synchronization -------------------------------------------------------------------

const std::string kNotice = "Automatic synchronization";
const std::string kReport = "Automatic synchronization report";

class AutoScenario : public Scenario {
protected:
    void Options(bool interval, int minutes, bool atStart, bool afterChange) {
        CAutoSyncOptions options;
        options.interval = interval;
        options.minutes = minutes;
        options.atStart = atStart;
        options.afterChange = afterChange;
        ASSERT_TRUE(options.Save(m_profileName));
    }
    // A folder of the profile with `count` more items, so that a run takes many steps.
    void Grow(const char* folder, int count) {
        ASSERT_TRUE(standin::LoadProfileText(ReadFile(m_profile), nullptr));
        const standin::Bytes id = standin::FolderByPath(folder);
        for (int i = 0; i < count; ++i) standin::AddItem(id, "Bulk " + std::to_string(i));
        ASSERT_TRUE(standin::SaveProfile(m_profile, nullptr));
    }
    static size_t Count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }
    // The active window of Outlook's thread once the notice is up (the second "focus" step) is not the
    // notice. (Not compared with the first: another program's window, as a test running beside this
    // one shows, may take the activation from Outlook's thread in between.)
    static void ExpectTheNoticeLeftTheFocus(const ProcessResult& r) {
        const std::vector<std::string> focus = LinesStartingWith(r, "[focus] ");
        ASSERT_EQ(focus.size(), 2u) << r.output;
        EXPECT_NE(focus[1], "[focus] \"" + kNotice + "\"") << "the notice took the focus";
    }
    // The union of both folders as a first synchronization leaves it.
    std::vector<std::string> Both(const char* folder1, const char* folder2) {
        std::vector<std::string> both = Subjects(folder1), other = Subjects(folder2);
        both.insert(both.end(), other.begin(), other.end());
        std::sort(both.begin(), both.end());
        return both;
    }
};

// Runs that come by themselves go beside the user: no window opens, nothing is asked, the log says what
// started each one; nothing runs before its time.
TEST_F(AutoScenario, TheIntervalAndOutlooksStartBringARunWithoutAWindow) {
    struct Case {
        const char* what;
        bool interval, atStart;
        const char* before; // the clock moved this far: no run yet
        const char* after; // and then this far: the run
        const char* started;
    } cases[] = {
        {"every 5 minutes", true, false, "wait:290", "wait:12", "Info: Automatic synchronization started (every 5 minutes)."},
        {"at start", false, true, "wait:20", "wait:12", "Info: Automatic synchronization started (Outlook started)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UseProfileCopy("Scenario"); // each case from the demo's own folders
        AddPair(kCalendar1, kCalendar2);
        Options(c.interval, 5, c.atStart, false);
        const std::vector<std::string> both = Both(kCalendar1, kCalendar2);
        const ProcessResult r =
            Outlook(ScenarioFile({c.before, "log-lacks:Synchronization of folders", c.after, "log-has:Automatic synchronization finished."}));
        const std::string log = Log();
        EXPECT_TRUE(LinesStartingWith(r, "[check] FAILED").empty()) << r.output;
        EXPECT_TRUE(LinesStartingWith(r, "[window] opened").empty()) << r.output;
        EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
        EXPECT_NE(log.find(c.started), std::string::npos) << log;
        EXPECT_LT(log.find(c.started), log.find(SyncLine(kCalendar1, kCalendar2))) << log;
        EXPECT_EQ(log.find("Error"), std::string::npos) << log;
        EXPECT_EQ(Subjects(kCalendar1), both);
        EXPECT_EQ(Subjects(kCalendar2), both);
    }
}

// A change in either folder of a pair is followed within a minute by one run of that pair, however many
// changes came in the burst; the run's own writes start no further run.
TEST_F(AutoScenario, ABurstOfChangesInEitherFolderGivesOneRunThatCarriesThem) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    Options(false, 60, false, true);
    for (const char* changed : {kCalendar1, kCalendar2}) {
        SCOPED_TRACE(changed);
        const char* other = changed == kCalendar1 ? kCalendar2 : kCalendar1;
        const std::string folder = changed;
        const ProcessResult r = Outlook(ScenarioFile({"add-item:" + folder + ":Burst one", "wait:4",
                                                      "edit-item:" + folder + ":Burst one", "wait:4",
                                                      "add-item:" + folder + ":Burst two", "wait:4",
                                                      "log-lacks:Synchronization of folders", "wait:20", "wait:60"}));
        const std::string log = Log();
        EXPECT_TRUE(LinesStartingWith(r, "[check] FAILED").empty()) << r.output;
        EXPECT_TRUE(LinesStartingWith(r, "[window] opened").empty()) << r.output;
        EXPECT_EQ(Count(log, "Automatic synchronization started"), 1u) << log;
        EXPECT_NE(log.find("Info: Automatic synchronization started (an item changed in folder '" + folder + "')."),
                  std::string::npos)
            << log;
        EXPECT_EQ(Count(log, "Synchronization of folders"), 1u) << "only the changed pair runs\n" << log;
        const std::vector<std::string> subjects = Subjects(other);
        EXPECT_NE(std::find(subjects.begin(), subjects.end(), "Burst one"), subjects.end());
        EXPECT_NE(std::find(subjects.begin(), subjects.end(), "Burst two"), subjects.end());
        EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
    }
}

// One run at a time: the click during an automatic run starts no second run; the user is told (without
// a box) that it comes right after, and it does.
TEST_F(AutoScenario, AClickDuringAnAutomaticRunIsTakenUpRightAfterIt) {
    Grow(kCalendar1, 3000);
    AddPair(kCalendar1, kCalendar2);
    Options(true, 2, false, false);
    const ProcessResult r = Outlook("during-run:callback:OnSyncButtonClicked wait:121");
    const std::string log = Log();
    EXPECT_TRUE(HasLine(r, "[host] during the run: callback:OnSyncButtonClicked")) << r.output;
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    const size_t started = log.find("Automatic synchronization started (every 2 minutes).");
    const size_t told = log.find("Info: An automatic synchronization is running. Your synchronization starts as soon as it has finished.");
    const size_t finished = log.find("Info: Automatic synchronization finished.");
    ASSERT_NE(finished, std::string::npos) << log;
    EXPECT_LT(started, told);
    EXPECT_LT(told, finished);
    // The click's own run follows: a second synchronization of the pair, in the progress window.
    EXPECT_EQ(Count(log, SyncLine(kCalendar1, kCalendar2)), 2u) << log;
    EXPECT_GT(log.rfind(SyncLine(kCalendar1, kCalendar2)), finished);
    EXPECT_LT(LineAt(r, "[window] opened: " + kNotice), LineAt(r, "[window] opened: " + kProgress)) << r.output;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
}

// A run with errors tells the user with a notice that leaves the focus where it was; the notice opens the
// run's report, and the errors are in the log as after a click.
TEST_F(AutoScenario, AnAutomaticRunWithErrorsShowsANoticeThatOpensItsReport) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    ASSERT_TRUE(standin::LoadProfileText(ReadFile(m_profile), nullptr));
    standin::DeleteFolder(standin::FolderByPath(kContacts2));
    ASSERT_TRUE(standin::SaveProfile(m_profile, nullptr));
    Options(true, 2, false, false);

    const ProcessResult r = Outlook(ScenarioFile({"focus", "wait:121", "focus", "press:" + kNotice + ":Show report",
                                                  "report:" + kReport, "wait:1"}));
    const std::string log = Log();
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    EXPECT_TRUE(HasLine(r, "[window] opened: " + kNotice)) << r.output;
    ExpectTheNoticeLeftTheFocus(r);
    EXPECT_TRUE(HasLine(r, "[window] opened: " + kReport)) << r.output;
    EXPECT_TRUE(HasLine(r, "[report] " + SyncLine(kCalendar1, kCalendar2))) << r.output;
    EXPECT_TRUE(HasLine(r, "[report] " + SyncLine(kContacts1, kContacts2))) << r.output;
    EXPECT_NE(log.find("Error: Cannot open folder '" + std::string(kContacts2) + "'"), std::string::npos) << log;
    EXPECT_NE(log.find("Info: Automatic synchronization finished with errors."), std::string::npos) << log;
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2)) << "the other pair ran all the same";
}

// Outlook closing while an automatic run works: the run ends at once, cleanly (state saved, nothing kept
// alive), and the next run completes it without doubling anything.
TEST_F(AutoScenario, OutlookClosingDuringAnAutomaticRunEndsItCleanly) {
    Grow(kCalendar1, 3000);
    AddPair(kCalendar1, kCalendar2);
    Options(true, 2, false, false);
    const std::vector<std::string> both = Both(kCalendar1, kCalendar2);
    const ProcessResult r = Outlook("during-run:disconnect wait:121");
    const std::string log = Log();
    EXPECT_TRUE(HasLine(r, "[host] during the run: disconnect")) << r.output;
    EXPECT_TRUE(HasLine(r, "[unload] " + AddinModulePath() + ": DllCanUnloadNow S_OK")) << r.output;
    EXPECT_NE(log.find("Info: Outlook is closing: the automatic synchronization stops."), std::string::npos) << log;
    EXPECT_NE(log.find("Error: Synchronization interrupted by user."), std::string::npos) << log;
    EXPECT_EQ(log.find("Automatic synchronization finished"), std::string::npos) << log;

    Options(false, 60, false, false);
    Outlook("callback:OnSyncButtonClicked");
    EXPECT_EQ(Subjects(kCalendar1), both);
    EXPECT_EQ(Subjects(kCalendar2), both);
}

// The sheet's second page turns automatic runs on; its OK writes them for the profile.
TEST_F(AutoScenario, TheOptionsSheetsSecondPageTurnsAutomaticRunsOn) {
    const ProcessResult r = Outlook(ScenarioFile({"page:" + kSheet + ":Automatic synchronization",
                                                  "press:" + kSheet + ":Every", "type:" + kSheet + ":5232:15",
                                                  "press:" + kSheet + ":Soon after an item changes in a paired folder",
                                                  "press:" + kSheet + ":OK", "callback:OnOptionsBtnClicked"}));
    EXPECT_TRUE(HasLine(r, "[window] " + kSheet + ": page \"Automatic synchronization\"")) << r.output;
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    const CAutoSyncOptions options = CAutoSyncOptions::Load(m_profileName);
    EXPECT_TRUE(options.interval);
    EXPECT_EQ(options.minutes, 15);
    EXPECT_FALSE(options.atStart);
    EXPECT_TRUE(options.afterChange);
}

// Options that cannot be written (a read-only file) are said with the file's path, and the sheet stays
// open with them, as it does for pairs that cannot be saved; the file keeps what it had.
TEST_F(AutoScenario, OptionsTheSheetCannotWriteAreSaidAndTheSheetStays) {
    Options(false, 60, false, false);
    const std::string file = CAutoSyncOptions::FilePath(m_profileName);
    const std::string before = ReadFile(file);
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto writable = zx::scope_exit([&] { SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL); });
    const ProcessResult r = Outlook(ScenarioFile({"page:" + kSheet + ":Automatic synchronization",
                                                  "press:" + kSheet + ":When Outlook starts (after a short delay)",
                                                  "press:" + kSheet + ":OK", "press:" + kSheet + ":Cancel",
                                                  "callback:OnOptionsBtnClicked"}));
    EXPECT_EQ(LinesStartingWith(r, "[message box] "),
              std::vector<std::string>{"[message box] Orvanta Merrowlink Addin: Cannot write the automatic synchronization "
                                       "options file '" + file + "'. The options were not saved."})
        << r.output;
    EXPECT_TRUE(HasLine(r, "[window] " + kSheet + ": press \"Cancel\"")) << "the sheet stayed open\n" << r.output;
    EXPECT_EQ(ReadFile(file), before);
}

// Turned on while Outlook runs, on the sheet or on the tab of Outlook's Options dialog, the runs after a
// change follow at once: the change made right after comes across by itself within the quiet time and a
// little, without a window of the run and without a box.
TEST_F(AutoScenario, RunsAfterAChangeTurnedOnWhileOutlookRunsFollowWithoutARestart) {
    const std::string afterChange = "Soon after an item changes in a paired folder";
    const struct {
        std::string where, window, show, folder, other, subject;
        size_t windows; // the windows that open: only the one where the runs were turned on
    } cases[] = {
        {"the sheet", kSheet, "callback:OnOptionsBtnClicked", kCalendar2, kCalendar1, "Team retrospective", 1},
        {"Outlook's Options dialog", "Options", "options-dialog", kCalendar1, kCalendar2, "Budget review", 0},
    };
    AddPair(kCalendar1, kCalendar2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Options(false, 60, false, false);
        const ProcessResult r = Outlook(ScenarioFile({"page:" + c.window + ":Automatic synchronization",
                                                      "press:" + c.window + ":" + afterChange, "press:" + c.window + ":OK",
                                                      c.show, "wait:2", "add-item:" + c.folder + ":" + c.subject, "wait:20"}));
        const std::string log = Log();
        EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
        EXPECT_EQ(LinesStartingWith(r, "[window] opened").size(), c.windows) << r.output;
        EXPECT_TRUE(CAutoSyncOptions::Load(m_profileName).afterChange);
        EXPECT_NE(log.find("Info: Automatic synchronization started (an item changed in folder '" + c.folder + "')."),
                  std::string::npos)
            << log;
        const std::vector<std::string> subjects = Subjects(c.other.c_str());
        EXPECT_NE(std::find(subjects.begin(), subjects.end(), c.subject), subjects.end());
    }
}

// A store still downloading shows none of folder 1's items: the click asks before deleting every item of
// folder 2. "No" keeps both folders and the report says so in red; the next click asks again, and "Yes"
// carries the deletions. Once the items arrive, they are new to the pair and come back.
TEST_F(Scenario, DeletingMostOfAFolderWaitsForTheUsersWord) {
    std::vector<std::string> synced;
    std::vector<standin::Bytes> hidden;
    ASSERT_NO_FATAL_FAILURE(SyncCalendarsThenHideFolder1(synced, hidden));
    const std::string n = std::to_string(synced.size());
    const std::string question =
        "[message box] Orvanta Merrowlink Addin: Synchronization would delete " + n + " of the " + n +
        " items of folder '" + kCalendar2 + "', because they are missing from folder '" + kCalendar1 +
        "'. Delete them?\\n\\nAnswer No if folder '" + kCalendar1 +
        "' is still being downloaded or was restored from an old backup: both folders stay as they are, and you are "
        "asked again at the next synchronization.";
    const std::string held = "The deletion of " + n + " items from folder '" + kCalendar2 +
                             "' is held until you confirm it. Nothing was deleted.";

    const ProcessResult no = Outlook("\"answer:Orvanta Merrowlink Addin:No\" " + OnProgress("report") +
                                     OnProgress("press", "Close") + "callback:OnSyncButtonClicked");
    EXPECT_TRUE(HasLine(no, question)) << no.output;
    EXPECT_TRUE(HasLine(no, "[message box icon] exclamation")) << no.output;
    EXPECT_TRUE(HasLine(no, "[message box] answered \"No\"")) << no.output;
    EXPECT_TRUE(HasLine(no, "[report] " + held)) << no.output;
    EXPECT_NE(Log().find("Error: " + held), std::string::npos);
    EXPECT_EQ(Subjects(kCalendar2), synced);

    const ProcessResult yes = Outlook("\"answer:Orvanta Merrowlink Addin:Yes\" callback:OnSyncButtonClicked");
    EXPECT_TRUE(HasLine(yes, question)) << yes.output;
    EXPECT_TRUE(HasLine(yes, "[message box] answered \"Yes\"")) << yes.output;
    EXPECT_EQ(Log().find("Error"), std::string::npos) << Log();
    EXPECT_TRUE(Subjects(kCalendar2).empty());

    ASSERT_TRUE(standin::LoadProfileText(ReadFile(m_profile), nullptr));
    for (const standin::Bytes& item : hidden) ASSERT_TRUE(standin::SetItemHidden(item, false));
    ASSERT_TRUE(standin::SaveProfile(m_profile, nullptr));
    const ProcessResult back = Outlook("callback:OnSyncButtonClicked");
    EXPECT_TRUE(LinesStartingWith(back, "[message box").empty()) << back.output;
    EXPECT_EQ(Subjects(kCalendar2), synced);
}

// An automatic run that meets most of a folder missing asks nothing (no box opens beside the user): it
// holds the deletions, and its notice opens a report with the held line in red. Nothing is deleted.
TEST_F(AutoScenario, AnAutomaticRunHoldsAMassDeletionWithoutAsking) {
    std::vector<std::string> synced;
    std::vector<standin::Bytes> hidden;
    ASSERT_NO_FATAL_FAILURE(SyncCalendarsThenHideFolder1(synced, hidden));
    Options(true, 2, false, false);
    const std::string n = std::to_string(synced.size());
    const std::string held = "The deletion of " + n + " items from folder '" + kCalendar2 +
                             "' is held until you confirm it. Nothing was deleted.";

    const ProcessResult r = Outlook(ScenarioFile({"focus", "wait:121", "focus", "press:" + kNotice + ":Show report",
                                                  "report:" + kReport, "wait:1"}));
    const std::string log = Log();
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    EXPECT_TRUE(HasLine(r, "[window] opened: " + kNotice)) << r.output;
    ExpectTheNoticeLeftTheFocus(r);
    EXPECT_TRUE(HasLine(r, "[report] " + held)) << r.output;
    EXPECT_NE(log.find("Error: " + held), std::string::npos) << log;
    EXPECT_NE(log.find("Info: Automatic synchronization finished with errors."), std::string::npos) << log;
    EXPECT_EQ(Subjects(kCalendar2), synced);
}

} // namespace
