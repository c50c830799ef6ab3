// Scanning a folder against its state cache, on the stand-in MAPI.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>
#include <set>

#include "ScanFixture.h"
#include "mapi/MAPITags.h"

namespace {

using Walker = CFolderTableWalker;

std::set<std::string> Keys(const Walker::RecordKeys& keys) {
    std::set<std::string> out;
    for (const ZxSBinary& k : keys) out.insert(Raw(k));
    return out;
}

std::string Raw(const SBinary& bin) { return std::string(reinterpret_cast<const char*>(bin.lpb), bin.cb); }

// The changed items as record key -> entry id. They must come one per key, in the engine's record-key
// order (shorter keys first, then bytewise), each with the time the scan saw for its row.
std::map<std::string, std::string> Changed(const Walker& walker) {
    const auto before = [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    };
    const Walker::ScannedTimes scanned = walker.GetScannedTimes();
    std::map<std::string, std::string> out;
    std::string last;
    size_t count = 0;
    for (const CChangedItems::Item item : walker.GetChangedItems()) {
        const std::string key = Raw(item.RecordKey());
        EXPECT_TRUE(count == 0 || before(last, key)) << "out of order or twice: " << key;
        const auto time = scanned.find(ZxSBinary(item.RecordKey()));
        EXPECT_TRUE(time != scanned.end() && U64(time->second) == U64(item.Time())) << "time of " << key;
        out[key] = Raw(item.EntryId());
        last = key;
        ++count;
    }
    EXPECT_EQ(count, walker.GetChangedItems().size());
    return out;
}

std::map<std::string, uint64_t> Times(const Walker::ScannedTimes& times) {
    std::map<std::string, uint64_t> out;
    for (const auto& [key, time] : times) out[Raw(key)] = U64(time);
    return out;
}

class FolderScanTest : public ScanFixture {
protected:
    void ReleaseMapi() override {
        m_walker.Reset();
        ScanFixture::ReleaseMapi();
    }
    Walker& Scan(const std::string& folderName = kFolderName) {
        OpenTable();
        m_walker = CRefCountPtr<Walker>(new Walker(m_table.Get(), m_folder, m_cache, folderName));
        m_walker->Proceed();
        return *m_walker;
    }
    standin::ItemView Item(const standin::Bytes& id) {
        standin::ItemView view;
        EXPECT_TRUE(standin::GetItem(id, &view));
        return view;
    }

    CRefCountPtr<Walker> m_walker;
};

} // namespace

TEST_F(FolderScanTest, ColumnsAndBatchSize) {
    OpenTable();
    Walker walker(m_table.Get(), m_folder, m_cache, kFolderName);
    const ULONG expected[] = {0x66700102, 0x0FFF0102, 0x30080040, 0x0FF90102, 0x0037001E};
    ASSERT_EQ(5u, walker.GetColumns().Size());
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(expected[i], walker.GetColumns()[i].GetTag()) << i;
    EXPECT_EQ(200, walker.GetBatchSize());
}

TEST_F(FolderScanTest, FirstRunFindsEveryItemChangedAndNoPairIds) {
    const standin::Bytes a = standin::AddItem(m_folderId, "A");
    const standin::Bytes b = standin::AddItem(m_folderId, "B");
    const standin::Bytes c = standin::AddItem(m_folderId, "C");
    const Walker& walker = Scan();
    std::map<std::string, std::string> changed;
    std::map<std::string, uint64_t> times;
    for (const standin::Bytes& id : {a, b, c}) {
        const standin::ItemView view = Item(id);
        ASSERT_FALSE(view.recordKey.empty());
        changed[view.recordKey] = view.longTermId;
        times[view.recordKey] = U64(view.modified);
    }
    EXPECT_EQ(changed, Changed(walker));
    EXPECT_EQ(times, Times(walker.GetScannedTimes()));
    EXPECT_EQ(std::set<std::string>({Item(a).recordKey, Item(b).recordKey, Item(c).recordKey}),
              Keys(walker.GetSeenRecordKeys()));
    EXPECT_TRUE(walker.GetChangedPairIds().empty());
    // The scan adds nothing to the cache; nothing was dirty, so nothing was written.
    EXPECT_EQ(0u, m_cache->GetItemCount());
    EXPECT_FALSE(FileExists(m_cache->GetFilePath()));
}

TEST_F(FolderScanTest, EmptyFolderGivesEmptyCollections) {
    const Walker& walker = Scan();
    EXPECT_TRUE(walker.GetChangedItems().empty());
    EXPECT_TRUE(walker.GetSeenRecordKeys().empty());
    EXPECT_TRUE(walker.GetChangedPairIds().empty());
    EXPECT_TRUE(walker.GetScannedTimes().empty());
}

TEST_F(FolderScanTest, UnchangedRerunChangesNothingButSeesEverything) {
    for (const char* subject : {"A", "B", "C"}) standin::AddItem(m_folderId, subject);
    PrimeCache();
    const FileStamp before = StampOf(m_cache->GetFilePath());
    const Walker& walker = Scan();
    EXPECT_TRUE(walker.GetChangedItems().empty());
    EXPECT_TRUE(walker.GetChangedPairIds().empty());
    EXPECT_EQ(3u, walker.GetSeenRecordKeys().size());
    EXPECT_EQ(3u, walker.GetScannedTimes().size());
    EXPECT_FALSE(m_cache->IsDirty());
    EXPECT_TRUE(before == StampOf(m_cache->GetFilePath()));
}

TEST_F(FolderScanTest, ChangedTimeInEitherDirectionIsPendingAndLeavesTheCacheAlone) {
    struct Case {
        const char* name;
        int64_t shift;
    };
    const Case cases[] = {
        {"forward", 10000000}, {"backward", -10000000}, {"low half only", 1}, {"high half only", int64_t(1) << 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        const standin::Bytes a = standin::AddItem(m_folderId, "A");
        const standin::Bytes b = standin::AddItem(m_folderId, "B");
        PrimeCache();
        const FileStamp before = StampOf(m_cache->GetFilePath());
        const standin::ItemView old = Item(b);
        const FILETIME now = Ft(U64(old.modified) + c.shift);
        ASSERT_TRUE(standin::SetItemTime(b, now));

        const Walker& walker = Scan();
        EXPECT_EQ((std::map<std::string, std::string>{{old.recordKey, old.longTermId}}),
                  Changed(walker));
        EXPECT_EQ(std::set<std::string>{PairId(1)}, walker.GetChangedPairIds());
        EXPECT_EQ(2u, walker.GetSeenRecordKeys().size());
        EXPECT_EQ(U64(now), Times(walker.GetScannedTimes()).at(old.recordKey));
        EXPECT_EQ(U64(Item(a).modified), Times(walker.GetScannedTimes()).at(Item(a).recordKey));
        // Pending until carried across: the cached time is the old one, and nothing was written.
        EXPECT_EQ(U64(old.modified), U64(m_cache->FindByRecordKey(Zx(old.recordKey))->GetModificationTime()));
        EXPECT_FALSE(m_cache->IsDirty());
        EXPECT_TRUE(before == StampOf(m_cache->GetFilePath()));
    }
}

TEST_F(FolderScanTest, UserEditIsFoundAgainByEveryScanUntilTheCacheLearnsIt) {
    const standin::Bytes a = standin::AddItem(m_folderId, "A");
    PrimeCache();
    ASSERT_TRUE(standin::EditItem(a, {{PR_SUBJECT_A, standin::Value::String("A2")}}));
    EXPECT_EQ(1u, Scan().GetChangedItems().size());
    m_walker.Reset();
    // Not carried (a failure, a cancel): the next run sees it again.
    EXPECT_EQ(1u, Scan().GetChangedItems().size());
    // Once the change is committed, it is no longer reported.
    m_cache->FindByRecordKey(Zx(Item(a).recordKey))->SetModificationTime(Item(a).modified);
    m_walker.Reset();
    EXPECT_TRUE(Scan().GetChangedItems().empty());
}

TEST_F(FolderScanTest, RowsMissingColumns) {
    struct Case {
        const char* name;
        std::function<void(const standin::Bytes&)> damage;
        const char* logged; // the exception text in the log line, or null
        bool seen;
        bool shortTermIdUsed; // in the changed items with the PR_ENTRYID column's value
    };
    const Case cases[] = {
        {"record key missing", [](const standin::Bytes& id) { standin::RemoveItemProp(id, PR_RECORD_KEY); },
         "Missing property PR_RECORD_KEY", false, false},
        {"record key empty",
         [](const standin::Bytes& id) { standin::SetItemProp(id, PR_RECORD_KEY, standin::Value::Binary("")); },
         "Missing property PR_RECORD_KEY", false, false},
        {"long-term id missing",
         [](const standin::Bytes& id) { standin::RemoveItemProp(id, PR_LONGTERM_ENTRYID_FROM_TABLE); }, nullptr, true,
         true},
        {"long-term id empty",
         [](const standin::Bytes& id) {
             standin::SetItemProp(id, PR_LONGTERM_ENTRYID_FROM_TABLE, standin::Value::Binary(""));
         },
         nullptr, true, true},
        {"no entry id at all",
         [](const standin::Bytes& id) {
             standin::RemoveItemProp(id, PR_LONGTERM_ENTRYID_FROM_TABLE);
             standin::RemoveItemProp(id, PR_ENTRYID);
         },
         "Missing property PR_ENTRYID", true, false},
        {"time missing", [](const standin::Bytes& id) { standin::RemoveItemProp(id, PR_LAST_MODIFICATION_TIME); },
         "Missing property PR_LAST_MODIFICATION_TIME", true, false},
    };
    for (const bool cached : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (cached ? ", known to the cache" : ", new"));
            Restart();
            const standin::Bytes good = standin::AddItem(m_folderId, "Good");
            const standin::Bytes bad = standin::AddItem(m_folderId, "Bad one");
            const standin::ItemView before = Item(bad);
            if (cached) {
                PrimeCache();
                // Known items change too, so that a row that passes reaches the changed items.
                standin::SetItemTime(bad, Ft(U64(before.modified) + 5));
            }
            c.damage(bad);

            LogCapture log;
            const Walker& walker = Scan();
            const std::string line = std::string("Error: Error scanning folder '") + kFolderName +
                                     "' on item 'Bad one' : " + (c.logged ? c.logged : "") + "\r\n";
            if (c.logged)
                EXPECT_NE(std::string::npos, log.Text().find(line)) << log.Text();
            else
                EXPECT_EQ(std::string::npos, log.Text().find("on item 'Bad one'")) << log.Text();

            EXPECT_EQ(c.seen, Keys(walker.GetSeenRecordKeys()).count(before.recordKey) == 1);
            EXPECT_EQ(1u, Keys(walker.GetSeenRecordKeys()).count(Item(good).recordKey));
            const auto changed = Changed(walker);
            if (c.shortTermIdUsed) {
                EXPECT_EQ(before.shortTermId, changed.at(before.recordKey));
                EXPECT_NE(before.shortTermId, before.longTermId);
                EXPECT_EQ(1u, Times(walker.GetScannedTimes()).count(before.recordKey));
                EXPECT_EQ(cached ? 1u : 0u, walker.GetChangedPairIds().size());
            } else {
                // A failing row adds nothing but (perhaps) its record key.
                EXPECT_EQ(0u, changed.count(before.recordKey));
                EXPECT_EQ(0u, Times(walker.GetScannedTimes()).count(before.recordKey));
                EXPECT_TRUE(walker.GetChangedPairIds().empty());
            }
            EXPECT_EQ(cached ? 0u : 1u, changed.count(Item(good).recordKey));
            if (cached) EXPECT_EQ(2u, m_cache->GetItemCount());
        }
    }
}

TEST_F(FolderScanTest, SubjectAndFolderNameAreLoggedVerbatimNeverAsFormats) {
    const standin::Bytes bad = standin::AddItem(m_folderId, "%s%n%d%x");
    standin::RemoveItemProp(bad, PR_RECORD_KEY);
    LogCapture log;
    Scan("Cal%s%n");
    EXPECT_NE(std::string::npos,
              log.Text().find(
                  "Error: Error scanning folder 'Cal%s%n' on item '%s%n%d%x' : Missing property PR_RECORD_KEY\r\n"))
        << log.Text();
}

TEST_F(FolderScanTest, TableEndSavesADirtyCache) {
    const standin::Bytes a = standin::AddItem(m_folderId, "A");
    m_cache->AddItem(CRefCountPtr<CCacheItem>(new CCacheItem(Zx("e"), Zx("rk-gone"), Ft(9), PairId(7))));
    ASSERT_TRUE(m_cache->IsDirty());
    Scan();
    EXPECT_FALSE(m_cache->IsDirty());
    CFolderCache reread(m_cache->GetFilePath());
    ASSERT_TRUE(reread.Load());
    EXPECT_TRUE(reread.FindByPairId(PairId(7)));
}

TEST_F(FolderScanTest, ThousandItemsArriveInFiveBatchesOfTwoHundred) {
    for (int i = 0; i < 1000; ++i) standin::AddItem(m_folderId, "Item " + std::to_string(i));
    OpenTable();
    RecordingWalker walker(m_table.Get(), m_folder, m_cache, kFolderName);
    standin::ResetCounters();
    walker.Proceed();
    EXPECT_EQ(6, standin::CallCount("IMAPITable::QueryRows")); // five full batches and the empty one
    EXPECT_EQ(1, standin::CallCount("IMAPITable::SetColumns"));
    EXPECT_EQ(0, standin::CallCount("IMessage::GetProps")); // no item is opened
    EXPECT_EQ(0, standin::CallCount("IMAPIFolder::OpenEntry"));
    EXPECT_EQ(0, standin::CallCount("MAPIAllocateBuffer")); // what the scan keeps is its own
    std::map<long, int> perBatch;
    for (long batch : walker.batchOfRow) ++perBatch[batch];
    EXPECT_EQ((std::map<long, int>{{1, 200}, {2, 200}, {3, 200}, {4, 200}, {5, 200}}), perBatch);
    EXPECT_EQ(1000u, walker.GetChangedItems().size());
    EXPECT_EQ(1, walker.tableEnds);
}

// The changed items in record-key order (shorter keys first, then by unsigned bytes), one per key: of rows met
// twice the last one counts. An item taken out stays known for its scanned time only.
TEST(ChangedItemsTest, OrderOneItemPerKeyAndErasure) {
    const auto bin = [](const char* text) {
        SBinary b;
        b.cb = static_cast<ULONG>(std::strlen(text));
        b.lpb = reinterpret_cast<BYTE*>(const_cast<char*>(text));
        return b;
    };
    const auto listed = [](const CChangedItems& items) {
        std::vector<std::string> out;
        for (const CChangedItems::Item item : items)
            out.push_back(Raw(item.RecordKey()) + "=" + Raw(item.EntryId()) + "@" + std::to_string(U64(item.Time())));
        return out;
    };
    CChangedItems items;
    const struct {
        const char* key;
        const char* entryId;
        uint64_t time;
    } added[] = {{"kk", "e1", 1}, {"z", "e2", 2}, {"ka", "e3", 3}, {"z", "e4", 4}, {"kk", "e5", 5}, {"k\xff", "e6", 6}};
    for (const auto& a : added) items.Add(bin(a.key), bin(a.entryId), Ft(a.time));
    items.Seal();
    EXPECT_EQ((std::vector<std::string>{"z=e4@4", "ka=e3@3", "kk=e5@5", "k\xff=e6@6"}), listed(items));
    EXPECT_EQ(4u, items.size());

    FILETIME time{};
    EXPECT_FALSE(items.Find(bin("k"), time));
    EXPECT_FALSE(items.Contains(bin("kkk")));
    items.Erase(bin("q")); // not there: nothing changes
    items.Erase(bin("ka"));
    items.Erase(bin("ka"));
    EXPECT_EQ(3u, items.size());
    EXPECT_FALSE(items.Contains(bin("ka")));
    EXPECT_TRUE(items.Contains(bin("kk")));
    ASSERT_TRUE(items.Find(bin("ka"), time));
    EXPECT_EQ(3u, U64(time));
    EXPECT_EQ((std::vector<std::string>{"z=e4@4", "kk=e5@5", "k\xff=e6@6"}), listed(items));

    // A second walk adds to the first; sealed again, the later rows win.
    items.Add(bin("z"), bin("e7"), Ft(7));
    items.Seal();
    EXPECT_EQ((std::vector<std::string>{"z=e7@7", "kk=e5@5", "k\xff=e6@6"}), listed(items));
}
