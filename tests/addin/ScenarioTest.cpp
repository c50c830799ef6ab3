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

// A store still downloading shows none of folder 1's items: the click asks before deleting every item of
// folder 2. "No" keeps both folders and the report says so in red; the next click asks again, and "Yes"
// carries the deletions. Once the items arrive, they are new to the pair and come back.
TEST_F(Scenario, DeletingMostOfAFolderWaitsForTheUsersWord) {
    AddPair(kCalendar1, kCalendar2);
    Outlook("callback:OnSyncButtonClicked");
    const std::vector<std::string> synced = Subjects(kCalendar2);
    ASSERT_GE(synced.size(), 2u);
    ASSERT_EQ(Subjects(kCalendar1), synced);
    ASSERT_TRUE(standin::LoadProfileText(ReadFile(m_profile), nullptr));
    std::vector<standin::Bytes> hidden;
    for (const standin::ItemView& item : standin::Items(standin::FolderByPath(kCalendar1))) {
        ASSERT_TRUE(standin::SetItemHidden(item.entryId, true));
        hidden.push_back(item.entryId);
    }
    ASSERT_TRUE(standin::SaveProfile(m_profile, nullptr));
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

} // namespace
