// Damaged cache and index files: every truncation point and thousands of random byte changes load
// without crashing, read only as far as whole records go, and never invent records.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <vector>

#include "EngineTestSupport.h"
#include "base/Archive.h"
#include "engine/FolderCache.h"
#include "engine/FolderCacheFactory.h"

namespace {

// Smallest record that can yield an item: version (8), empty entry id (8), a one-byte record key (9),
// a one-character pair id (6), time (12). An index entry: empty key (8) and a one-character name (6).
const size_t kMinItemBytes = 43;
const size_t kMinIndexEntryBytes = 14;
const size_t kCountBytes = 8;

struct Sample {
    std::string bytes;
    std::vector<size_t> ends; // offset just past each record
};

Sample SampleCache() {
    ByteBuilder b;
    b.Int32(1).Int32(3);
    Sample s;
    const char* pairIds[] = {"{11111111-1111-1111-1111-111111111111}", "{22222222-2222-2222-2222-222222222222}",
                             "{33333333-3333-3333-3333-333333333333}"};
    for (int i = 0; i < 3; ++i) {
        b.Int32(1)
            .Binary(i == 1 ? std::string() : std::string(20, static_cast<char>('a' + i)))
            .Binary(std::string(16, static_cast<char>('K' + i)))
            .String(pairIds[i])
            .Time(Ft(0x01DC000000000000ull + i));
        s.ends.push_back(b.Size());
    }
    s.bytes = b.Bytes();
    return s;
}

Sample SampleIndex() {
    ByteBuilder b;
    b.Int32(1).Int32(3);
    Sample s;
    const char* names[] = {"Calendar.cache", "Calendar12345.cache", "Tasks.cache"};
    for (int i = 0; i < 3; ++i) {
        b.Binary(std::string(46 + i, static_cast<char>(0x30 + i))).String(names[i]);
        s.ends.push_back(b.Size());
    }
    s.bytes = b.Bytes();
    return s;
}

size_t WholeRecordsWithin(const Sample& s, size_t length) {
    size_t n = 0;
    while (n < s.ends.size() && s.ends[n] <= length) ++n;
    return n;
}

class CacheDamageTest : public EngineFixture {
protected:
    // Reads bytes as a cache (from a file, or from memory as Load does once the file is read) and
    // checks what every load must hold; returns the items.
    std::vector<CRefCountPtr<CCacheItem>> LoadCache(const std::string& bytes, bool viaFile = false) {
        const std::string path = m_data / "damaged.cache";
        CFolderCache cache(path);
        if (viaFile) {
            EXPECT_TRUE(WriteWholeFile(path, bytes));
            cache.Load();
        } else {
            ZxMemoryArchive archive;
            archive.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
            cache.Deserialize(archive);
        }
        auto items = cache.GetItems();
        const size_t bound = bytes.size() > kCountBytes ? (bytes.size() - kCountBytes) / kMinItemBytes : 0;
        EXPECT_LE(items.size(), bound);
        for (const auto& item : items) {
            EXPECT_TRUE(item->GetRecordKey().HasData());
            EXPECT_FALSE(item->GetPairId().empty());
            EXPECT_TRUE(item == cache.FindByRecordKey(item->GetRecordKey()));
            EXPECT_TRUE(item == cache.FindByPairId(item->GetPairId()));
        }
        EXPECT_EQ(items.size(), cache.GetItemCount());
        return items;
    }

    std::map<ZxSBinary, std::string> LoadIndex(const std::string& bytes, bool viaFile = false) {
        CFolderCacheFactory factory("P");
        if (viaFile) {
            EXPECT_TRUE(WriteWholeFile(factory.GetCacheFolder() + "\\cache.index", bytes));
            factory.LoadIndex();
        } else {
            ZxMemoryArchive archive;
            archive.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
            factory.DeserializeIndex(archive);
        }
        auto index = factory.GetIndex();
        const size_t bound = bytes.size() > kCountBytes ? (bytes.size() - kCountBytes) / kMinIndexEntryBytes : 0;
        EXPECT_LE(index.size(), bound);
        for (const auto& entry : index) {
            EXPECT_FALSE(entry.second.empty());
            EXPECT_EQ(std::string::npos, entry.second.find_first_of("\\/:")) << entry.second;
        }
        return index;
    }
};

} // namespace

TEST_F(CacheDamageTest, EveryTruncationOfACacheFileReadsTheWholeItemsBeforeTheCut) {
    const Sample sample = SampleCache();
    CFolderCache whole(m_data / "whole.cache");
    ASSERT_TRUE(WriteWholeFile(whole.GetFilePath(), sample.bytes));
    ASSERT_TRUE(whole.Load());
    const auto all = whole.GetItems();
    ASSERT_EQ(3u, all.size());

    for (size_t length = 0; length < sample.bytes.size(); ++length) {
        SCOPED_TRACE(length);
        const auto items = LoadCache(sample.bytes.substr(0, length), length % 16 == 0);
        ASSERT_EQ(WholeRecordsWithin(sample, length), items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(Raw(all[i]->GetEntryId()), Raw(items[i]->GetEntryId()));
            EXPECT_EQ(Raw(all[i]->GetRecordKey()), Raw(items[i]->GetRecordKey()));
            EXPECT_EQ(all[i]->GetPairId(), items[i]->GetPairId());
            EXPECT_EQ(U64(all[i]->GetModificationTime()), U64(items[i]->GetModificationTime()));
        }
    }
}

TEST_F(CacheDamageTest, EveryTruncationOfTheIndexReadsTheWholeEntriesBeforeTheCut) {
    const Sample sample = SampleIndex();
    const auto all = LoadIndex(sample.bytes, true);
    ASSERT_EQ(3u, all.size());
    for (size_t length = 0; length < sample.bytes.size(); ++length) {
        SCOPED_TRACE(length);
        const auto index = LoadIndex(sample.bytes.substr(0, length), length % 16 == 0);
        ASSERT_EQ(WholeRecordsWithin(sample, length), index.size());
        for (const auto& entry : index) EXPECT_EQ(all.at(entry.first), entry.second);
    }
}

TEST_F(CacheDamageTest, RandomByteChangesNeverCrashOrInventRecords) {
    std::mt19937 random(20261210);
    const Sample cache = SampleCache();
    const Sample index = SampleIndex();
    for (int round = 0; round < 3000; ++round) {
        const bool onCache = round % 2 == 0;
        std::string bytes = onCache ? cache.bytes : index.bytes;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) {
            const size_t at = random() % bytes.size();
            switch (random() % 4) {
                case 0:
                    bytes[at] = static_cast<char>(random() & 0xFF);
                    break;
                case 1:
                    bytes[at] = static_cast<char>(0xFF);
                    break; // lengths turn huge or negative
                case 2:
                    bytes.erase(at, 1 + random() % 8);
                    break; // fields shift
                default:
                    bytes.insert(at, 1 + random() % 3, static_cast<char>(random() & 0xFF));
                    break;
            }
            if (bytes.empty()) bytes = "\x04";
        }
        SCOPED_TRACE(round);
        if (onCache)
            LoadCache(bytes);
        else
            LoadIndex(bytes);
        if (HasFailure()) break;
    }
}

TEST_F(CacheDamageTest, DamagedItemsWithoutKeysAreDroppedAndTheRestKept) {
    ByteBuilder b;
    b.Int32(1).Int32(4);
    b.Int32(1).Binary("e0").Binary("").String("{P0}").Time(Ft(1)); // no record key
    b.Int32(1).Binary("e1").Binary("rk1").String("").Time(Ft(2)); // no pair id
    b.Int32(1).Binary("e2").Binary("rk2").String("{P2}").Time(Ft(3));
    b.Int32(1).Binary("e3").Binary("rk2").String("{P3}").Time(Ft(4)); // same record key again
    const auto items = LoadCache(b.Bytes());
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ("{P3}", items[0]->GetPairId());
    EXPECT_EQ("e3", Raw(items[0]->GetEntryId()));
}

TEST_F(CacheDamageTest, HugeCountsEndWhereTheDataEnds) {
    const auto start = std::chrono::steady_clock::now();
    {
        ByteBuilder b;
        b.Int32(1).Int32(0x7FFFFFFF);
        b.Int32(1).Binary("e").Binary("rk").String("{P}").Time(Ft(5));
        EXPECT_EQ(1u, LoadCache(b.Bytes()).size());
    }
    {
        // Thousands of well-formed records that all lack a record key, then nothing.
        ByteBuilder b;
        b.Int32(1).Int32(0x7FFFFFFF);
        for (int i = 0; i < 5000; ++i) b.Int32(1).Binary("e").Binary("").String("{P}").Time(Ft(5));
        EXPECT_EQ(0u, LoadCache(b.Bytes()).size());
    }
    {
        ByteBuilder b;
        b.Int32(1).Int32(0x7FFFFFFF).Raw(std::string(1 << 20, '\0'));
        EXPECT_EQ(0u, LoadCache(b.Bytes()).size());
    }
    {
        ByteBuilder b;
        b.Int32(1).Int32(0x7FFFFFFF).Binary("key").String("a.cache");
        for (int i = 0; i < 5000; ++i) b.Binary("").String(".."); // names that are no plain file name
        EXPECT_EQ(1u, LoadIndex(b.Bytes()).size());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
}

TEST_F(CacheDamageTest, IndexNamesThatReachOutsideTheCacheFolderAreDropped) {
    ByteBuilder b;
    b.Int32(1).Int32(5);
    b.Binary("k1").String("..\\..\\settings.file");
    b.Binary("k2").String("C:evil.cache");
    b.Binary("k3").String("sub/x.cache");
    b.Binary("k4").String("..");
    b.Binary("k5").String("fine.cache");
    const auto index = LoadIndex(b.Bytes());
    ASSERT_EQ(1u, index.size());
    EXPECT_EQ("fine.cache", index.at(Zx("k5")));
}
