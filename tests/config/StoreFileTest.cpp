// Finding the store file behind a folder of the shared-folders product, and noticing when it was
// deleted or created anew.
#include <gtest/gtest.h>

#include "ConfigTestSupport.h"
#include "config/AssocDesc.h"
#include "config/FolderDesc.h"

namespace {

const unsigned char kPstProvider[16] = {0x4E, 0x49, 0x54, 0x41, 0xF9, 0xBF, 0xB8, 0x01,
                                        0x00, 0xAA, 0x00, 0x37, 0xD9, 0x6E, 0x00, 0x00};

// A wrapped store entry id: 4 flag bytes, 16 wrapper bytes, version and flag byte, the provider DLL name
// at 22, padding to 40, the provider id at 40..55, one byte, and from 57 what follows.
std::string StoreId(const std::string& dll, const std::string& tail,
                    const std::string& provider = std::string(reinterpret_cast<const char*>(kPstProvider), 16)) {
    std::string id(22, '\x11');
    id += dll;
    id.resize(40, '\0');
    id += provider;
    id.push_back('\0');
    return id + tail;
}

const int64_t kCreated = 1577934245; // 2020-01-02 03:04:05 UTC

class StoreFile : public ConfigMapiTest {
protected:
    CFolderDesc FolderOnStore(const std::string& storeId) {
        return CFolderDesc(Zx(std::string("\x01\x02", 2)), Zx(storeId), "Shared\\Calendar", ZxIMAPIFolder(),
                           ZxIMsgStore(), 16);
    }
    std::string StoreFilePath() { return m_temp / "Shared Folders.pst"; }
};

TEST_F(StoreFile, PathTextOfTheIdentifier) {
    struct Case {
        const char* what;
        std::string id;
        std::string path;
    };
    const std::string dll = "ZxBMStore.dll";
    const std::string longPath(1100, 'p');
    const Case cases[] = {
        {"path then zero then more", StoreId(dll, std::string("C:\\a.pst\0tail", 13)), "C:\\a.pst"},
        {"path to the end of the id", StoreId(dll, "C:\\b.pst"), "C:\\b.pst"},
        {"one character", StoreId(dll, "x"), "x"},
        {"exactly 57 bytes", StoreId(dll, ""), ""},
        {"zero right at 57", StoreId(dll, std::string("\0C:\\c.pst", 9)), ""},
        {"another provider's DLL", StoreId("mspst.dll", "C:\\a.pst"), ""},
        {"DLL name in other letter case", StoreId("zxbmstore.dll", "C:\\a.pst"), ""},
        {"DLL name only as a prefix", StoreId("ZxBMStore.dl", "C:\\a.pst"), ""},
        {"other provider id", StoreId(dll, "C:\\a.pst", std::string(16, '\x4E')), ""},
        {"1023 characters then zero", StoreId(dll, std::string(1023, 'q') + '\0'), std::string(1023, 'q')},
        {"1023 characters to the end", StoreId(dll, std::string(1023, 'q')), std::string(1023, 'q')},
        {"1024 characters to the end", StoreId(dll, std::string(1024, 'q')), ""},
        {"no terminator within the buffer", StoreId(dll, longPath), ""},
        {"short id", dll, ""},
        {"empty id", "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.path, GetSharedStoreFilePath(Zx(c.id))) << c.what;
}

TEST_F(StoreFile, DetectedFromAStandinSharedStoreWithItsCreationTime) {
    ASSERT_TRUE(MakeFileCreatedAt(StoreFilePath(), kCreated));
    standin::StoreSpec descr;
    descr.displayName = "Shared";
    descr.kind = standin::ProviderKind::SharedFolders;
    descr.storeFilePath = StoreFilePath();
    const CFolderDesc folder = FolderOnStore(standin::AddStore(descr));
    EXPECT_EQ(StoreFilePath(), folder.GetStoreFile());
    EXPECT_EQ(kCreated, folder.GetStoreFileCreationTime());
    EXPECT_FALSE(folder.IsStoreFileRecreated());
    // The constructor keeps the six values it was given.
    EXPECT_EQ("Shared\\Calendar", folder.GetFolderName());
    EXPECT_EQ(16, folder.GetFolderFlags());
    EXPECT_EQ(std::string("\x01\x02", 2), Raw(folder.GetFolderEntryId()));
}

TEST_F(StoreFile, NothingRecordedForOtherStoresOrAMissingFile) {
    ASSERT_TRUE(MakeFileCreatedAt(StoreFilePath(), kCreated));
    standin::StoreSpec pst;
    pst.kind = standin::ProviderKind::PersonalFolders;
    standin::StoreSpec missing;
    missing.kind = standin::ProviderKind::SharedFolders;
    missing.storeFilePath = m_temp / "missing.pst";
    const std::string ids[] = {
        standin::AddStore(pst), standin::AddStore(missing),
        StoreId("ZxBMStore.dll", ""), // 57 bytes: no room for a path
        StoreId("otherstore.dll", StoreFilePath() + '\0'), // an existing file behind another provider
    };
    for (const std::string& id : ids) {
        const CFolderDesc folder = FolderOnStore(id);
        EXPECT_EQ("", folder.GetStoreFile()) << standin::Hex(id);
        EXPECT_EQ(0, folder.GetStoreFileCreationTime());
        EXPECT_FALSE(folder.IsStoreFileRecreated());
    }
}

TEST_F(StoreFile, PathOf260CharactersOrMoreIsNotExamined) {
    // The folder exists but the path is too long for the ANSI file functions: nothing is recorded, and a
    // recorded path of that length counts as gone.
    const std::string longPath = m_temp.Path() + "\\" + std::string(300, 'a');
    EXPECT_EQ("", FolderOnStore(StoreId("ZxBMStore.dll", longPath + '\0')).GetStoreFile());
    CFolderDesc folder;
    folder.SetStoreFile(longPath, kCreated);
    EXPECT_TRUE(folder.IsStoreFileRecreated());
}

TEST_F(StoreFile, DeletedFileCountsAsRecreated) {
    ASSERT_TRUE(MakeFileCreatedAt(StoreFilePath(), kCreated));
    const CFolderDesc folder = FolderOnStore(StoreId("ZxBMStore.dll", StoreFilePath()));
    ASSERT_EQ(StoreFilePath(), folder.GetStoreFile());
    ASSERT_FALSE(folder.IsStoreFileRecreated());
    ASSERT_TRUE(DeleteFileA(StoreFilePath().c_str()));
    EXPECT_TRUE(folder.IsStoreFileRecreated());
}

TEST_F(StoreFile, FileCreatedAnewCountsAsRecreated) {
    ASSERT_TRUE(MakeFileCreatedAt(StoreFilePath(), kCreated));
    const CFolderDesc folder = FolderOnStore(StoreId("ZxBMStore.dll", StoreFilePath()));
    ASSERT_TRUE(DeleteFileA(StoreFilePath().c_str()));
    ASSERT_TRUE(MakeFileCreatedAt(StoreFilePath(), kCreated + 3600));
    EXPECT_TRUE(folder.IsStoreFileRecreated());
    // Back to the recorded time: the same file as far as the check can tell.
    ASSERT_TRUE(MakeFileCreatedAt(StoreFilePath(), kCreated));
    EXPECT_FALSE(folder.IsStoreFileRecreated());
}

TEST_F(StoreFile, NoStoreFileOrNoTimeIsNeverRecreated) {
    CFolderDesc noTime;
    noTime.SetStoreFile(m_temp / "gone.pst", 0);
    EXPECT_FALSE(noTime.IsStoreFileRecreated());
    CFolderDesc noFile;
    noFile.SetStoreFile("", kCreated);
    EXPECT_FALSE(noFile.IsStoreFileRecreated());
}

TEST_F(StoreFile, PairIsRecreatedWhenEitherFolderIs) {
    ASSERT_TRUE(MakeFileCreatedAt(StoreFilePath(), kCreated));
    const CFolderDesc shared = FolderOnStore(StoreId("ZxBMStore.dll", StoreFilePath()));
    CFolderDesc gone;
    gone.SetStoreFile(m_temp / "gone.pst", kCreated);
    struct Case {
        const CFolderDesc* first;
        const CFolderDesc* second;
        bool recreated;
    };
    const CFolderDesc plain;
    const Case cases[] = {{&plain, &plain, false},
                          {&shared, &plain, false},
                          {&gone, &plain, true},
                          {&plain, &gone, true},
                          {&shared, &gone, true}};
    for (const Case& c : cases) {
        CAssocDesc pair;
        pair.SetFolder1(*c.first);
        pair.SetFolder2(*c.second);
        EXPECT_EQ(c.recreated, pair.IsStoreFileRecreated());
    }
}

TEST(StoreFileTime, CreationSecondsOfAFile) {
    TempDir temp;
    const std::string path = temp / "timed.pst";
    ASSERT_TRUE(MakeFileCreatedAt(path, kCreated));
    int64_t seconds = 0;
    ASSERT_TRUE(GetFileCreationSeconds(path, seconds));
    EXPECT_EQ(kCreated, seconds);
    EXPECT_FALSE(GetFileCreationSeconds(temp / "none.pst", seconds));
    EXPECT_FALSE(GetFileCreationSeconds("", seconds));
    EXPECT_EQ(kCreated, seconds); // untouched by the failures
}

} // namespace
