#include <gtest/gtest.h>

#include <shlobj.h>

#include "base/LogFile.h"
#include "base/Paths.h"

#include "support/TempDir.h"

TEST(FsPath, AppendInsertsOneBackslashOnlyWhereNeeded) {
    const struct {
        const char* path;
        const char* component;
        const char* expected;
    } cases[] = {
        {"", "a.log", "a.log"},
        {"C:", "a", "C:\\a"},
        {"C:\\", "a", "C:\\a"},
        {"C:/data/", "a", "C:/data/a"},
        {"C:\\data", "Settings", "C:\\data\\Settings"},
        {"C:\\data", "", "C:\\data\\"},
        {"rel", "\\x", "rel\\\\x"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, ZxFsPath(c.path).Append(c.component).Str()) << c.path;
    ZxFsPath chained("C:\\Users\\u\\AppData");
    chained /= "ZxBrackenmeadowSyncAddin";
    EXPECT_EQ("C:\\Users\\u\\AppData\\ZxBrackenmeadowSyncAddin\\Settings\\Outlook",
              (chained / "Settings" / "Outlook").Str());
}

TEST(FsPath, FileNameFollowsTheLastBackslashOrElseTheLastSlash) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\a\\cache.index", "cache.index"},
        {"a/b/c.cache", "c.cache"},
        {"a\\b/c", "b/c"},
        {"plain", "plain"},
        {"dir\\", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.name, ZxFsPath(c.path).FileName()) << c.path;
}

TEST(CreateFolderPath, CreatesEveryMissingFolderBelowTheFirstPiece) {
    TempDir dir;
    const std::string deep = dir.Path() + "\\a\\b/c\\\\d//";
    EXPECT_TRUE(CreateFolderPath(deep));
    EXPECT_TRUE(FolderExists(dir / "a\\b\\c\\d"));
    EXPECT_TRUE(CreateFolderPath(deep)); // already there
}

TEST(CreateFolderPath, StopsAtTheFirstFailure) {
    TempDir dir;
    ASSERT_TRUE(WriteWholeFile(dir / "file.txt", "x"));
    EXPECT_FALSE(CreateFolderPath(dir / "file.txt\\sub\\deeper"));
    EXPECT_FALSE(FolderExists(dir / "file.txt\\sub"));
}

TEST(CreateFolderPath, NeverCreatesTheFirstPieceAndOnlyTestsSinglePieces) {
    TempDir dir;
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
    EXPECT_FALSE(CreateFolderPath("top\\child")); // "top" is taken for a drive or server
    EXPECT_FALSE(FolderExists("top"));
    EXPECT_FALSE(CreateFolderPath("single"));
    EXPECT_FALSE(FolderExists("single"));
    ASSERT_TRUE(CreateDirectoryA("top", nullptr));
    EXPECT_TRUE(CreateFolderPath("top\\child"));
    EXPECT_TRUE(FolderExists("top\\child"));
    EXPECT_TRUE(CreateFolderPath("top"));
    SetCurrentDirectoryA(previous);
}

TEST(AddinDataFolder, IsTheNamedFolderInRoamingApplicationData) {
    ZxShellWrapper shell;
    ASSERT_TRUE(shell.IsAvailable());
    char appData[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData));
    std::string viaWrapper;
    EXPECT_EQ(S_OK, shell.GetFolderPath(CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_DEFAULT, viaWrapper));
    EXPECT_EQ(appData, viaWrapper);

    const std::string folder = GetAddinDataFolder();
    EXPECT_EQ(std::string(appData) + "\\ZxBrackenmeadowSyncAddin", folder);
    EXPECT_TRUE(FolderExists(folder));
}

TEST(AddinDataFolder, AnOverrideIsCreatedAndFollowedByTheLogUntilRestored) {
    TempDir dir;
    const std::string folder = dir / "Data\\Addin";
    const std::string real = GetAddinDataFolder();
    EXPECT_EQ(SetAddinDataFolderOverride(folder), "");
    EXPECT_EQ(GetAddinDataFolder(), folder);
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_EQ(GetLogFile().GetFilePath(), folder + "\\ZxBrackenmeadowSyncAddin.log");
    EXPECT_EQ(SetAddinDataFolderOverride(""), folder);
    EXPECT_EQ(GetAddinDataFolder(), real);
}

TEST(FileNames, DeviceNamesAreKnownWhateverFollowsADotOrSpaces) {
    const struct {
        const char* name;
        bool device;
    } cases[] = {
        {"CON", true},       {"con.edison", true}, {"Aux.Files", true},  {"Prn.Queue", true},  {"Nul.Old", true},
        {"LPT1.txt", true},  {"com0", true},       {"COM9.a.b", true},   {"nul .x", true},     {"CONIN$", true},
        {"conout$.log", true}, {"Console", false}, {"LPT10", false},     {"COM", false},       {"xcon", false},
        {"", false},         {".con", false},      {"Nullable", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.device, IsDeviceFileName(c.name)) << c.name;
}

TEST(FileNames, UsableNamesChangeOnlyWhatWouldNotWork) {
    const struct {
        std::string in;
        bool keepHighBytes;
        std::string out;
    } cases[] = {
        {"Outlook", true, "Outlook"},
        {"M\xFCller", true, "M\xFCller"},
        {"M\xFCller", false, "M_ller"},
        {"Work:Main/Team*?", true, "Work_Main_Team__"},
        {"a\\b|c<d>e\"f", true, "a_b_c_d_e_f"},
        {std::string("t\tn\x01", 4), true, "t_n_"},
        {"Prn.Queue", true, "_Prn.Queue"},
        {".", true, "_"},
        {"end. .", true, "end___"},
        {"", true, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, MakeUsableFileName(c.in, c.keepHighBytes, 64)) << c.in;
    const std::string cut = MakeUsableFileName(std::string(100, 'x'), true, 40);
    EXPECT_EQ(40u, cut.size());
    EXPECT_EQ(std::string(31, 'x') + "~", cut.substr(0, 32));
    EXPECT_NE(cut, MakeUsableFileName(std::string(101, 'x'), true, 40));
    EXPECT_EQ(std::string(40, 'x'), MakeUsableFileName(std::string(40, 'x'), true, 40));
}
