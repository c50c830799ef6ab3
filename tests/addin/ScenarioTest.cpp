// A user's way from a click in Outlook to synchronized folders: the stand-in Outlook host loads the
// registered add-in over a copy of the demo profile, the click reaches the add-in as Office sends it, and
// the progress window is answered through its own buttons. Pairs are configured with syncrun, which
// writes the settings file where the add-in reads it; each test has a profile name of its own, so
// settings, caches and log lines of one test never meet another's.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AddinTestSupport.h"
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

// A window action of the host for the progress window, quoted for the command line.
std::string OnProgress(const std::string& verb, const std::string& arg = "") {
    return "\"" + verb + ":" + kProgress + (arg.empty() ? "" : ":" + arg) + "\" ";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class Scenario : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(EnsureRegistered()); }

    // A copy of the demo profile under a profile name of this test's own.
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_profileName = "Scenario" + name;
        std::string text = ReadFile(ZX_DEMO_PROFILE);
        const std::string from = "profile-name \"Demo\"";
        ASSERT_NE(text.find(from), std::string::npos);
        text.replace(text.find(from), from.size(), "profile-name \"" + m_profileName + "\"");
        m_profile = m_dir / "profile.txt";
        ASSERT_TRUE(WriteWholeFile(m_profile, text));
        // Settings and caches of an earlier run of this test would make a fresh copy's items look deleted.
        TempDir::RemoveTree(DataFolder() + "\\Settings\\" + m_profileName);
        TempDir::RemoveTree(DataFolder() + "\\Cache\\" + m_profileName);
    }

    static std::string DataFolder() {
        char appData[MAX_PATH] = {};
        EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
        return std::string(appData) + "\\ZxBrackenmeadowSyncAddin";
    }
    // The add-in starts its log afresh when Outlook starts.
    static std::string Log() { return ReadFile(DataFolder() + "\\ZxBrackenmeadowSyncAddin.log"); }

    ProcessResult Syncrun(const std::string& arguments) {
        return RunProcess("\"" SYNCRUN_EXE "\" \"" + m_profile + "\" " + arguments);
    }
    void AddPair(const char* folder1, const char* folder2) {
        const ProcessResult r = Syncrun(std::string("add-pair \"") + folder1 + "\" \"" + folder2 + "\"");
        ASSERT_EQ(r.exitCode, 0u) << r.output;
    }

    // The host over the profile; the profile file is written back at the end, as Outlook keeps its stores.
    ProcessResult Outlook(const std::string& steps, const std::string& options = "") {
        ProcessResult r = RunHost(options + " --profile \"" + m_profile + "\" connect startup " + steps + " save");
        EXPECT_FALSE(r.timedOut) << steps;
        EXPECT_EQ(r.exitCode, 0u) << steps << "\n" << r.output;
        EXPECT_TRUE(Has(r, "[live] outlook objects: 0")) << r.output;
        EXPECT_TRUE(Has(r, "[live] mapi objects: 0")) << r.output;
        return r;
    }

    static bool Has(const ProcessResult& r, const std::string& line) {
        return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end();
    }
    static std::vector<std::string> Prefixed(const ProcessResult& r, const std::string& prefix) {
        std::vector<std::string> found;
        for (const std::string& line : r.lines)
            if (line.rfind(prefix, 0) == 0) found.push_back(line);
        return found;
    }

    // Subjects of a folder, sorted, as the host's dump shows them.
    std::vector<std::string> Subjects(const char* folder) {
        const ProcessResult r = RunHost("--profile \"" + m_profile + "\" dump:\"" + std::string(folder) + "\"");
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        std::vector<std::string> subjects;
        for (const std::string& line : Prefixed(r, "[item] ")) subjects.push_back(line.substr(7));
        return subjects;
    }

    TempDir m_dir;
    std::string m_profile;
    std::string m_profileName;
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
    EXPECT_TRUE(Prefixed(r, "[message box").empty()) << r.output;
    EXPECT_TRUE(Has(r, "[ribbon] ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi: OnSyncButtonClicked S_OK, returned nothing"))
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
    const ProcessResult r = Outlook("click:" + kToolbarTag, "--version 12.0.0.6423");
    EXPECT_TRUE(Has(r, "[click] Explorer1.Standard.Button1: 1 sink(s)")) << r.output;
    EXPECT_TRUE(Prefixed(r, "[message box").empty()) << r.output;
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

    const ProcessResult r = Outlook(OnProgress("report") + OnProgress("press", "2") + "callback:OnSyncButtonClicked");
    const std::string log = Log();
    EXPECT_TRUE(Has(r, "[window] " + kProgress + ": press 2 \"Close\"")) << r.output;
    EXPECT_FALSE(Prefixed(r, "[report] ").empty()) << r.output;
    EXPECT_NE(log.find("Error: "), std::string::npos) << log;
    // The calendar pair ran all the same.
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
}

TEST_F(Scenario, ARunCancelledMidwayIsCompletedByTheNextClick) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const ProcessResult first =
        Outlook(OnProgress("cancel-after", "3") + OnProgress("report") + OnProgress("press", "2") + "callback:OnSyncButtonClicked");
    EXPECT_TRUE(Has(first, "[window] " + kProgress + ": cancel after 3 report line(s)")) << first.output;
    EXPECT_NE(Subjects(kContacts1), Subjects(kContacts2)) << "the second pair was not reached";

    const ProcessResult second = Outlook("callback:OnSyncButtonClicked");
    EXPECT_TRUE(Prefixed(second, "[message box").empty()) << second.output;
    EXPECT_EQ(Subjects(kCalendar1), Subjects(kCalendar2));
    EXPECT_EQ(Subjects(kContacts1), Subjects(kContacts2));
}

} // namespace
