// The settings file of a profile: where it lies, what it holds, and the clean-up after the
// shared-folders product was reinstalled.
#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "ConfigTestSupport.h"
#include "base/Paths.h"
#include "config/Settings.h"
#include "engine/FolderCacheFactory.h"
#include "engine/SettingsLoad.h"

namespace {

const char kFileName[] = "ZxBrackenmeadowSync.settings";
const char kReinstallText[] =
    "The program has detected that Orvanta Brackenmeadow has been reinstalled on this machine. Due to this "
    "fact all pairs of folders containing links to ZxBrackenmeadow data store have been removed. You need to "
    "reconfigure the folders scheduled for synchronization.\n\nRemoved pairs:\n";
const int64_t kCreated = 1577934245; // 2020-01-02 03:04:05 UTC

// Settings, caches and the log live in temporary folders for each test.
class SettingsTest : public ConfigMapiTest {
protected:
    void SetUp() override {
        ConfigMapiTest::SetUp();
        m_data = m_temp / "data";
        ASSERT_TRUE(CreateDirectoryA(m_data.c_str(), nullptr));
        m_previousDataFolder = SetAddinDataFolderOverride(m_data);
        m_logPath = m_temp / "test.log";
        m_log = std::make_unique<TestLog>(m_logPath);
        ASSERT_TRUE(m_log->Open(true));
        m_previousLog = SetLogFileOverride(m_log.get());
    }
    void TearDown() override {
        SetLogFileOverride(m_previousLog);
        m_log->Close();
        SetAddinDataFolderOverride(m_previousDataFolder);
        ConfigMapiTest::TearDown();
    }

    std::string SettingsPath(const std::string& profile) const {
        return m_data + "\\Settings\\" + (profile.empty() ? "" : profile + "\\") + kFileName;
    }
    std::vector<std::string> LogLines() const { return m_log->Entries(); }
    std::string FileBytes(const std::string& profile) const {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(SettingsPath(profile), bytes));
        return bytes;
    }

    std::string m_data;
    std::string m_logPath;
    std::unique_ptr<TestLog> m_log;
    MessageBoxObserver m_boxes;

    // As every command loads: the dropped pairs' caches go, the list is written back, the user is told.
    static void Load(CSettings& settings) { ZxShowNotices(LoadSettings(settings)); }

private:
    std::string m_previousDataFolder;
    Error::IZxLogFile* m_previousLog = nullptr;
};

// ---- the file's place ------------------------------------------------------------------------------

TEST_F(SettingsTest, FileOfAProfileLiesInItsOwnFolderWhichIsCreated) {
    CSettings settings("Outlook");
    EXPECT_EQ("Outlook", settings.GetProfileName());
    EXPECT_EQ(m_data + "\\Settings\\Outlook\\ZxBrackenmeadowSync.settings", settings.GetFilePath());
    EXPECT_TRUE(FolderExists(m_data + "\\Settings\\Outlook"));
    EXPECT_FALSE(FileExists(settings.GetFilePath()));
}

TEST_F(SettingsTest, EmptyProfileKeepsItsFileInTheSettingsFolder) {
    EXPECT_EQ(m_data + "\\Settings\\ZxBrackenmeadowSync.settings", CSettings("").GetFilePath());
    EXPECT_TRUE(FolderExists(m_data + "\\Settings"));
}

TEST_F(SettingsTest, DataFolderEndingInASeparatorGetsNoSecondOne) {
    SetAddinDataFolderOverride(m_data + "\\");
    EXPECT_EQ(m_data + "\\Settings\\P\\ZxBrackenmeadowSync.settings", CSettings("P").GetFilePath());
    SetAddinDataFolderOverride(m_data + "/");
    EXPECT_EQ(m_data + "/Settings\\Q\\ZxBrackenmeadowSync.settings", CSettings("Q").GetFilePath());
    EXPECT_TRUE(FolderExists(m_data + "\\Settings\\Q"));
}

TEST_F(SettingsTest, ProductFileLiesInTheAddinDataFolder) {
    SetAddinDataFolderOverride("");
    const std::string profile = "zxconfig-test-" + std::to_string(GetCurrentProcessId());
    const std::string dataFolder = GetAddinDataFolder();
    ASSERT_FALSE(dataFolder.empty());
    const std::string folder = dataFolder + "\\Settings\\" + profile;
    EXPECT_EQ(folder + "\\ZxBrackenmeadowSync.settings", CSettings(profile).GetFilePath());
    EXPECT_TRUE(FolderExists(folder));
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA((dataFolder + "\\Settings").c_str()); // only when nothing else is in it
}

// ---- content ---------------------------------------------------------------------------------------

FolderFields Mailbox(const std::string& id, const std::string& name) {
    FolderFields f;
    f.folderId = id;
    f.storeId = std::string("\x00\x00\x00\x00\x38\xA1\xBB\x10", 8);
    f.name = name;
    f.flags = 8;
    return f;
}

CRefCountPtr<CAssocDesc> PairOf(const CFolderDesc& first, const CFolderDesc& second) {
    CRefCountPtr<CAssocDesc> pair(new CAssocDesc());
    pair->SetFolder1(first);
    pair->SetFolder2(second);
    return pair;
}

TEST_F(SettingsTest, FileHoldsExactlyTheListRecord) {
    FolderFields shared = Mailbox(std::string("\x00\x00\x00\x00\x01", 5), "Shared\\Contacts");
    shared.storeFile = "C:\\Shared\\store.pst";
    shared.created = kCreated;
    const FolderFields mailbox = Mailbox(std::string("\x00\x00\x00\x00\x02\xFF", 6), "Mailbox - Ann\\Contacts");

    CSettings settings("Outlook");
    settings.GetAssocs().push_back(PairOf(FolderOf(shared), FolderOf(mailbox)));
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ListBytes({PairBytes(FolderV2Bytes(shared), FolderV2Bytes(mailbox))}), FileBytes("Outlook"));

    settings.GetAssocs().clear();
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ListBytes({}), FileBytes("Outlook"));
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(SettingsTest, LoadReadsWhatSaveWrote) {
    const FolderFields a = Mailbox(std::string("\x00\x00\x00\x00\x0A", 5), "Mailbox - Ann\\Calendar");
    const FolderFields b = Mailbox(std::string("\x00\x00\x00\x00\x0B", 5), "Public\\Calendar");
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(PairOf(FolderOf(a), FolderOf(b)));
    settings.GetAssocs().push_back(PairOf(FolderOf(b), FolderOf(a)));
    ASSERT_TRUE(settings.Save());

    CSettings loaded("Outlook");
    Load(loaded);
    ASSERT_EQ(2u, loaded.GetAssocs().size());
    EXPECT_EQ(Raw(Zx(a.folderId)), Raw(loaded.GetAssocs()[0]->GetFolder1().GetFolderEntryId()));
    EXPECT_EQ("Public\\Calendar", loaded.GetAssocs()[0]->GetFolder2().GetFolderName());
    EXPECT_EQ("Mailbox - Ann\\Calendar", loaded.GetAssocs()[1]->GetFolder2().GetFolderName());
    EXPECT_EQ(8, loaded.GetAssocs()[1]->GetFolder1().GetFolderFlags());
    EXPECT_TRUE(m_boxes.Shown().empty());
    EXPECT_TRUE(LogLines().empty());

    // A copy shares the pairs and keeps the profile.
    CSettings copy = loaded;
    EXPECT_EQ("Outlook", copy.GetProfileName());
    EXPECT_EQ(loaded.GetAssocs()[1].Get(), copy.GetAssocs()[1].Get());
}

TEST_F(SettingsTest, ProfilesKeepSeparateFiles) {
    CSettings first("First");
    first.GetAssocs().push_back(PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two"))));
    ASSERT_TRUE(first.Save());
    CSettings second("Second");
    ASSERT_TRUE(second.Save());
    EXPECT_NE(first.GetFilePath(), second.GetFilePath());

    CSettings loadedFirst("First"), loadedSecond("Second");
    Load(loadedFirst);
    Load(loadedSecond);
    EXPECT_EQ(1u, loadedFirst.GetAssocs().size());
    EXPECT_EQ(0u, loadedSecond.GetAssocs().size());
}

// Every profile name gets a settings folder that works: names that cannot be folder names (a colon, a
// slash, wildcards, a device, dots) get underscores, overlong ones are cut with a hash, and every name
// that always worked keeps its folder. Their caches follow the same names.
TEST_F(SettingsTest, ProfileNamesThatAreNoFolderNamesGetFoldersThatWork) {
    const struct {
        std::string profile, folder;
    } cases[] = {
        {"Outlook", "Outlook"},
        {"M\xFCller & Co. (alt)", "M\xFCller & Co. (alt)"},
        {"Work:Main/Team*?", "Work_Main_Team__"},
        {"a\\b", "a_b"},
        {"Con", "_Con"},
        {"..", "__"},
        {"Trailing. ", "Trailing__"},
        {std::string(100, 'Q'), std::string(100, 'Q')},
        {std::string(200, 'P'), std::string(119, 'P') + "~"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        CSettings settings(c.profile);
        settings.GetAssocs().push_back(PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two"))));
        const std::string path = settings.GetFilePath();
        EXPECT_EQ(0u, path.rfind(m_data + "\\Settings\\" + c.folder, 0)) << path;
        EXPECT_EQ(std::string(kFileName), ZxFsPath(path).FileName());
        ASSERT_TRUE(settings.Save());
        CSettings loaded(c.profile);
        Load(loaded);
        EXPECT_EQ(1u, loaded.GetAssocs().size());
        const std::string cacheFolder = CFolderCacheFactory(c.profile).GetCacheFolder();
        EXPECT_EQ(0u, cacheFolder.rfind(m_data + "\\Cache\\" + c.folder, 0)) << cacheFolder;
        EXPECT_TRUE(FolderExists(cacheFolder));
    }
    EXPECT_TRUE(m_boxes.Shown().empty());
    EXPECT_TRUE(LogLines().empty());
}

// A settings file that is there but cannot be read (a folder in its place, a file another program holds
// shut) is reported as a damaged one is: the user's pairs must not be skipped without a word.
TEST_F(SettingsTest, AFolderOrAnUnreadableFileInPlaceOfTheSettingsIsReported) {
    const std::string path = CSettings("Odd").GetFilePath();
    const std::string aside = path + ".damaged";
    // A folder in its place: kept aside, and the list starts empty in a new file.
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    {
        CSettings settings("Odd");
        Load(settings);
        EXPECT_TRUE(settings.GetAssocs().empty());
        const std::string text = "The settings file '" + path +
                                 "' is damaged and could not be read completely. It was kept as '" + aside +
                                 "'; check your folder pairs.";
        ASSERT_EQ(1u, m_boxes.Shown().size());
        EXPECT_EQ(text, m_boxes.Shown().back().text);
        EXPECT_EQ((std::vector<std::string>{"Error: " + text}), LogLines());
        EXPECT_TRUE(FolderExists(aside));
        EXPECT_FALSE(FolderExists(path));
    }
    // A file held shut by another program: reported with its own path, and never written over.
    RemoveDirectoryA(aside.c_str());
    CSettings("Odd").Save();
    std::string before;
    ASSERT_TRUE(ReadWholeFile(path, before));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CSettings settings("Odd");
    Load(settings);
    CloseHandle(held);
    ASSERT_EQ(2u, m_boxes.Shown().size());
    EXPECT_EQ("The settings file '" + path + "' is damaged and could not be read completely. It was kept as '" + path +
                  "'; check your folder pairs.",
              m_boxes.Shown().back().text);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(path, after));
    EXPECT_EQ(before, after);
}

TEST_F(SettingsTest, MissingFileLeavesTheListAndShowsNothingButMakesTheFolder) {
    CSettings settings("Fresh");
    settings.GetAssocs().push_back(PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two"))));
    Load(settings);
    EXPECT_EQ(1u, settings.GetAssocs().size());
    EXPECT_TRUE(FolderExists(m_data + "\\Settings\\Fresh"));
    EXPECT_FALSE(FileExists(SettingsPath("Fresh")));
    EXPECT_TRUE(m_boxes.Shown().empty());
    EXPECT_TRUE(LogLines().empty());
}

// A file that does not read back as one whole list record would lose pairs silently at the next save:
// it is kept aside byte for byte, reported in the log and to the user with both paths, and the pairs
// that could still be read are written anew, so the next load is quiet.
TEST_F(SettingsTest, DamagedFileIsKeptAsideReportedAndItsReadablePairsKept) {
    const std::string pair = PairBytes(FolderV2Bytes(Mailbox("1", "One")), FolderV2Bytes(Mailbox("2", "Two")));
    FolderFields v3 = Mailbox("3", "Three");
    struct Case {
        const char* what;
        std::string bytes;
        size_t pairs;
    };
    const Case cases[] = {
        {"an empty file (every save writes a whole list)", "", 0},
        {"three bytes", "\x04\x00\x00", 0},
        {"version only", Int32Bytes(1), 0},
        {"huge count, no pairs", Int32Bytes(1) + Int32Bytes(0x7FFFFFFF), 0},
        {"negative count", Int32Bytes(1) + Int32Bytes(-5) + pair, 0},
        {"huge count, one pair", Int32Bytes(1) + Int32Bytes(0x7FFFFFFF) + pair, 1},
        {"cut in the second pair", Int32Bytes(1) + Int32Bytes(2) + pair + pair.substr(0, 30), 1},
        {"a byte too many", ListBytes({pair}) + "x", 1},
        {"folder record of version 3", ListBytes({pair, PairBytes(Int32Bytes(3), FolderV2Bytes(v3))}), 1},
        {"text", "This is not a settings file at all.\r\n", 0},
        {"all ones", std::string(500, '\xFF'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = CSettings("Damaged").GetFilePath();
        const std::string aside = path + ".damaged";
        ASSERT_TRUE(WriteWholeFile(path, c.bytes));
        const size_t boxes = m_boxes.Shown().size();
        const size_t lines = LogLines().size();

        CSettings settings("Damaged");
        Load(settings);
        ASSERT_EQ(c.pairs, settings.GetAssocs().size());
        if (c.pairs > 0) EXPECT_EQ("One", settings.GetAssocs()[0]->GetFolder1().GetFolderName());
        std::string kept;
        ASSERT_TRUE(ReadWholeFile(aside, kept));
        EXPECT_EQ(c.bytes, kept);
        const std::string text = "The settings file '" + path +
                                 "' is damaged and could not be read completely. It was kept as '" + aside +
                                 "'; check your folder pairs.";
        ASSERT_EQ(boxes + 1, m_boxes.Shown().size());
        EXPECT_EQ(text, m_boxes.Shown().back().text);
        EXPECT_EQ("Orvanta Merrowlink Addin", m_boxes.Shown().back().caption);
        EXPECT_EQ(MB_ICONWARNING, m_boxes.Shown().back().type & MB_ICONMASK);
        ASSERT_EQ(lines + 1, LogLines().size());
        EXPECT_EQ("Error: " + text, LogLines().back());

        CSettings again("Damaged");
        Load(again);
        EXPECT_EQ(c.pairs, again.GetAssocs().size());
        EXPECT_EQ(boxes + 1, m_boxes.Shown().size());
    }
}

// An empty slot in the list (a pair never made) is passed over by every walk of the list: the file, the
// opening of the folders and the reinstall check.
TEST_F(SettingsTest, EmptySlotsInTheListArePassedOver) {
    CSettings settings("Slots");
    settings.GetAssocs().push_back(CRefCountPtr<CAssocDesc>());
    settings.GetAssocs().push_back(PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two"))));
    settings.GetAssocs().push_back(CRefCountPtr<CAssocDesc>());
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ListBytes({PairBytes(FolderV2Bytes(Mailbox("1", "One")), FolderV2Bytes(Mailbox("2", "Two")))}),
              FileBytes("Slots"));
    settings.OpenFolders(ZxIMAPISession());
    ASSERT_TRUE(DeleteFileA(settings.GetFilePath().c_str()));
    Load(settings);
    EXPECT_EQ(3u, settings.GetAssocs().size());
    EXPECT_TRUE(m_boxes.Shown().empty());
}

TEST_F(SettingsTest, EmptyFileLeavesTheListAsItWas) {
    CSettings settings("Outlook");
    ASSERT_TRUE(WriteWholeFile(settings.GetFilePath(), ""));
    settings.GetAssocs().push_back(PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two"))));
    Load(settings);
    EXPECT_EQ(1u, settings.GetAssocs().size());
}

// Running out of memory while the file is read (each identifier read needs MAPI memory, and every one of
// them is failed in turn) fails the load and leaves the list as it was: never pairs with empty ids.
TEST_F(SettingsTest, LoadThatRunsOutOfMemoryLeavesTheListAsItWas) {
    const FolderFields a = Mailbox(std::string("\x00\x00\x00\x00\x0A", 5), "Mailbox - Ann\\Calendar");
    const FolderFields b = Mailbox(std::string("\x00\x00\x00\x00\x0B", 5), "Public\\Calendar");
    {
        CSettings written("Outlook");
        written.GetAssocs().push_back(PairOf(FolderOf(a), FolderOf(b)));
        written.GetAssocs().push_back(PairOf(FolderOf(b), FolderOf(a)));
        ASSERT_TRUE(written.Save());
    }
    const std::string file = FileBytes("Outlook");
    standin::ResetCounters();
    {
        CSettings probe("Outlook");
        Load(probe);
        ASSERT_EQ(2u, probe.GetAssocs().size());
    }
    const long allocations = standin::CallCount("MAPIAllocateBuffer");
    ASSERT_GE(allocations, 8); // two ids of each of four folders

    for (long k = 1; k <= allocations; ++k) {
        SCOPED_TRACE(k);
        CSettings settings("Outlook");
        const CRefCountPtr<CAssocDesc> own = PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two")));
        settings.GetAssocs().push_back(own);
        standin::ClearFaults();
        standin::FailCall("MAPIAllocateBuffer", k, MAPI_E_NOT_ENOUGH_MEMORY);
        EXPECT_THROW(Load(settings), std::bad_alloc);
        EXPECT_EQ(1, standin::FaultsFired());
        standin::ClearFaults();
        ASSERT_EQ(1u, settings.GetAssocs().size());
        EXPECT_EQ(own.Get(), settings.GetAssocs()[0].Get());
        EXPECT_EQ("1", Raw(own->GetFolder1().GetFolderEntryId()));
        EXPECT_EQ("Two", own->GetFolder2().GetFolderName());
        EXPECT_EQ(file, FileBytes("Outlook"));
        EXPECT_TRUE(m_boxes.Shown().empty());
        if (HasFailure()) break;
    }

    // A pair read over in place keeps its folders when a read fails half-way.
    const CRefCountPtr<CAssocDesc> pair = PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two")));
    ZxMemoryArchive archive;
    archive.LoadFromMemory(file.data(), static_cast<uint32_t>(file.size()));
    int32_t skipped = 0;
    archive.ReadSized(skipped); // the list's version
    archive.ReadSized(skipped); // and count
    standin::FailCall("MAPIAllocateBuffer", 3, MAPI_E_NOT_ENOUGH_MEMORY); // folder 2's entry id
    EXPECT_THROW(pair->Read(archive), std::bad_alloc);
    standin::ClearFaults();
    EXPECT_EQ("1", Raw(pair->GetFolder1().GetFolderEntryId()));
    EXPECT_EQ("One", pair->GetFolder1().GetFolderName());
    EXPECT_EQ("2", Raw(pair->GetFolder2().GetFolderEntryId()));
}

TEST_F(SettingsTest, FailedSaveIsLoggedAndReported) {
    CSettings settings("Blocked");
    // A folder where the file should be: the file cannot be written.
    ASSERT_TRUE(CreateDirectoryA(settings.GetFilePath().c_str(), nullptr));
    settings.GetAssocs().push_back(PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two"))));
    EXPECT_FALSE(settings.Save());
    EXPECT_TRUE(FolderExists(settings.GetFilePath()));
    EXPECT_EQ(std::vector<std::string>{"Error: Cannot save settings file '" + settings.GetFilePath() + "'."},
              LogLines());
}

TEST_F(SettingsTest, FailedSaveLeavesThePreviousFileWhole) {
    CSettings settings("ReadOnly");
    const std::string before = ListBytes({});
    ASSERT_TRUE(WriteWholeFile(settings.GetFilePath(), before));
    ASSERT_TRUE(SetFileAttributesA(settings.GetFilePath().c_str(), FILE_ATTRIBUTE_READONLY));
    settings.GetAssocs().push_back(PairOf(FolderOf(Mailbox("1", "One")), FolderOf(Mailbox("2", "Two"))));
    const bool saved = settings.Save();
    SetFileAttributesA(settings.GetFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
    if (saved) GTEST_SKIP() << "this file system replaces read-only files";
    EXPECT_EQ(before, FileBytes("ReadOnly"));
    ASSERT_EQ(1u, LogLines().size());
}

// ---- the reinstall check ---------------------------------------------------------------------------

// A profile with a mailbox and shared-folders stores whose files live in the test's folder.
class ReinstallTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        standin::StoreSpec mailbox;
        mailbox.displayName = "Mailbox - Ann";
        m_mailbox = standin::AddStore(mailbox);
        m_calendar = standin::AddFolder(standin::IpmSubtree(m_mailbox), "Calendar", "IPF.Appointment");
        m_contacts = standin::AddFolder(standin::IpmSubtree(m_mailbox), "Contacts2", "IPF.Contact");
        m_session = NewSession();
    }
    void TearDown() override {
        m_session.Reset();
        SettingsTest::TearDown();
    }

    struct Shared {
        std::string file;
        standin::Bytes store, folder;
    };
    Shared AddShared(const std::string& storeName, const std::string& folderName) {
        Shared s;
        s.file = m_temp / (storeName + ".pst");
        EXPECT_TRUE(MakeFileCreatedAt(s.file, kCreated));
        standin::StoreSpec descr;
        descr.displayName = storeName;
        descr.kind = standin::ProviderKind::SharedFolders;
        descr.storeFilePath = s.file;
        s.store = standin::AddStore(descr);
        s.folder = standin::AddFolder(standin::IpmSubtree(s.store), folderName, "IPF.Appointment");
        return s;
    }
    // A folder as the pair dialog describes it, then opened as the options page does.
    CFolderDesc Picked(const standin::Bytes& store, const standin::Bytes& folder) {
        CFolderDesc desc(Zx(folder), Zx(store), "", ZxIMAPIFolder(), ZxIMsgStore(), 16);
        EXPECT_TRUE(desc.Open(m_session));
        return desc;
    }
    // Both caches of a pair, made as a run makes them.
    static void MakeCaches(const std::string& profile, const CAssocDesc& pair) {
        CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(profile));
        factory->LoadIndex();
        ASSERT_TRUE(factory->GetCache(pair.GetFolder1().GetFolder(), pair.GetFolder2().GetFolder()));
        ASSERT_TRUE(factory->GetCache(pair.GetFolder2().GetFolder(), pair.GetFolder1().GetFolder()));
    }
    static bool HasCaches(const std::string& profile, const CAssocDesc& pair, bool* either = nullptr) {
        CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(profile));
        factory->LoadIndex();
        const bool forward = factory->HasCache(pair.GetFolder1().GetFolder(), pair.GetFolder2().GetFolder());
        const bool backward = factory->HasCache(pair.GetFolder2().GetFolder(), pair.GetFolder1().GetFolder());
        if (either) *either = forward || backward;
        return forward && backward;
    }
    static std::string PairLine(const CAssocDesc& pair) {
        return "'" + pair.GetFolder1().GetFolderName() + "' - '" + pair.GetFolder2().GetFolderName() + "'\n";
    }
    static std::string LogLine(const CAssocDesc& pair) {
        return "Error: Removing ZxBrackenmeadow assoc (" + pair.GetFolder1().GetFolderName() + " - " +
               pair.GetFolder2().GetFolderName() + ")because PST file was recreated.";
    }
    static FolderFields FieldsOf(const CFolderDesc& f) {
        FolderFields fields;
        fields.folderId = Raw(f.GetFolderEntryId());
        fields.storeId = Raw(f.GetStoreEntryId());
        fields.name = f.GetFolderName();
        fields.flags = f.GetFolderFlags();
        fields.storeFile = f.GetStoreFile();
        fields.created = f.GetStoreFileCreationTime();
        return fields;
    }
    void ExpectOneBox(const std::string& lines) {
        ASSERT_EQ(1u, m_boxes.Shown().size());
        EXPECT_EQ(std::string(kReinstallText) + lines, m_boxes.Shown()[0].text);
        EXPECT_EQ("Orvanta Merrowlink Addin", m_boxes.Shown()[0].caption);
        EXPECT_EQ(static_cast<unsigned>(MB_ICONINFORMATION | MB_OK), m_boxes.Shown()[0].type);
    }

    ZxIMAPISession m_session;
    standin::Bytes m_mailbox, m_calendar, m_contacts;
};

TEST_F(ReinstallTest, DeletedStoreFileDropsThePairItsCachesAndTellsTheUser) {
    const Shared shared = AddShared("Shared", "Calendar");
    const CRefCountPtr<CAssocDesc> dropped = PairOf(Picked(shared.store, shared.folder), Picked(m_mailbox, m_calendar));
    const CRefCountPtr<CAssocDesc> kept = PairOf(Picked(m_mailbox, m_contacts), Picked(m_mailbox, m_calendar));
    ASSERT_EQ(shared.file, dropped->GetFolder1().GetStoreFile());
    ASSERT_EQ("Shared\\Calendar", dropped->GetFolder1().GetFolderName());
    MakeCaches("Outlook", *dropped);
    MakeCaches("Outlook", *kept);
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(dropped);
    settings.GetAssocs().push_back(kept);
    ASSERT_TRUE(settings.Save());

    // A reinstall of the shared-folders product took the store file away.
    ASSERT_TRUE(DeleteFileA(shared.file.c_str()));
    CSettings loaded("Outlook");
    Load(loaded);

    ASSERT_EQ(1u, loaded.GetAssocs().size());
    EXPECT_EQ("Mailbox - Ann\\Contacts2", loaded.GetAssocs()[0]->GetFolder1().GetFolderName());
    ExpectOneBox("'Shared\\Calendar' - 'Mailbox - Ann\\Calendar'\n");
    EXPECT_EQ(std::vector<std::string>{"Error: Removing ZxBrackenmeadow assoc (Shared\\Calendar - Mailbox - "
                                       "Ann\\Calendar)because PST file was recreated."},
              LogLines());
    // The file was rewritten without the pair.
    EXPECT_EQ(ListBytes({PairBytes(FolderV2Bytes(FieldsOf(kept->GetFolder1())),
                                   FolderV2Bytes(FieldsOf(kept->GetFolder2())))}),
              FileBytes("Outlook"));
    // Both caches of the dropped pair are gone, those of the kept pair are not.
    bool anyLeft = true;
    HasCaches("Outlook", *dropped, &anyLeft);
    EXPECT_FALSE(anyLeft);
    EXPECT_TRUE(HasCaches("Outlook", *kept));

    // Nothing more to remove at the next load.
    CSettings again("Outlook");
    Load(again);
    EXPECT_EQ(1u, again.GetAssocs().size());
    EXPECT_EQ(1u, m_boxes.Shown().size());
}

TEST_F(ReinstallTest, StoreFileCreatedAnewDropsThePair) {
    const Shared shared = AddShared("Team", "Calendar");
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(PairOf(Picked(m_mailbox, m_calendar), Picked(shared.store, shared.folder)));
    ASSERT_TRUE(settings.Save());

    ASSERT_TRUE(DeleteFileA(shared.file.c_str()));
    ASSERT_TRUE(MakeFileCreatedAt(shared.file, kCreated + 86400));
    CSettings loaded("Outlook");
    Load(loaded);
    EXPECT_TRUE(loaded.GetAssocs().empty());
    ExpectOneBox("'Mailbox - Ann\\Calendar' - 'Team\\Calendar'\n");
    EXPECT_EQ(ListBytes({}), FileBytes("Outlook"));
}

TEST_F(ReinstallTest, UntouchedStoreFileKeepsThePairQuietly) {
    const Shared shared = AddShared("Team", "Calendar");
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(PairOf(Picked(shared.store, shared.folder), Picked(m_mailbox, m_calendar)));
    ASSERT_TRUE(settings.Save());
    const std::string before = FileBytes("Outlook");

    CSettings loaded("Outlook");
    Load(loaded);
    EXPECT_EQ(1u, loaded.GetAssocs().size());
    EXPECT_EQ(shared.file, loaded.GetAssocs()[0]->GetFolder1().GetStoreFile());
    EXPECT_EQ(kCreated, loaded.GetAssocs()[0]->GetFolder1().GetStoreFileCreationTime());
    EXPECT_TRUE(m_boxes.Shown().empty());
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(before, FileBytes("Outlook"));
}

TEST_F(ReinstallTest, SeveralDroppedPairsAreListedAndLoggedInListOrder) {
    const Shared first = AddShared("First", "Calendar");
    const Shared second = AddShared("Second", "Diary");
    const CRefCountPtr<CAssocDesc> pairs[] = {
        PairOf(Picked(first.store, first.folder), Picked(m_mailbox, m_calendar)),
        PairOf(Picked(m_mailbox, m_contacts), Picked(m_mailbox, m_calendar)),
        PairOf(Picked(m_mailbox, m_calendar), Picked(second.store, second.folder)),
        PairOf(Picked(second.store, second.folder), Picked(first.store, first.folder)),
    };
    CSettings settings("Outlook");
    for (const auto& pair : pairs) {
        MakeCaches("Outlook", *pair);
        settings.GetAssocs().push_back(pair);
    }
    ASSERT_TRUE(settings.Save());

    ASSERT_TRUE(DeleteFileA(first.file.c_str()));
    ASSERT_TRUE(DeleteFileA(second.file.c_str()));
    CSettings loaded("Outlook");
    Load(loaded);

    ASSERT_EQ(1u, loaded.GetAssocs().size());
    EXPECT_EQ(Raw(pairs[1]->GetFolder1().GetFolderEntryId()),
              Raw(loaded.GetAssocs()[0]->GetFolder1().GetFolderEntryId()));
    ExpectOneBox(PairLine(*pairs[0]) + PairLine(*pairs[2]) + PairLine(*pairs[3]));
    EXPECT_EQ((std::vector<std::string>{LogLine(*pairs[0]), LogLine(*pairs[2]), LogLine(*pairs[3])}), LogLines());
    for (int i : {0, 2, 3}) {
        bool anyLeft = true;
        HasCaches("Outlook", *pairs[i], &anyLeft);
        EXPECT_FALSE(anyLeft) << i;
    }
    EXPECT_TRUE(HasCaches("Outlook", *pairs[1]));
}

TEST_F(ReinstallTest, FolderNamesAreShownAsTheyAreNeverAsFormats) {
    const Shared shared = AddShared("Shared", "Calendar");
    CFolderDesc odd = Picked(shared.store, shared.folder);
    odd.SetFolderName("100% %s %n %d");
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(PairOf(odd, Picked(m_mailbox, m_calendar)));
    ASSERT_TRUE(settings.Save());

    ASSERT_TRUE(DeleteFileA(shared.file.c_str()));
    CSettings loaded("Outlook");
    Load(loaded);
    ExpectOneBox("'100% %s %n %d' - 'Mailbox - Ann\\Calendar'\n");
    EXPECT_EQ(std::vector<std::string>{"Error: Removing ZxBrackenmeadow assoc (100% %s %n %d - Mailbox - "
                                       "Ann\\Calendar)because PST file was recreated."},
              LogLines());
}

TEST_F(ReinstallTest, Version1PairsAreNeverDropped) {
    // Pairs saved before store files were recorded, naming a shared store whose file no longer exists.
    const Shared shared = AddShared("Old", "Calendar");
    FolderFields sharedFolder;
    sharedFolder.folderId = shared.folder;
    sharedFolder.storeId = shared.store;
    sharedFolder.name = "Old\\Calendar";
    sharedFolder.flags = 16;
    FolderFields mailbox;
    mailbox.folderId = m_calendar;
    mailbox.storeId = m_mailbox;
    mailbox.name = "Mailbox - Ann\\Calendar";
    mailbox.flags = 16;
    const std::string bytes = ListBytes({PairBytes(FolderV1Bytes(sharedFolder), FolderV1Bytes(mailbox)),
                                         PairBytes(FolderV1Bytes(mailbox), FolderV1Bytes(sharedFolder))});
    ASSERT_TRUE(WriteWholeFile(CSettings("Outlook").GetFilePath(), bytes));
    ASSERT_TRUE(DeleteFileA(shared.file.c_str()));

    CSettings loaded("Outlook");
    Load(loaded);
    ASSERT_EQ(2u, loaded.GetAssocs().size());
    EXPECT_EQ("", loaded.GetAssocs()[0]->GetFolder1().GetStoreFile());
    EXPECT_TRUE(m_boxes.Shown().empty());
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(bytes, FileBytes("Outlook"));
}

TEST_F(ReinstallTest, ProfilesHaveTheirOwnPairsAndCaches) {
    const Shared shared = AddShared("Shared", "Calendar");
    const CRefCountPtr<CAssocDesc> pair = PairOf(Picked(shared.store, shared.folder), Picked(m_mailbox, m_calendar));
    for (const char* profile : {"Home", "Work"}) {
        MakeCaches(profile, *pair);
        CSettings settings(profile);
        settings.GetAssocs().push_back(pair);
        ASSERT_TRUE(settings.Save());
    }
    const std::string workBefore = FileBytes("Work");

    ASSERT_TRUE(DeleteFileA(shared.file.c_str()));
    CSettings home("Home");
    Load(home);
    EXPECT_TRUE(home.GetAssocs().empty());
    bool anyLeft = true;
    HasCaches("Home", *pair, &anyLeft);
    EXPECT_FALSE(anyLeft);
    // The other profile's file and caches wait for its own next load.
    EXPECT_EQ(workBefore, FileBytes("Work"));
    EXPECT_TRUE(HasCaches("Work", *pair));

    CSettings work("Work");
    Load(work);
    EXPECT_TRUE(work.GetAssocs().empty());
    HasCaches("Work", *pair, &anyLeft);
    EXPECT_FALSE(anyLeft);
    EXPECT_EQ(2u, m_boxes.Shown().size());
}

} // namespace
