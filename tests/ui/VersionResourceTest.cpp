// The add-in module's version resource, as Windows' version functions and the log header read it.
#include "UiTestSupport.h"

#include <winver.h>

#include "base/StringTable.h"
#include "base/Version.h"

TEST(VersionResource, TheModuleIsVersion1321WithItsNames) {
    EXPECT_EQ("1.3.2.1", CFileVersionInfo(ZxGetThisModule()).GetVersionText(4));

    const std::string path = ModulePath(ZxGetThisModule());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    const std::pair<const char*, const char*> values[] = {
        {"FileDescription", "ZxBrackenmeadowSync Addin"},
        {"ProductName", "ZxBrackenmeadow"},
        {"OriginalFilename", "ZxBrackenmeadowSyncExt.dll"},
        {"FileVersion", "1.3.2.1"},
        {"ProductVersion", "1.3.2.1"},
    };
    for (const auto& [name, expected] : values) {
        char* value = nullptr;
        UINT length = 0;
        const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
        ASSERT_TRUE(VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << name;
        EXPECT_STREQ(expected, value) << name;
    }
}
