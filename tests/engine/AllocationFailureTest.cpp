// Running out of MAPI memory while caches, the index or a folder are read: every failed allocation is a
// failure of the whole step, never a cache, index or scan with an identifier silently left out or empty.
// Each test fails every allocation of a clean run of its step in turn.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <new>
#include <string>

#include "EngineTestSupport.h"
#include "ScanFixture.h"
#include "base/Paths.h"
#include "engine/FolderCache.h"
#include "engine/FolderCacheFactory.h"

namespace {

const char kPairA[] = "{A0000000-0000-0000-0000-000000000001}";
const char kPairB[] = "{B0000000-0000-0000-0000-000000000002}";
const char kPairC[] = "{C0000000-0000-0000-0000-000000000003}";

// A cache file of three items, each with both identifiers.
std::string ThreeItemFile() {
    ByteBuilder b;
    b.Int32(1).Int32(3);
    b.Int32(1).Binary("\x10\x11").Binary("RK-a").String(kPairA).Time(Ft(1));
    b.Int32(1).Binary("\x20\x21").Binary("RK-b").String(kPairB).Time(Ft(2));
    b.Int32(1).Binary("\x30\x31").Binary("RK-c").String(kPairC).Time(Ft(3));
    return b.Bytes();
}

// What a cache holds, as text: pair id -> entry id, record key.
std::map<std::string, std::string> Content(const CFolderCache& cache) {
    std::map<std::string, std::string> out;
    for (const CRefCountPtr<CCacheItem>& item : cache.GetItems())
        out[item->GetPairId()] = Raw(item->GetEntryId()) + "|" + Raw(item->GetRecordKey());
    return out;
}

long AllocationsOf(const std::function<void()>& step) {
    standin::ResetCounters();
    step();
    return standin::CallCount("MAPIAllocateBuffer");
}

void FailAllocation(long k) {
    standin::ClearFaults();
    standin::FailCall("MAPIAllocateBuffer", k, MAPI_E_NOT_ENOUGH_MEMORY);
}

class CacheAllocationTest : public EngineFixture {};

} // namespace

TEST_F(CacheAllocationTest, CacheLoadIsAllOrNothing) {
    const std::string path = m_data / "three.cache";
    ASSERT_TRUE(WriteWholeFile(path, ThreeItemFile()));
    const long allocations = AllocationsOf([&] {
        CFolderCache probe(path);
        probe.Load();
        ASSERT_EQ(3u, probe.GetItemCount());
    });
    ASSERT_GE(allocations, 6); // entry id and record key of each item at least

    for (long k = 1; k <= allocations; ++k) {
        SCOPED_TRACE(k);
        // What the run had before: one item of its own, saved.
        CFolderCache cache(path);
        cache.AddItem(CRefCountPtr<CCacheItem>(new CCacheItem(Zx("\x99"), Zx("RK-own"), Ft(9), kPairA)));
        cache.SetDirty(false);
        const auto before = Content(cache);
        const long buffers = standin::LiveBuffers();
        FailAllocation(k);
        EXPECT_THROW(cache.Load(), std::bad_alloc);
        EXPECT_EQ(1, standin::FaultsFired());
        standin::ClearFaults();
        EXPECT_EQ(before, Content(cache));
        EXPECT_FALSE(cache.IsDirty());
        EXPECT_EQ(buffers, standin::LiveBuffers());
        // The file is as it was: a clean load reads all of it.
        ASSERT_TRUE(cache.Load());
        EXPECT_EQ(3u, cache.GetItemCount());
        if (HasFailure()) break;
    }
}

TEST_F(CacheAllocationTest, SavingACacheTakesNoMAPIMemory) {
    const std::string path = m_data / "three.cache";
    ASSERT_TRUE(WriteWholeFile(path, ThreeItemFile()));
    CFolderCache cache(path);
    ASSERT_TRUE(cache.Load());
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    // Every allocation fails: the state learned so far still reaches the disk.
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY, -1);
    EXPECT_TRUE(cache.Save());
    EXPECT_EQ(0, standin::FaultsFired());
    standin::ClearFaults();
    EXPECT_FALSE(cache.IsDirty());
    std::string disk;
    ASSERT_TRUE(ReadWholeFile(path, disk));
    EXPECT_EQ(ThreeItemFile(), disk);
}

TEST_F(CacheAllocationTest, AddAndRemoveChangeBothMapsOrNeither) {
    CFolderCache cache(m_data / "x.cache");
    const CRefCountPtr<CCacheItem> a(new CCacheItem(Zx("\x01"), Zx("RK-a"), Ft(1), kPairA));
    const CRefCountPtr<CCacheItem> b(new CCacheItem(Zx("\x02"), Zx("RK-b"), Ft(2), kPairB));
    cache.AddItem(a);
    cache.AddItem(b);
    cache.SetDirty(false);
    // Replaces both a (same record key) and b (same pair id) once it is in.
    const CRefCountPtr<CCacheItem> both(new CCacheItem(Zx("\x03"), Zx("RK-a"), Ft(3), kPairB));
    const auto before = Content(cache);
    const long allocations = AllocationsOf([&] { CFolderCache::Prepare(both); });
    ASSERT_GE(allocations, 1);
    for (long k = 1; k <= allocations; ++k) {
        FailAllocation(k);
        EXPECT_THROW(cache.AddItem(both), std::bad_alloc);
        standin::ClearFaults();
        EXPECT_EQ(before, Content(cache));
        EXPECT_FALSE(cache.IsDirty());
    }
    cache.AddItem(both);
    EXPECT_EQ((std::map<std::string, std::string>{{kPairB, "\x03|RK-a"}}), Content(cache));
    EXPECT_TRUE(cache.FindByRecordKey(Zx("RK-a")) == both);
    EXPECT_FALSE(cache.FindByRecordKey(Zx("RK-b")));

    // Removing needs no memory at all.
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY, -1);
    cache.RemoveItem(both);
    EXPECT_EQ(0, standin::FaultsFired());
    standin::ClearFaults();
    EXPECT_EQ(0u, cache.GetItemCount());
    EXPECT_FALSE(cache.FindByRecordKey(Zx("RK-a")));
}

// ---- the factory ------------------------------------------------------------------------------------

namespace {

class FactoryAllocationTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        standin::StoreSpec descr;
        descr.isDefault = true;
        standin::AddStore(descr);
        m_calendar = standin::FolderByPath("Personal Folders\\Calendar");
        m_tasks = standin::FolderByPath("Personal Folders\\Tasks");
        ASSERT_FALSE(m_calendar.empty());
        ASSERT_FALSE(m_tasks.empty());
        m_session = NewSession();
    }
    void ReleaseMapi() override { m_session.Reset(); }
    std::string CacheFolder() const { return m_data / "Cache\\Outlook"; }
    std::string IndexPath() const { return CacheFolder() + "\\cache.index"; }
    CRefCountPtr<CFolderCacheFactory> NewFactory() const {
        return CRefCountPtr<CFolderCacheFactory>(new CFolderCacheFactory("Outlook"));
    }
    static std::map<std::string, std::string> IndexOf(const CFolderCacheFactory& factory) {
        std::map<std::string, std::string> out;
        for (const auto& [key, name] : factory.GetIndex()) out[Raw(key)] = name;
        return out;
    }

    standin::Bytes m_calendar, m_tasks;
    ZxIMAPISession m_session;
};

} // namespace

TEST_F(FactoryAllocationTest, IndexLoadIsAllOrNothing) {
    ASSERT_TRUE(CreateFolderPath(CacheFolder()));
    const std::string older = ByteBuilder().Int32(1).Int32(1).Binary("old-key").String("old.cache").Bytes();
    const std::string newer = ByteBuilder()
                                  .Int32(1)
                                  .Int32(3)
                                  .Binary("key-1")
                                  .String("one.cache")
                                  .Binary("key-2")
                                  .String("two.cache")
                                  .Binary("key-3")
                                  .String("three.cache")
                                  .Bytes();
    ASSERT_TRUE(WriteWholeFile(IndexPath(), newer));
    const long allocations = AllocationsOf([&] { ASSERT_TRUE(NewFactory()->LoadIndex()); });
    ASSERT_GE(allocations, 3);

    for (long k = 1; k <= allocations; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(WriteWholeFile(IndexPath(), older));
        const CRefCountPtr<CFolderCacheFactory> factory = NewFactory();
        ASSERT_TRUE(factory->LoadIndex());
        ASSERT_TRUE(WriteWholeFile(IndexPath(), newer));
        FailAllocation(k);
        EXPECT_THROW(factory->LoadIndex(), std::bad_alloc);
        EXPECT_EQ(1, standin::FaultsFired());
        standin::ClearFaults();
        EXPECT_EQ((std::map<std::string, std::string>{{"old-key", "old.cache"}}), IndexOf(*factory));
        if (HasFailure()) break;
    }
}

TEST_F(FactoryAllocationTest, CacheWhoseLoadFailedIsNeverHandedOutOrKept) {
    ASSERT_TRUE(CreateFolderPath(CacheFolder()));
    ASSERT_TRUE(WriteWholeFile(
        IndexPath(), ByteBuilder().Int32(1).Int32(1).Binary(m_calendar + m_tasks).String("mine.cache").Bytes()));
    ASSERT_TRUE(WriteWholeFile(CacheFolder() + "\\mine.cache", ThreeItemFile()));
    const ZxIMAPIFolder a = OpenFolder(m_session, m_calendar);
    const ZxIMAPIFolder b = OpenFolder(m_session, m_tasks);
    const long allocations = AllocationsOf([&] {
        const CRefCountPtr<CFolderCacheFactory> factory = NewFactory();
        ASSERT_TRUE(factory->LoadIndex());
        standin::ResetCounters();
        ASSERT_EQ(3u, factory->GetCache(a, b)->GetItemCount());
    });
    ASSERT_GE(allocations, 6);

    for (long k = 1; k <= allocations; ++k) {
        SCOPED_TRACE(k);
        const CRefCountPtr<CFolderCacheFactory> factory = NewFactory();
        ASSERT_TRUE(factory->LoadIndex());
        FailAllocation(k);
        EXPECT_THROW(factory->GetCache(a, b), std::bad_alloc);
        EXPECT_EQ(1, standin::FaultsFired());
        standin::ClearFaults();
        // The next request (a later pair of the run) loads the whole file afresh, under its old name.
        const CRefCountPtr<CFolderCache> cache = factory->GetCache(a, b);
        EXPECT_EQ(3u, cache->GetItemCount());
        EXPECT_EQ(CacheFolder() + "\\mine.cache", cache->GetFilePath());
        EXPECT_EQ(ThreeItemFile(), [&] {
            std::string disk;
            ReadWholeFile(cache->GetFilePath(), disk);
            return disk;
        }());
        if (HasFailure()) break;
    }
}

// ---- the scan ---------------------------------------------------------------------------------------

namespace {

class ScanAllocationTest : public ScanFixture {
protected:
    void ReleaseMapi() override {
        m_walker.Reset();
        ScanFixture::ReleaseMapi();
    }
    void NewWalker() {
        OpenTable();
        m_walker =
            CRefCountPtr<CFolderTableWalker>(new CFolderTableWalker(m_table.Get(), m_folder, m_cache, kFolderName));
    }
    CRefCountPtr<CFolderTableWalker> m_walker;
};

} // namespace

// A row whose identifiers cannot be copied is no bad row to log and skip: a scan that went on without it
// would not see an item that is there. The scan fails, and the cache is left alone.
TEST_F(ScanAllocationTest, FailedAllocationFailsTheScanAndLeavesTheCache) {
    for (const char* subject : {"A", "B", "C", "D"}) standin::AddItem(m_folderId, subject);
    PrimeCache();
    standin::AddItem(m_folderId, "E"); // new since the cache was made
    NewWalker();
    const long allocations = AllocationsOf([&] { m_walker->Proceed(); });
    ASSERT_EQ(1u, m_walker->GetChangedItems().size());
    ASSERT_GE(allocations, 5);

    for (long k = 1; k <= allocations; ++k) {
        SCOPED_TRACE(k);
        NewWalker();
        const FileStamp before = StampOf(m_cache->GetFilePath());
        LogCapture log;
        FailAllocation(k);
        EXPECT_THROW(m_walker->Proceed(), std::bad_alloc);
        EXPECT_EQ(1, standin::FaultsFired());
        standin::ClearFaults();
        EXPECT_EQ(std::string::npos, log.Text().find("Unknown error scanning")) << log.Text();
        EXPECT_FALSE(m_cache->IsDirty());
        EXPECT_EQ(4u, m_cache->GetItemCount());
        EXPECT_TRUE(before == StampOf(m_cache->GetFilePath()));
        if (HasFailure()) break;
    }
}
