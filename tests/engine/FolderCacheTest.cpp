// The folder state cache and its factory: file layouts byte for byte, file names, the index, and
// what is (and is not) written when.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <cstring>
#include <regex>
#include <vector>

#include "EngineTestSupport.h"
#include "base/Archive.h"
#include "base/Paths.h"
#include "engine/FolderCache.h"
#include "engine/FolderCacheFactory.h"

namespace {

struct Entry {
    std::string entryId, recordKey, pairId;
    uint64_t time;
};

// Pair-id order differs from record-key order and from the order of adding.
const std::vector<Entry> kEntries = {
    {"\x10\x11\x12", "RK-b", "{B0000000-0000-0000-0000-000000000002}", 0x01DC7A0011223344ull},
    {"\x20\x21", "RK-a-longer", "{A0000000-0000-0000-0000-000000000001}", 0x01DC7A0055667788ull},
    {"", "RK-c", "{C0000000-0000-0000-0000-000000000003}", 0},
};

std::string ExpectedCacheBytes(std::vector<Entry> entries) {
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.pairId < b.pairId; });
    ByteBuilder b;
    b.Int32(1).Int32(static_cast<int32_t>(entries.size()));
    for (const Entry& e : entries) b.Int32(1).Binary(e.entryId).Binary(e.recordKey).String(e.pairId).Time(Ft(e.time));
    return b.Bytes();
}

CRefCountPtr<CCacheItem> MakeItem(const Entry& e) {
    return CRefCountPtr<CCacheItem>(new CCacheItem(Zx(e.entryId), Zx(e.recordKey), Ft(e.time), e.pairId));
}

// Binary key order: shorter first, equal lengths by unsigned bytes.
bool KeyLess(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    return std::memcmp(a.data(), b.data(), a.size()) < 0;
}

class FolderCacheTest : public EngineFixture {
protected:
    std::string CachePath(const std::string& name = "test.cache") { return m_data / name; }
};

} // namespace

TEST_F(FolderCacheTest, SavedFileHasTheLayoutByteForByteInPairIdOrder) {
    const std::string path = CachePath();
    uint32_t predicted = 0;
    {
        CFolderCache cache(path);
        for (const Entry& e : kEntries) cache.AddItem(MakeItem(e));
        ASSERT_TRUE(cache.IsDirty());
        predicted = cache.SerializedSize();
        ASSERT_TRUE(cache.Save());
        EXPECT_FALSE(cache.IsDirty());
    }
    std::string disk;
    ASSERT_TRUE(ReadWholeFile(path, disk));
    EXPECT_EQ(ExpectedCacheBytes(kEntries), disk);
    EXPECT_EQ(disk.size(), predicted); // the room made before writing is exactly what is written
}

TEST_F(FolderCacheTest, LoadReadsEveryFieldBackAndFindsByBothKeys) {
    const std::string path = CachePath();
    ASSERT_TRUE(WriteWholeFile(path, ExpectedCacheBytes(kEntries)));
    CFolderCache cache(path);
    ASSERT_TRUE(cache.Load());
    ASSERT_EQ(kEntries.size(), cache.GetItemCount());
    for (const Entry& e : kEntries) {
        const CRefCountPtr<CCacheItem> byKey = cache.FindByRecordKey(Zx(e.recordKey));
        ASSERT_TRUE(byKey) << e.recordKey;
        EXPECT_TRUE(byKey == cache.FindByPairId(e.pairId));
        EXPECT_EQ(e.entryId, Raw(byKey->GetEntryId()));
        EXPECT_EQ(e.pairId, byKey->GetPairId());
        EXPECT_EQ(e.time, U64(byKey->GetModificationTime()));
    }
    const auto items = cache.GetItems();
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ("{A0000000-0000-0000-0000-000000000001}", items[0]->GetPairId());
    EXPECT_EQ("{C0000000-0000-0000-0000-000000000003}", items[2]->GetPairId());
    EXPECT_FALSE(cache.FindByRecordKey(Zx("RK-x")));
    EXPECT_FALSE(cache.FindByPairId("{nothing}"));
}

// A loaded cache holds what its file holds: saving it unchanged writes nothing.
TEST_F(FolderCacheTest, CacheLoadedWithItemsIsNotRewrittenWithTheBytesItHolds) {
    const std::string path = CachePath();
    const std::string bytes = ExpectedCacheBytes(kEntries);
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    const FileStamp before = StampOf(path);
    Sleep(20);
    CFolderCache cache(path);
    ASSERT_TRUE(cache.Load());
    EXPECT_EQ(kEntries.size(), cache.GetItemCount());
    EXPECT_FALSE(cache.IsDirty());
    ASSERT_TRUE(cache.Save());
    EXPECT_TRUE(before == StampOf(path)) << "the file was rewritten";
}

// What a load found: no state, whole state, or state that did not read back as written. Only whole
// items are kept either way.
TEST_F(FolderCacheTest, LoadTellsMissingWholeAndDamagedFilesApart) {
    using State = CFolderCache::LoadState;
    const std::string whole = ExpectedCacheBytes(kEntries);
    const std::string one = ExpectedCacheBytes({kEntries[0]});
    auto item = [](int32_t version, const std::string& recordKey, const std::string& pairId) {
        return ByteBuilder().Int32(version).Binary("e").Binary(recordKey).String(pairId).Time(Ft(5)).Bytes();
    };
    const std::string pairA = "{A0000000-0000-0000-0000-000000000001}";
    const std::string pairB = "{B0000000-0000-0000-0000-000000000002}";
    struct Case {
        const char* what;
        std::string bytes;
        bool exists;
        State state;
        size_t items;
    };
    const Case cases[] = {
        {"no file", "", false, State::Missing, 0},
        {"an empty file", "", true, State::Missing, 0},
        {"a file of no item", ByteBuilder().Int32(1).Int32(0).Bytes(), true, State::Loaded, 0},
        {"a whole file", whole, true, State::Loaded, 3},
        {"cut in the last item", whole.substr(0, whole.size() - 5), true, State::Damaged, 2},
        {"a byte too many", one + "x", true, State::Damaged, 1},
        {"a count too high", ByteBuilder().Int32(1).Int32(2).Raw(one.substr(16)).Bytes(), true, State::Damaged, 1},
        {"another file version", ByteBuilder().Int32(7).Int32(0).Bytes(), true, State::Damaged, 0},
        {"another item version", ByteBuilder().Int32(1).Int32(1).Raw(item(2, "rk", pairA)).Bytes(), true,
         State::Damaged, 1},
        {"a pair id that is none", ByteBuilder().Int32(1).Int32(1).Raw(item(1, "rk", "{not a guid}")).Bytes(), true,
         State::Damaged, 1},
        {"a record key twice",
         ByteBuilder().Int32(1).Int32(2).Raw(item(1, "rk", pairA)).Raw(item(1, "rk", pairB)).Bytes(), true,
         State::Damaged, 1},
        {"an item without record key", ByteBuilder().Int32(1).Int32(1).Raw(item(1, "", pairA)).Bytes(), true,
         State::Damaged, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = CachePath("states.cache");
        DeleteFileA(path.c_str());
        if (c.exists) ASSERT_TRUE(WriteWholeFile(path, c.bytes));
        CFolderCache cache(path);
        cache.Load();
        EXPECT_EQ(static_cast<int>(c.state), static_cast<int>(cache.GetLoadState()));
        EXPECT_EQ(c.items, cache.GetItemCount());
    }
}

TEST_F(FolderCacheTest, UnchangedCacheLoadedEmptyDoesNotTouchItsFile) {
    // Both an empty file (as GetCache reserves it) and a file that holds no item.
    for (const std::string& content : {std::string(), ByteBuilder().Int32(1).Int32(0).Bytes()}) {
        const std::string path = CachePath();
        ASSERT_TRUE(WriteWholeFile(path, content));
        const FileStamp before = StampOf(path);
        Sleep(20);
        CFolderCache cache(path);
        cache.Load();
        EXPECT_FALSE(cache.IsDirty());
        EXPECT_TRUE(cache.Save());
        EXPECT_TRUE(before == StampOf(path)) << "file of " << content.size() << " bytes was touched";
    }
}

TEST_F(FolderCacheTest, MissingFileKeepsContentAndEmptyFileReadsEmpty) {
    CFolderCache cache(CachePath("absent.cache"));
    cache.AddItem(MakeItem(kEntries[0]));
    EXPECT_FALSE(cache.Load());
    EXPECT_EQ(1u, cache.GetItemCount());
    EXPECT_TRUE(cache.IsDirty());
}

TEST_F(FolderCacheTest, MapsStayConsistentWhenAnItemReplacesAnotherUnderEitherKey) {
    CFolderCache cache(CachePath());
    cache.AddItem(MakeItem({"e1", "rk1", "{P1}", 1}));
    cache.AddItem(MakeItem({"e2", "rk2", "{P2}", 2}));
    // Same record key as the first, same pair id as the second: both earlier items leave entirely.
    cache.AddItem(MakeItem({"e3", "rk1", "{P2}", 3}));
    ASSERT_EQ(1u, cache.GetItemCount());
    EXPECT_FALSE(cache.FindByPairId("{P1}"));
    EXPECT_FALSE(cache.FindByRecordKey(Zx("rk2")));
    EXPECT_EQ("e3", Raw(cache.FindByRecordKey(Zx("rk1"))->GetEntryId()));
    EXPECT_TRUE(cache.FindByRecordKey(Zx("rk1")) == cache.FindByPairId("{P2}"));

    cache.SetDirty(false);
    cache.RemoveItemByRecordKey(Zx("absent"));
    EXPECT_FALSE(cache.IsDirty());
    cache.RemoveItem(cache.FindByPairId("{P2}"));
    EXPECT_TRUE(cache.IsDirty());
    EXPECT_EQ(0u, cache.GetItemCount());
    EXPECT_FALSE(cache.FindByRecordKey(Zx("rk1")));

    cache.AddItem(MakeItem({"e4", "rk4", "{P4}", 4}));
    cache.SetDirty(false);
    cache.RemoveItemByRecordKey(Zx("rk4"));
    EXPECT_TRUE(cache.IsDirty());
    EXPECT_FALSE(cache.FindByPairId("{P4}"));

    cache.AddItem(MakeItem({"e5", "rk5", "{P5}", 5}));
    cache.SetDirty(false);
    cache.Clear();
    EXPECT_TRUE(cache.IsDirty());
    EXPECT_EQ(0u, cache.GetItemCount());
}

// Thousands of items added in no particular order, a third removed, some replaced under one of their
// keys, the times of others changed through their items: what is found, what is saved (in pair-id
// order) and what a reload gives back are the survivors, exactly.
TEST_F(FolderCacheTest, ManyItemsAddedRemovedAndReplacedSaveAndReloadExactly) {
    const std::string path = CachePath();
    auto pairId = [](unsigned k) {
        char text[40];
        std::snprintf(text, sizeof text, "{%08X-0000-0000-0000-%012X}", (k * 2654435761u) & 0xFFFFFFFFu, k);
        return std::string(text);
    };
    std::map<std::string, Entry> expected; // by pair id
    CFolderCache cache(path);
    const unsigned n = 3000;
    for (unsigned k = 0; k < n; ++k) {
        const Entry e{"E" + std::to_string(k), "RK" + std::to_string(k * 7919 % n), pairId(k), 1000 + k};
        cache.AddItem(MakeItem(e));
        expected[e.pairId] = e;
    }
    for (unsigned k = 0; k < n; k += 3) {
        const CRefCountPtr<CCacheItem> item = cache.FindByPairId(pairId(k));
        ASSERT_TRUE(item) << k;
        cache.RemoveItem(item);
        expected.erase(pairId(k));
    }
    // A new item under an old record key pushes the old one out (both its entries).
    for (unsigned k = 1; k < n; k += 30) {
        const Entry& old = expected.at(pairId(k));
        const Entry e{"N" + std::to_string(k), old.recordKey, pairId(n + k), 7};
        expected.erase(old.pairId);
        cache.AddItem(MakeItem(e));
        expected[e.pairId] = e;
    }
    for (unsigned k = 2; k < n; k += 50) {
        if (k % 3 == 0) continue; // removed above
        const CRefCountPtr<CCacheItem> item = cache.FindByPairId(pairId(k));
        ASSERT_TRUE(item) << k;
        item->SetModificationTime(Ft(99));
        expected[pairId(k)].time = 99;
    }
    std::vector<Entry> survivors;
    for (const auto& [id, e] : expected) survivors.push_back(e);
    auto check = [&](const CFolderCache& c) {
        ASSERT_EQ(survivors.size(), c.GetItemCount());
        for (const Entry& e : survivors) {
            const CRefCountPtr<CCacheItem> byKey = c.FindByRecordKey(Zx(e.recordKey));
            ASSERT_TRUE(byKey) << e.recordKey;
            EXPECT_TRUE(byKey == c.FindByPairId(e.pairId));
            EXPECT_EQ(e.entryId, Raw(byKey->GetEntryId()));
            EXPECT_EQ(e.time, U64(byKey->GetModificationTime()));
        }
        for (unsigned k = 0; k < n; k += 3) EXPECT_FALSE(c.FindByPairId(pairId(k))) << k;
        const auto items = c.GetItems();
        ASSERT_EQ(survivors.size(), items.size());
        for (size_t k = 0; k < items.size(); ++k) EXPECT_EQ(survivors[k].pairId, items[k]->GetPairId());
    };
    check(cache);
    cache.SetDirty(true);
    ASSERT_TRUE(cache.Save());
    std::string disk;
    ASSERT_TRUE(ReadWholeFile(path, disk));
    EXPECT_TRUE(ExpectedCacheBytes(survivors) == disk);
    CFolderCache reloaded(path);
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(CFolderCache::LoadState::Loaded, reloaded.GetLoadState());
    check(reloaded);
}

TEST_F(FolderCacheTest, ItemTimeChangeAloneLeavesTheCacheClean) {
    CFolderCache cache(CachePath());
    cache.AddItem(MakeItem(kEntries[0]));
    cache.SetDirty(false);
    cache.FindByRecordKey(Zx(kEntries[0].recordKey))->SetModificationTime(Ft(77));
    EXPECT_FALSE(cache.IsDirty());
    EXPECT_EQ(77u, U64(cache.FindByPairId(kEntries[0].pairId)->GetModificationTime()));
}

TEST_F(FolderCacheTest, FailedSaveIsLoggedNamingTheFileAndLeavesTheCacheDirty) {
    LogCapture log;
    const std::string path = CachePath("blocked.cache");
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)); // a folder where the file should go
    CFolderCache cache(path);
    cache.AddItem(MakeItem(kEntries[0]));
    EXPECT_FALSE(cache.Save());
    EXPECT_TRUE(cache.IsDirty());
    EXPECT_NE(std::string::npos, log.Text().find("Error: Cannot save folder state cache '" + path + "'.\r\n"))
        << log.Text();
    // Once the way is free, the next save writes it.
    ASSERT_TRUE(RemoveDirectoryA(path.c_str()));
    EXPECT_TRUE(cache.Save());
    EXPECT_FALSE(cache.IsDirty());
    EXPECT_TRUE(FileExists(path));
}

TEST_F(FolderCacheTest, FailedSaveLeavesThePreviousFileIntact) {
    const std::string path = CachePath();
    const std::string previous = ExpectedCacheBytes({kEntries[0]});
    ASSERT_TRUE(WriteWholeFile(path, previous));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    CFolderCache cache(path);
    ASSERT_TRUE(cache.Load());
    cache.AddItem(MakeItem(kEntries[1]));
    EXPECT_FALSE(cache.Save());
    EXPECT_TRUE(cache.IsDirty());
    std::string disk;
    ASSERT_TRUE(ReadWholeFile(path, disk));
    EXPECT_EQ(previous, disk);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---- factory ----------------------------------------------------------------------------------------

namespace {

class CacheFactoryTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        m_store1 = standin::AddStore(standin::StoreSpec{});
        standin::StoreSpec second;
        second.displayName = "Archive";
        m_store2 = standin::AddStore(second);
        m_calendar1 = standin::FolderByPath("Personal Folders\\Calendar");
        m_calendar2 = standin::FolderByPath("Archive\\Calendar");
        m_tasks1 = standin::FolderByPath("Personal Folders\\Tasks");
        ASSERT_FALSE(m_calendar1.empty());
        ASSERT_FALSE(m_calendar2.empty());
        ASSERT_FALSE(m_tasks1.empty());
        m_session = NewSession();
    }
    void ReleaseMapi() override {
        m_factory.Reset();
        m_session.Reset();
    }
    CRefCountPtr<CFolderCacheFactory> NewFactory() {
        return CRefCountPtr<CFolderCacheFactory>(new CFolderCacheFactory("Outlook"));
    }
    std::string CacheFolder() const { return m_data / "Cache\\Outlook"; }
    std::string IndexPath() const { return CacheFolder() + "\\cache.index"; }

    standin::Bytes m_store1, m_store2, m_calendar1, m_calendar2, m_tasks1;
    ZxIMAPISession m_session;
    CRefCountPtr<CFolderCacheFactory> m_factory;
};

} // namespace

TEST_F(CacheFactoryTest, CacheFolderIsDataFolderCacheProfileCreatedOnDemand) {
    CFolderCacheFactory named("Outlook");
    EXPECT_FALSE(FolderExists(CacheFolder()));
    EXPECT_EQ(CacheFolder(), named.GetCacheFolder());
    EXPECT_TRUE(FolderExists(CacheFolder()));

    CFolderCacheFactory unnamed("");
    EXPECT_EQ(m_data / "Cache", unnamed.GetCacheFolder());

    // Factories that name no folder follow the add-in data folder, also when it is moved for tests.
    const std::string previous = SetAddinDataFolderOverride(m_data / "other");
    EXPECT_EQ(m_data / "other\\Cache\\P", CFolderCacheFactory("P").GetCacheFolder());
    // Without an override they follow the add-in data folder itself.
    SetAddinDataFolderOverride("");
    const std::string addin = GetAddinDataFolder();
    ASSERT_FALSE(addin.empty());
    const bool hadCacheFolder = FolderExists(addin + "\\Cache");
    EXPECT_EQ(addin + "\\Cache", CFolderCacheFactory("").GetCacheFolder());
    if (!hadCacheFolder) RemoveDirectoryA((addin + "\\Cache").c_str());
    SetAddinDataFolderOverride(previous);
}

TEST_F(CacheFactoryTest, IndexHasTheLayoutByteForByteInKeyOrder) {
    m_factory = NewFactory();
    ZxIMAPIFolder calendar = OpenFolder(m_session, m_calendar1);
    ZxIMAPIFolder tasks = OpenFolder(m_session, m_tasks1);
    m_factory->GetCache(calendar, tasks);
    m_factory->GetCache(tasks, calendar);

    std::vector<std::pair<std::string, std::string>> entries = {{m_calendar1 + m_tasks1, "Calendar.cache"},
                                                                {m_tasks1 + m_calendar1, "Tasks.cache"}};
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return KeyLess(a.first, b.first); });
    ByteBuilder expected;
    expected.Int32(1).Int32(2);
    for (const auto& e : entries) expected.Binary(e.first).String(e.second);

    std::string disk;
    ASSERT_TRUE(ReadWholeFile(IndexPath(), disk));
    EXPECT_EQ(expected.Bytes(), disk);
    // Each cache file was made empty to take its name.
    EXPECT_TRUE(StampOf(CacheFolder() + "\\Calendar.cache").exists);
    EXPECT_EQ(0u, StampOf(CacheFolder() + "\\Tasks.cache").bytes.size());

    // A second factory reads the index back.
    CFolderCacheFactory reader("Outlook");
    ASSERT_TRUE(reader.LoadIndex());
    const auto index = reader.GetIndex();
    ASSERT_EQ(2u, index.size());
    EXPECT_EQ("Calendar.cache", index.at(Zx(m_calendar1 + m_tasks1)));
    EXPECT_EQ("Tasks.cache", index.at(Zx(m_tasks1 + m_calendar1)));
}

TEST_F(CacheFactoryTest, TwoFoldersNamedCalendarGetTwoFiles) {
    m_factory = NewFactory();
    ZxIMAPIFolder a = OpenFolder(m_session, m_calendar1);
    ZxIMAPIFolder b = OpenFolder(m_session, m_calendar2);
    CRefCountPtr<CFolderCache> first = m_factory->GetCache(a, b);
    CRefCountPtr<CFolderCache> second = m_factory->GetCache(b, a);
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(first == second);
    EXPECT_EQ(CacheFolder() + "\\Calendar.cache", first->GetFilePath());
    const std::string secondName = ZxFsPath(second->GetFilePath()).FileName();
    EXPECT_TRUE(std::regex_match(secondName, std::regex(R"(Calendar[0-9]+\.cache)"))) << secondName;
    EXPECT_TRUE(FileExists(second->GetFilePath()));

    // Asked again, the same objects come back; the index holds two entries, on disk too.
    EXPECT_TRUE(first == m_factory->GetCache(a, b));
    CFolderCacheFactory reader("Outlook");
    ASSERT_TRUE(reader.LoadIndex());
    const auto index = reader.GetIndex();
    ASSERT_EQ(2u, index.size());
    EXPECT_EQ("Calendar.cache", index.at(Zx(m_calendar1 + m_calendar2)));
    EXPECT_EQ(secondName, index.at(Zx(m_calendar2 + m_calendar1)));
}

TEST_F(CacheFactoryTest, FileNameReplacesForbiddenAndNonAsciiBytes) {
    const standin::Bytes odd = standin::AddFolder(standin::IpmSubtree(m_store1), "R\xE9/sum:e", "IPF.Appointment");
    m_factory = NewFactory();
    ZxIMAPIFolder folder = OpenFolder(m_session, odd);
    ZxIMAPIFolder other = OpenFolder(m_session, m_tasks1);
    EXPECT_EQ(CacheFolder() + "\\R__sum_e.cache", m_factory->GetCache(folder, other)->GetFilePath());

    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a\\b/c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        {"t\tr\rn\n", "t_r_n_"},
        {std::string("x\x01y\x1f", 4) + "\x7f" + "\x80\xff", "x_y_\x7f__"},
        {"Plain name-1.2 (x)", "Plain name-1.2 (x)"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.out, CFolderCacheFactory::MakeFileBaseName(c.in)) << c.in;
}

TEST_F(CacheFactoryTest, HasCacheIsFalseForANeverSynchronizedPairInBothDirections) {
    m_factory = NewFactory();
    ZxIMAPIFolder a = OpenFolder(m_session, m_calendar1);
    ZxIMAPIFolder b = OpenFolder(m_session, m_calendar2);
    EXPECT_FALSE(m_factory->HasCache(a, b));
    EXPECT_FALSE(m_factory->HasCache(b, a));

    const std::string path = m_factory->GetCache(a, b)->GetFilePath();
    EXPECT_TRUE(m_factory->HasCache(a, b));
    EXPECT_FALSE(m_factory->HasCache(b, a));
    // Known to the index but gone from the disk.
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(m_factory->HasCache(a, b));
}

TEST_F(CacheFactoryTest, RemoveCacheOfAnAbsentKeyLeavesTheIndexUntouched) {
    m_factory = NewFactory();
    ZxIMAPIFolder a = OpenFolder(m_session, m_calendar1);
    ZxIMAPIFolder b = OpenFolder(m_session, m_tasks1);
    m_factory->GetCache(a, b);
    const FileStamp before = StampOf(IndexPath());
    ASSERT_TRUE(before.exists);
    Sleep(20);
    m_factory->RemoveCache(Zx(m_tasks1), Zx(m_calendar1)); // the other direction: never made
    EXPECT_TRUE(before == StampOf(IndexPath()));
    EXPECT_EQ(1u, m_factory->GetIndex().size());
}

TEST_F(CacheFactoryTest, RemoveCacheDeletesTheFileAndForgetsTheCache) {
    m_factory = NewFactory();
    ZxIMAPIFolder a = OpenFolder(m_session, m_calendar1);
    ZxIMAPIFolder b = OpenFolder(m_session, m_tasks1);
    CRefCountPtr<CFolderCache> cache = m_factory->GetCache(a, b);
    m_factory->GetCache(b, a);
    const std::string path = cache->GetFilePath();
    m_factory->RemoveCache(Zx(m_calendar1), Zx(m_tasks1));
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(m_factory->HasCache(a, b));
    EXPECT_TRUE(m_factory->HasCache(b, a));

    CFolderCacheFactory reader("Outlook");
    ASSERT_TRUE(reader.LoadIndex());
    const auto index = reader.GetIndex();
    ASSERT_EQ(1u, index.size());
    EXPECT_EQ("Tasks.cache", index.begin()->second);
    // The factory makes a fresh cache for the key.
    EXPECT_FALSE(cache == m_factory->GetCache(a, b));
}

TEST_F(CacheFactoryTest, CacheFileNamedInTheIndexButDeletedIsMadeAfresh) {
    // An index from an earlier run that names a file no longer there.
    ASSERT_TRUE(CreateFolderPath(CacheFolder()));
    ASSERT_TRUE(WriteWholeFile(
        IndexPath(), ByteBuilder().Int32(1).Int32(1).Binary(m_calendar1 + m_tasks1).String("old.cache").Bytes()));
    m_factory = NewFactory();
    ASSERT_TRUE(m_factory->LoadIndex());
    ZxIMAPIFolder a = OpenFolder(m_session, m_calendar1);
    ZxIMAPIFolder b = OpenFolder(m_session, m_tasks1);
    CRefCountPtr<CFolderCache> cache = m_factory->GetCache(a, b);
    EXPECT_EQ(CacheFolder() + "\\Calendar.cache", cache->GetFilePath());
    EXPECT_EQ(0u, cache->GetItemCount());
    EXPECT_TRUE(FileExists(cache->GetFilePath()));
    EXPECT_FALSE(FileExists(CacheFolder() + "\\old.cache"));
    std::string disk;
    ASSERT_TRUE(ReadWholeFile(IndexPath(), disk));
    EXPECT_EQ(ByteBuilder().Int32(1).Int32(1).Binary(m_calendar1 + m_tasks1).String("Calendar.cache").Bytes(), disk);
}

TEST_F(CacheFactoryTest, ExistingCacheFileIsLoadedOnceAndKeptByName) {
    ASSERT_TRUE(CreateFolderPath(CacheFolder()));
    ASSERT_TRUE(WriteWholeFile(
        IndexPath(), ByteBuilder().Int32(1).Int32(1).Binary(m_calendar1 + m_tasks1).String("mine.cache").Bytes()));
    ASSERT_TRUE(WriteWholeFile(CacheFolder() + "\\mine.cache", ExpectedCacheBytes(kEntries)));
    m_factory = NewFactory();
    ASSERT_TRUE(m_factory->LoadIndex());
    ZxIMAPIFolder a = OpenFolder(m_session, m_calendar1);
    ZxIMAPIFolder b = OpenFolder(m_session, m_tasks1);
    EXPECT_TRUE(m_factory->HasCache(a, b));
    CRefCountPtr<CFolderCache> cache = m_factory->GetCache(a, b);
    EXPECT_EQ(CacheFolder() + "\\mine.cache", cache->GetFilePath());
    EXPECT_EQ(3u, cache->GetItemCount());
    // Loaded once: what the run changed in memory is what a second request sees.
    cache->Clear();
    EXPECT_EQ(0u, m_factory->GetCache(a, b)->GetItemCount());
}

TEST_F(CacheFactoryTest, FailedIndexSaveIsLoggedNamingTheFile) {
    LogCapture log;
    m_factory = NewFactory();
    ASSERT_TRUE(CreateFolderPath(IndexPath())); // a folder where the index should go
    EXPECT_FALSE(m_factory->SaveIndex());
    EXPECT_NE(std::string::npos, log.Text().find("Error: Cannot save cache index '" + IndexPath() + "'.\r\n"))
        << log.Text();
}

// A folder whose name starts with a device name and a dot ("Con.Edison") names the console in every
// candidate the name search makes: the cache file gets an underscore in front, and the search ends.
// Long names are cut (with a hash) so that the whole path stays within Windows' limit, while every
// ordinary name keeps the name it always had.
TEST_F(CacheFactoryTest, DeviceAndOverlongFolderNamesGetFileNamesThatWork) {
    const std::string longName(240, 'A');
    const struct {
        std::string display, file;
    } cases[] = {
        {"Con.Edison", "_Con.Edison.cache"}, {"Aux.Files", "_Aux.Files.cache"}, {"Prn.Queue", "_Prn.Queue.cache"},
        {"Nul.Old", "_Nul.Old.cache"},       {"LPT1.txt", "_LPT1.txt.cache"},   {"com9", "_com9.cache"},
        {"CONOUT$", "_CONOUT$.cache"},       {"Console", "Console.cache"},      {"Null.Old", "Null.Old.cache"},
        {"LPT10.txt", "LPT10.txt.cache"},
    };
    m_factory = NewFactory();
    ZxIMAPIFolder other = OpenFolder(m_session, m_tasks1);
    const ZxSBinary otherId = Zx(m_tasks1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        const standin::Bytes id = standin::AddFolder(standin::IpmSubtree(m_store1), c.display, "IPF.Appointment");
        ZxIMAPIFolder folder = OpenFolder(m_session, id);
        CRefCountPtr<CFolderCache> cache = m_factory->GetCache(Zx(id), otherId, folder);
        EXPECT_EQ(CacheFolder() + "\\" + c.file, cache->GetFilePath());
        EXPECT_TRUE(cache->Save());
    }

    const standin::Bytes id = standin::AddFolder(standin::IpmSubtree(m_store1), longName, "IPF.Appointment");
    ZxIMAPIFolder folder = OpenFolder(m_session, id);
    CRefCountPtr<CFolderCache> cache = m_factory->GetCache(Zx(id), otherId, folder);
    const std::string path = cache->GetFilePath();
    EXPECT_LT(path.size() + 8 + 4 + 10, static_cast<size_t>(MAX_PATH)) << path;
    EXPECT_EQ(0u, ZxFsPath(path).FileName().rfind("AAAAAAAAAA", 0)) << path;
    cache->AddItem(MakeItem(kEntries[0]));
    EXPECT_TRUE(cache->Save());
    // A second folder of that name gets a file of its own.
    const standin::Bytes twin = standin::AddFolder(standin::IpmSubtree(m_store2), longName, "IPF.Appointment");
    EXPECT_NE(path, m_factory->GetCache(Zx(twin), otherId, OpenFolder(m_session, twin))->GetFilePath());

    for (const auto& c : std::vector<std::pair<std::string, std::string>>{
             {"Con.Edison", "_Con.Edison"}, {"aux", "_aux"}, {"Auxiliary", "Auxiliary"}, {"COM1 .x", "_COM1 .x"}}) {
        EXPECT_EQ(c.second, CFolderCacheFactory::MakeFileBaseName(c.first)) << c.first;
    }
    const std::string cut = CFolderCacheFactory::MakeFileBaseName(longName);
    EXPECT_EQ(CFolderCacheFactory::kMaxBaseLength, cut.size());
    EXPECT_NE(cut, CFolderCacheFactory::MakeFileBaseName(longName + "B"));
}

// An index from before keeps every ordinary name it gave, whatever the rules for new names are.
TEST_F(CacheFactoryTest, ExistingIndexEntriesKeepTheirFiles) {
    const std::string name(150, 'L');
    ASSERT_TRUE(CreateFolderPath(CacheFolder()));
    ASSERT_TRUE(WriteWholeFile(IndexPath(), ByteBuilder()
                                                .Int32(1)
                                                .Int32(1)
                                                .Binary(m_calendar1 + m_tasks1)
                                                .String(name + ".cache")
                                                .Bytes()));
    ASSERT_TRUE(WriteWholeFile(CacheFolder() + "\\" + name + ".cache", ExpectedCacheBytes(kEntries)));
    m_factory = NewFactory();
    ASSERT_TRUE(m_factory->LoadIndex());
    CRefCountPtr<CFolderCache> cache =
        m_factory->GetCache(Zx(m_calendar1), Zx(m_tasks1), OpenFolder(m_session, m_calendar1));
    EXPECT_EQ(CacheFolder() + "\\" + name + ".cache", cache->GetFilePath());
    EXPECT_EQ(3u, cache->GetItemCount());
}
