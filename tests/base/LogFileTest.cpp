#include <gtest/gtest.h>

#include "base/LogFile.h"
#include "base/Paths.h"
#include "resources/StringIds.h"

#include "support/TempDir.h"

#include <ctime>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kStamp[] = "2026.01.02 03:04:05 ";
const std::string kRule(69, '-');
// The header as it lands on disk: text mode turns every line feed into CR LF.
const std::string kHeaderOnDisk =
    kRule + "\r\nZxBrackenmeadowSyncAddin log file. Version 1.3.2.1\r\n" + kRule + "\r\n\r\n\r\n";

// The product's log pointed at a test file, with a fixed time stamp so that lines compare exactly.
class TestLog : public CLogFile {
public:
    explicit TestLog(std::string path) : m_path(std::move(path)) {}
    std::string GetFilePath() override { return m_path; }
    std::string GetTimestamp() override { return kStamp; }
    std::string RealTimestamp() { return CLogFile::GetTimestamp(); }

private:
    std::string m_path;
};

class LogFileTest : public ::testing::Test {
protected:
    std::string Disk() {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(m_path, bytes));
        return bytes;
    }
    static std::string Info(const std::string& text) { return std::string(kStamp) + "Info: " + text + "\r\n"; }
    static std::string Err(const std::string& text) { return std::string(kStamp) + "Error: " + text + "\r\n"; }

    TempDir m_dir;
    std::string m_path = m_dir / "test.log";
};

} // namespace

TEST_F(LogFileTest, TruncatingOpenOverAnyFileLeavesExactlyTheHeader) {
    ASSERT_TRUE(WriteWholeFile(m_path, std::string(100000, 'z')));
    TestLog log(m_path);
    EXPECT_FALSE(log.IsOpen());
    ASSERT_TRUE(log.Open(true));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(kHeaderOnDisk, Disk());
}

TEST_F(LogFileTest, AppendingOpenWritesTheHeaderOnlyIntoAnEmptyOrNewFile) {
    {
        TestLog log(m_path); // no file yet
        ASSERT_TRUE(log.Open(false));
        EXPECT_EQ(kHeaderOnDisk, Disk());
    }
    ASSERT_TRUE(WriteWholeFile(m_path, ""));
    {
        TestLog log(m_path);
        ASSERT_TRUE(log.Open(false));
        EXPECT_EQ(kHeaderOnDisk, Disk());
    }
    ASSERT_TRUE(WriteWholeFile(m_path, "earlier\r\n"));
    {
        TestLog log(m_path);
        ASSERT_TRUE(log.Open(false));
        EXPECT_EQ("earlier\r\n", Disk());
        EXPECT_TRUE(log.LogInfo("next"));
        EXPECT_EQ("earlier\r\n" + Info("next"), Disk());
    }
}

TEST_F(LogFileTest, EntriesAreFlushedOneLineEachWithCRLF) {
    TestLog log(m_path);
    ASSERT_TRUE(log.Open(true));
    EXPECT_TRUE(log.LogInfo("Scanning folder 'Inbox'."));
    EXPECT_TRUE(log.LogError(std::string("Broken\r\nacross\nlines\r")));
    EXPECT_TRUE(log.LogInfo(IDS_CLOSE));
    EXPECT_TRUE(log.LogError(IDS_SYNC_ERROR));
    EXPECT_TRUE(log.LogInfo(4999u)); // no such string: time stamp and prefix only
    EXPECT_EQ(kHeaderOnDisk + Info("Scanning folder 'Inbox'.") + Err("Brokenacrosslines") + Info("Close") +
                  Err("Error synchronizing folders.") + Info(""),
              Disk());
}

TEST_F(LogFileTest, InfoLinesMakeOneEntryPerNonEmptyPiece) {
    TestLog log(m_path);
    ASSERT_TRUE(log.Open(true));
    log.LogInfoLines("first\r\n\r\nsecond\nthird\r");
    log.LogInfoLines("");
    log.LogInfoLines("\r\n");
    EXPECT_EQ(kHeaderOnDisk + Info("first") + Info("second") + Info("third"), Disk());
}

TEST_F(LogFileTest, FormatsFromTheTableAndFromTheProgram) {
    TestLog log(m_path);
    ASSERT_TRUE(log.Open(true));
    log.LogInfoFormat(IDS_SYNC_SUMMARY, 3, 1, "Calendar");
    log.LogErrorFormat(IDS_CANNOT_OPEN_ITEM, "0A1B", "Tasks");
    log.LogInfoFormat("%s", "100% %s %d untouched"); // data never becomes a format
    log.LogErrorFormat("Removing ZxBrackenmeadow assoc (%s - %s)because PST file was recreated.", "A", "B");
    const std::string big(5000, 'w');
    log.LogInfoFormat("%s!", big.c_str());
    EXPECT_EQ(kHeaderOnDisk + Info("3 items changed, 1 deleted in folder 'Calendar'.") +
                  Err("Cannot open item '0A1B' in folder 'Tasks'.") + Info("100% %s %d untouched") +
                  Err("Removing ZxBrackenmeadow assoc (A - B)because PST file was recreated.") + Info(big + "!"),
              Disk());
}

TEST_F(LogFileTest, ExceptionEntriesNameTheModuleAndLine) {
    TestLog log(m_path);
    ASSERT_TRUE(log.Open(true));
    Error::ZxExceptionMAPI mapi(static_cast<HRESULT>(0x8004010F), "Failed to open parent folder.",
                                ".\\src\\mapi\\Folder.cpp", "ZxIMAPIFolder::GetParent", 12);
    Error::ZxExceptionText noFile("No MAPI session.", nullptr, "CMerrowlinkExtension::Setup", 0);
    log.LogException(mapi, nullptr);
    log.LogException(noFile, nullptr);
    log.LogException(mapi, "while syncing");
    log.LogException(noFile, "ctx");
    EXPECT_EQ(kHeaderOnDisk +
                  Err("Failed to open parent folder. Element not found (MAPI_E_NOT_FOUND) (0x8004010f). "
                      "module: Folder.cpp, line: 12") +
                  Err("No MAPI session. ") +
                  Err("Failed to open parent folder. Element not found (MAPI_E_NOT_FOUND) (0x8004010f). "
                      "while syncing module: Folder.cpp, line: 12") +
                  Err("No MAPI session. ctx "),
              Disk());
}

TEST_F(LogFileTest, NothingIsWrittenBeforeOpenOrAfterClose) {
    TestLog log(m_path);
    EXPECT_FALSE(log.LogInfo("lost"));
    EXPECT_FALSE(log.LogError(IDS_CLOSE));
    EXPECT_FALSE(log.WriteInfoLine("lost"));
    EXPECT_FALSE(log.WriteErrorLine("lost"));
    log.LogInfoLines("lost");
    log.LogErrorFormat("%s", "lost");
    EXPECT_FALSE(FileExists(m_path));

    ASSERT_TRUE(log.Open(true));
    log.LogInfo("kept");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.LogInfo("lost"));
    EXPECT_EQ(kHeaderOnDisk + Info("kept"), Disk());
}

TEST_F(LogFileTest, OpeningAnOpenFileNeverTruncatesAndReopeningAppends) {
    TestLog log(m_path);
    ASSERT_TRUE(log.Open(true));
    log.LogInfo("one");
    EXPECT_TRUE(log.Open(true));
    log.LogInfo("two");
    log.Close();
    ASSERT_TRUE(log.Open(false));
    log.LogInfo("three");
    EXPECT_EQ(kHeaderOnDisk + Info("one") + Info("two") + Info("three"), Disk());
}

TEST_F(LogFileTest, OpenFailsWhenThePathIsAFolderOrItsFolderIsMissing) {
    TestLog folder(m_dir.Path());
    EXPECT_FALSE(folder.Open(true));
    EXPECT_FALSE(folder.IsOpen());
    EXPECT_FALSE(folder.LogInfo("lost"));
    TestLog missing(m_dir / "no\\such.log");
    EXPECT_FALSE(missing.Open(false));
}

TEST_F(LogFileTest, OthersMayReadAndWriteTheOpenFile) {
    TestLog log(m_path);
    ASSERT_TRUE(log.Open(true));
    log.LogInfo("visible");
    HANDLE other = CreateFileA(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, other);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    EXPECT_EQ(kHeaderOnDisk + Info("visible"), Disk()); // flushed at once
}

TEST_F(LogFileTest, ConcurrentWritersNeverInterleaveWithinALine) {
    TestLog log(m_path);
    ASSERT_TRUE(log.Open(true));
    const int perThread = 200;
    auto writer = [&log](char tag) {
        for (int i = 0; i < perThread; ++i)
            log.LogInfoFormat("%c%c%c%c%c%c%c%c %d", tag, tag, tag, tag, tag, tag, tag, tag, i);
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    const std::string disk = Disk();
    ASSERT_EQ(0u, disk.find(kHeaderOnDisk));
    const std::regex line(R"(2026\.01\.02 03:04:05 Info: (a{8}|b{8}) \d+)");
    size_t start = kHeaderOnDisk.size(), count = 0;
    while (start < disk.size()) {
        const size_t end = disk.find("\r\n", start);
        ASSERT_NE(std::string::npos, end);
        EXPECT_TRUE(std::regex_match(disk.substr(start, end - start), line)) << disk.substr(start, end - start);
        ++count;
        start = end + 2;
    }
    EXPECT_EQ(2u * perThread, count);
}

TEST(LogFileText, StripLineBreaksAndPrefixes) {
    TestLog log("unused.log");
    EXPECT_EQ("abc", log.StripLineBreaks("\ra\r\nb\n\nc\r"));
    EXPECT_EQ("a\tb ", log.StripLineBreaks("a\tb "));
    EXPECT_EQ("Info: ", log.GetInfoPrefix());
    EXPECT_EQ("Error: ", log.GetErrorPrefix());
}

TEST(LogFileProduct, PathHeaderAndTimeStamp) {
    Error::IZxLogFile& log = GetLogFile();
    EXPECT_EQ(&log, &GetLogFile());
    const std::string folder = GetAddinDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder + "\\ZxBrackenmeadowSyncAddin.log", log.GetFilePath());
    EXPECT_EQ(kRule + "\nZxBrackenmeadowSyncAddin log file. Version 1.3.2.1\n" + kRule + "\n\n", log.GetHeader());

    TestLog test("unused.log");
    const std::time_t before = std::time(nullptr);
    const std::string stamp = test.RealTimestamp();
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2} )"))) << stamp;
    // It is the local time of the call.
    bool matches = false;
    for (std::time_t t = before; t <= after && !matches; ++t) {
        std::tm local{};
        localtime_s(&local, &t);
        char expected[64];
        std::strftime(expected, sizeof expected, "%Y.%m.%d %H:%M:%S ", &local);
        matches = stamp == expected;
    }
    EXPECT_TRUE(matches) << stamp;
}
