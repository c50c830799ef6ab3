// The automatic options of a profile: a file of their own beside the settings file (which they never
// touch), all off until the user turns them on, and a damaged file reported and replaced by the defaults.
#include <gtest/gtest.h>

#include <memory>

#include "ConfigTestSupport.h"
#include "base/Paths.h"
#include "config/AutoSyncOptions.h"
#include "config/Settings.h"

namespace {

class AutoSyncOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_data = m_temp / "data";
        ASSERT_TRUE(CreateDirectoryA(m_data.c_str(), nullptr));
        m_previousDataFolder = SetAddinDataFolderOverride(m_data);
        m_log = std::make_unique<TestLog>(m_temp / "test.log");
        ASSERT_TRUE(m_log->Open(true));
        m_previousLog = SetLogFileOverride(m_log.get());
    }
    void TearDown() override {
        SetLogFileOverride(m_previousLog);
        m_log->Close();
        SetAddinDataFolderOverride(m_previousDataFolder);
    }
    std::string OptionsPath(const std::string& profile) const {
        return m_data + "\\Settings\\" + profile + "\\ZxBrackenmeadowSync.autosync";
    }

    TempDir m_temp;
    std::string m_data;
    std::unique_ptr<TestLog> m_log;
    MessageBoxObserver m_boxes;

private:
    std::string m_previousDataFolder;
    Error::IZxLogFile* m_previousLog = nullptr;
};

TEST_F(AutoSyncOptionsTest, WithoutAFileEverythingIsOffAndNothingIsWrittenOrShown) {
    const CAutoSyncOptions options = CAutoSyncOptions::Load("Fresh");
    EXPECT_FALSE(options.AnyOn());
    EXPECT_EQ(60, options.minutes);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(OptionsPath("Fresh").c_str()));
    EXPECT_TRUE(m_boxes.Shown().empty());
    EXPECT_TRUE(m_log->Entries().empty());
}

TEST_F(AutoSyncOptionsTest, WhatIsSavedIsReadBackPerProfileBesideTheSettingsFileWhichStaysUntouched) {
    CSettings settings("Ann");
    ASSERT_TRUE(settings.Save());
    std::string settingsBytes;
    ASSERT_TRUE(ReadWholeFile(settings.GetFilePath(), settingsBytes));

    const CAutoSyncOptions cases[] = {
        {true, 5, false, false}, {false, 60, true, false}, {false, 60, false, true}, {true, 1440, true, true}, {true, 1, false, true}};
    for (const CAutoSyncOptions& saved : cases) {
        ASSERT_TRUE(saved.Save("Ann"));
        EXPECT_EQ(saved, CAutoSyncOptions::Load("Ann"));
        EXPECT_EQ(CAutoSyncOptions(), CAutoSyncOptions::Load("Bob")) << "another profile has its own file";
    }
    std::string after;
    ASSERT_TRUE(ReadWholeFile(settings.GetFilePath(), after));
    EXPECT_EQ(settingsBytes, after);
    EXPECT_EQ(OptionsPath("Ann"), CAutoSyncOptions::FilePath("Ann"));
    // Five size-prefixed 32-bit numbers: version 1, interval, minutes, at start, after a change.
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(OptionsPath("Ann"), bytes));
    EXPECT_EQ(Int32Bytes(1) + Int32Bytes(1) + Int32Bytes(1) + Int32Bytes(0) + Int32Bytes(1), bytes);
    EXPECT_TRUE(m_boxes.Shown().empty());
}

TEST_F(AutoSyncOptionsTest, ADamagedFileIsReportedKeptAsideAndReplacedByTheDefaults) {
    const std::string good = Int32Bytes(1) + Int32Bytes(1) + Int32Bytes(30) + Int32Bytes(1) + Int32Bytes(1);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"cut short", good.substr(0, good.size() - 3)},
        {"a byte too many", good + "x"},
        {"version 2", Int32Bytes(2) + good.substr(8)},
        {"no minutes", Int32Bytes(1) + Int32Bytes(1) + Int32Bytes(0) + Int32Bytes(1) + Int32Bytes(1)},
        {"a day and a minute", Int32Bytes(1) + Int32Bytes(1) + Int32Bytes(1441) + Int32Bytes(1) + Int32Bytes(1)},
        {"a flag of 2", Int32Bytes(1) + Int32Bytes(2) + Int32Bytes(30) + Int32Bytes(1) + Int32Bytes(1)},
        {"text", "interval=5\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = OptionsPath("Damaged");
        CAutoSyncOptions::FilePath("Damaged"); // the folder
        ASSERT_TRUE(WriteWholeFile(path, c.bytes));
        const size_t boxes = m_boxes.Shown().size(), lines = m_log->Entries().size();

        EXPECT_EQ(CAutoSyncOptions(), CAutoSyncOptions::Load("Damaged"));
        const std::string text = "The automatic synchronization options file '" + path +
                                 "' is damaged and could not be read. It was kept as '" + path +
                                 ".damaged'; automatic synchronization is off until you turn it on again.";
        ASSERT_EQ(boxes + 1, m_boxes.Shown().size());
        EXPECT_EQ(text, m_boxes.Shown().back().text);
        EXPECT_EQ("Orvanta Merrowlink Addin", m_boxes.Shown().back().caption);
        EXPECT_EQ(MB_ICONWARNING, m_boxes.Shown().back().type & MB_ICONMASK);
        ASSERT_EQ(lines + 1, m_log->Entries().size());
        EXPECT_EQ("Error: " + text, m_log->Entries().back());
        std::string kept;
        ASSERT_TRUE(ReadWholeFile(path + ".damaged", kept));
        EXPECT_EQ(c.bytes, kept);
        // The defaults took its place: the next start reads them quietly.
        EXPECT_EQ(CAutoSyncOptions(), CAutoSyncOptions::Load("Damaged"));
        EXPECT_EQ(boxes + 1, m_boxes.Shown().size());
    }
}

} // namespace
