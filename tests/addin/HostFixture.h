#pragma once
// What the tests that run the stand-in Outlook over the demo profile share: a copy of the profile under
// a name of the test's own (so settings, caches and log lines of one test never meet another's), the
// add-in's data folder, syncrun for configuring pairs, and the checks every host run ends with.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AddinTestSupport.h"
#include "support/TempDir.h"

namespace addintest {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

inline bool HasLine(const ProcessResult& r, const std::string& line) {
    return std::find(r.lines.begin(), r.lines.end(), line) != r.lines.end();
}

inline std::vector<std::string> LinesStartingWith(const ProcessResult& r, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : r.lines)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

// What every host run must end with: no box left unanswered, the module free to unload and no object
// of Outlook or MAPI kept alive by the add-in.
inline void ExpectHostEndedClean(const ProcessResult& r, const std::string& what) {
    EXPECT_FALSE(r.timedOut) << what;
    EXPECT_EQ(r.exitCode, 0u) << what << "\n" << r.output;
    EXPECT_TRUE(r.boxes.empty()) << "a box the host did not answer: " << (r.boxes.empty() ? "" : r.boxes[0].text);
    EXPECT_TRUE(HasLine(r, "[unload] " + AddinModulePath() + ": DllCanUnloadNow S_OK")) << r.output;
    EXPECT_TRUE(HasLine(r, "[live] outlook objects: 0")) << r.output;
    EXPECT_TRUE(HasLine(r, "[live] mapi objects: 0")) << r.output;
}

class DemoProfileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(EnsureRegistered()); }

    // A copy of the demo profile named `prefix` + the test's name. Settings and caches of an earlier run
    // of the test would make a fresh copy's items look deleted: they go.
    void UseProfileCopy(const std::string& prefix) {
        m_profileName = prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string text = ReadFile(ZX_DEMO_PROFILE);
        const std::string from = "profile-name \"Demo\"";
        ASSERT_NE(text.find(from), std::string::npos);
        text.replace(text.find(from), from.size(), "profile-name \"" + m_profileName + "\"");
        m_profile = m_dir / "profile.txt";
        ASSERT_TRUE(WriteWholeFile(m_profile, text));
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
    std::string SettingsFile() const {
        return DataFolder() + "\\Settings\\" + m_profileName + "\\ZxBrackenmeadowSync.settings";
    }

    ProcessResult Syncrun(const std::string& arguments) {
        return RunProcess("\"" SYNCRUN_EXE "\" \"" + m_profile + "\" " + arguments);
    }
    void AddPair(const char* folder1, const char* folder2) {
        const ProcessResult r = Syncrun(std::string("add-pair \"") + folder1 + "\" \"" + folder2 + "\"");
        ASSERT_EQ(r.exitCode, 0u) << r.output;
    }

    TempDir m_dir;
    std::string m_profile;
    std::string m_profileName;
};

} // namespace addintest
