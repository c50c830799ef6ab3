#include <gtest/gtest.h>

#include "base/Version.h"

#include <vector>

TEST(FileVersionInfo, ReadsTheProgramsVersionResource) {
    CFileVersionInfo info(GetModuleHandleA(nullptr)); // tests/base/TestVersion.rc: 1,3,2,1
    const struct {
        int parts;
        const char* text;
    } cases[] = {{-3, "1"}, {0, "1"}, {1, "1"}, {2, "1.3"}, {3, "1.3.2"}, {4, "1.3.2.1"}};
    for (const auto& c : cases) EXPECT_EQ(c.text, info.GetVersionText(c.parts)) << c.parts;
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), info.GetFixedInfo().dwSignature);
    info.Reset();
    EXPECT_EQ("0.0.0.0", info.GetVersionText(4));
    EXPECT_EQ(0u, info.GetFixedInfo().dwSignature);
}

TEST(FileVersionInfo, NumbersAreTheFourHalvesOfTheTwoVersionWords) {
    // A version whose halves differ in every position, read back through a module of the system that
    // carries one: the numbers must match the record, high half first.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    CFileVersionInfo info(kernel);
    const VS_FIXEDFILEINFO& f = info.GetFixedInfo();
    ASSERT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), f.dwSignature);
    EXPECT_EQ(std::to_string(HIWORD(f.dwFileVersionMS)) + "." + std::to_string(LOWORD(f.dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(f.dwFileVersionLS)) + "." + std::to_string(LOWORD(f.dwFileVersionLS)),
              info.GetVersionText(4));
}

TEST(FileVersionInfo, AModuleWithoutAVersionGivesZeros) {
    // A handle that names no module: the first step already fails.
    CFileVersionInfo none(reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x10)));
    EXPECT_EQ("0.0.0.0", none.GetVersionText(4));
    // The stand-in MAPI runtime is built without a version resource.
    HMODULE mapi = LoadLibraryA("mapi32.dll");
    ASSERT_NE(nullptr, mapi);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(mapi, path, MAX_PATH);
    DWORD ignored = 0;
    ASSERT_EQ(0u, GetFileVersionInfoSizeA(path, &ignored)) << path;
    EXPECT_EQ("0.0.0.0", CFileVersionInfo(mapi).GetVersionText(4));
    FreeLibrary(mapi);
}

TEST(VersionNumber, SplitsAtAnySeparatorAndSkipsEmptyPieces) {
    const struct {
        const char* text;
        const char* separators;
        std::vector<int> numbers;
    } cases[] = {
        {"14.0.0.4760", ".,", {14, 0, 0, 4760}},
        {"16,0,17928.20114", ".,", {16, 0, 17928, 20114}},
        {"..,12,.", ".,", {12}},
        {"", ".,", {}},
        {".,.", ".,", {}},
        {"abc.5", ".,", {0, 5}},
        {"12x.3", ".,", {12, 3}},
        {"-1.+2", ".,", {-1, 2}},
        {"14.0", "", {14}},
        {"7;8 9", "; ", {7, 8, 9}},
    };
    for (const auto& c : cases) {
        CVersionNumber v(c.text, c.separators);
        EXPECT_EQ(c.numbers, static_cast<const std::vector<int>&>(v)) << c.text;
    }
    EXPECT_TRUE(CVersionNumber(nullptr, ".").empty());
}
