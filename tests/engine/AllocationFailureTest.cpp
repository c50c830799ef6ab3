// Running out of MAPI memory while caches, the index or a folder are read: every failed allocation is a
// failure of the whole step, never a cache, index or scan with an identifier silently left out or empty.
// Each test fails every allocation of a clean run of its step in turn.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
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

// Fails the k-th allocation of the process heap made through operator new while it lives (0: fails
// none, only counts). One at a time; the test program's own operator new below reads it.
class HeapFailure {
public:
    explicit HeapFailure(long failAt);
    ~HeapFailure();
    HeapFailure(const HeapFailure&) = delete;
    HeapFailure& operator=(const HeapFailure&) = delete;
    long Allocations() const;
    long Fired() const;
};

class CacheAllocationTest : public EngineFixture {};

} // namespace

// Loading a cache takes no MAPI memory: the identifiers go from the file's bytes straight into the
// cache's own storage, so an allocator that has run dry can neither fail a load nor leave an item out.
// The load replaces what the cache held, whole.
TEST_F(CacheAllocationTest, CacheLoadTakesNoMAPIMemory) {
    const std::string path = m_data / "three.cache";
    ASSERT_TRUE(WriteWholeFile(path, ThreeItemFile()));
    CFolderCache cache(path);
    cache.AddItem(CRefCountPtr<CCacheItem>(new CCacheItem(Zx("\x99"), Zx("RK-own"), Ft(9), kPairA)));
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY, -1);
    EXPECT_TRUE(cache.Load());
    EXPECT_EQ(0, standin::FaultsFired());
    standin::ClearFaults();
    EXPECT_FALSE(cache.IsDirty());
    EXPECT_EQ((std::map<std::string, std::string>{{kPairA, "\x10\x11|RK-a"},
                                                  {kPairB, "\x20\x21|RK-b"},
                                                  {kPairC, "\x30\x31|RK-c"}}),
              Content(cache));
    EXPECT_FALSE(cache.FindByRecordKey(Zx("RK-own")));
}

// An item is made when it is first asked for; when there is no memory for it, the question fails and
// the cache is as it was: the next question gets the item.
TEST_F(CacheAllocationTest, ItemAskedForWithoutMemoryFailsAndLeavesTheCache) {
    const std::string path = m_data / "three.cache";
    ASSERT_TRUE(WriteWholeFile(path, ThreeItemFile()));
    CFolderCache cache(path);
    ASSERT_TRUE(cache.Load());
    const long allocations = AllocationsOf([&] {
        CFolderCache probe(path);
        ASSERT_TRUE(probe.Load());
        ASSERT_TRUE(probe.FindByPairId(kPairB));
    });
    ASSERT_GE(allocations, 2); // entry id and record key of the item
    for (long k = 1; k <= allocations; ++k) {
        SCOPED_TRACE(k);
        const long buffers = standin::LiveBuffers();
        FailAllocation(k);
        EXPECT_THROW(cache.FindByPairId(kPairB), std::bad_alloc);
        standin::ClearFaults();
        EXPECT_EQ(buffers, standin::LiveBuffers());
        EXPECT_EQ(3u, cache.GetItemCount());
        EXPECT_FALSE(cache.IsDirty());
    }
    const CRefCountPtr<CCacheItem> item = cache.FindByPairId(kPairB);
    ASSERT_TRUE(item);
    EXPECT_EQ("\x20\x21", Raw(item->GetEntryId()));
    EXPECT_TRUE(item == cache.FindByRecordKey(Zx("RK-b")));
}

TEST_F(CacheAllocationTest, SavingACacheTakesNoMAPIMemory) {
    const std::string path = m_data / "three.cache";
    ASSERT_TRUE(WriteWholeFile(path, ThreeItemFile()));
    CFolderCache cache(path);
    ASSERT_TRUE(cache.Load());
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    cache.SetDirty(true); // as after any change the run made
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

// Adding and removing take no MAPI memory: an item replaces both items it collides with (same record
// key, same pair id) however dry the allocator has run.
TEST_F(CacheAllocationTest, AddAndRemoveTakeNoMAPIMemory) {
    CFolderCache cache(m_data / "x.cache");
    const CRefCountPtr<CCacheItem> a(new CCacheItem(Zx("\x01"), Zx("RK-a"), Ft(1), kPairA));
    const CRefCountPtr<CCacheItem> b(new CCacheItem(Zx("\x02"), Zx("RK-b"), Ft(2), kPairB));
    // Replaces both a (same record key) and b (same pair id) once it is in.
    const CRefCountPtr<CCacheItem> both(new CCacheItem(Zx("\x03"), Zx("RK-a"), Ft(3), kPairB));
    const ZxSBinary keyA = Zx("RK-a"), keyB = Zx("RK-b"); // the test's own keys, made beforehand
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY, -1);
    cache.AddItem(a);
    cache.AddItem(b);
    cache.AddItem(both);
    EXPECT_EQ(1u, cache.GetItemCount());
    EXPECT_TRUE(cache.FindByRecordKey(keyA) == both);
    EXPECT_TRUE(cache.FindByPairId(kPairB) == both);
    EXPECT_FALSE(cache.FindByRecordKey(keyB));
    EXPECT_FALSE(cache.FindByPairId(kPairA));

    cache.RemoveItem(both);
    EXPECT_EQ(0, standin::FaultsFired());
    standin::ClearFaults();
    EXPECT_EQ(0u, cache.GetItemCount());
    EXPECT_FALSE(cache.FindByRecordKey(keyA));
    EXPECT_TRUE(cache.IsDirty());
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
    // The cache key's bytes; the load itself takes no MAPI memory.
    ASSERT_GE(allocations, 2);

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
// would not see an item that is there. The scan keeps what it saw in its own flat lists, so the MAPI
// allocator running dry cannot touch it; every allocation of the process heap that the scan makes fails
// the scan, and the cache is left alone.
TEST_F(ScanAllocationTest, FailedAllocationFailsTheScanAndLeavesTheCache) {
    for (const char* subject : {"A", "B", "C", "D"}) standin::AddItem(m_folderId, subject);
    PrimeCache();
    const standin::Bytes added = standin::AddItem(m_folderId, "E"); // new since the cache was made

    NewWalker();
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY, -1);
    long heapAllocations = 0;
    {
        HeapFailure counting(0);
        m_walker->Proceed();
        heapAllocations = counting.Allocations();
    }
    EXPECT_EQ(0, standin::FaultsFired());
    standin::ClearFaults();
    ASSERT_EQ(1u, m_walker->GetChangedItems().size());
    const CChangedItems::Item item = *m_walker->GetChangedItems().begin();
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(added, &view));
    EXPECT_EQ(view.recordKey, Raw(ZxSBinary(item.RecordKey())));
    EXPECT_EQ(view.longTermId, Raw(ZxSBinary(item.EntryId())));
    ASSERT_GE(heapAllocations, 2); // the rows seen and the changed item at least

    for (long k = 1; k <= heapAllocations; ++k) {
        SCOPED_TRACE(k);
        NewWalker();
        const FileStamp before = StampOf(m_cache->GetFilePath());
        LogCapture log;
        bool threw = false;
        long fired = 0;
        {
            HeapFailure failing(k);
            try {
                m_walker->Proceed();
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            fired = failing.Fired();
        }
        EXPECT_TRUE(threw);
        EXPECT_EQ(1, fired);
        EXPECT_EQ(std::string::npos, log.Text().find("Unknown error scanning")) << log.Text();
        EXPECT_FALSE(m_cache->IsDirty());
        EXPECT_EQ(4u, m_cache->GetItemCount());
        EXPECT_TRUE(before == StampOf(m_cache->GetFilePath()));
        if (HasFailure()) break;
    }
}

// ---- failing the process heap ----------------------------------------------------------------------------

namespace {

std::atomic<bool> g_heapArmed{false};
std::atomic<long> g_heapCalls{0};
std::atomic<long> g_heapFailAt{0};
std::atomic<long> g_heapFired{0};

} // namespace

HeapFailure::HeapFailure(long failAt) {
    g_heapCalls = 0;
    g_heapFired = 0;
    g_heapFailAt = failAt;
    g_heapArmed = true;
}

HeapFailure::~HeapFailure() { g_heapArmed = false; }

long HeapFailure::Allocations() const { return g_heapCalls; }

long HeapFailure::Fired() const { return g_heapFired; }

// The program's operator new: the library's (malloc, std::bad_alloc when it fails), with the failure
// a HeapFailure asks for. The library's operator delete frees with free.
void* operator new(std::size_t size) {
    if (g_heapArmed) {
        const long call = ++g_heapCalls;
        if (call == g_heapFailAt) {
            ++g_heapFired;
            throw std::bad_alloc();
        }
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
