// What a stopped run leaves the next one: the pair's journal (replayed onto both caches, read back as far
// as whole records go, another pair's ignored) and the copy mark (on every new copy, with that copy's own
// pair identifier, never travelling on).
#include "SyncTestSupport.h"

#include "base/Archive.h"
#include "engine/CopyMark.h"
#include "engine/PairJournal.h"

namespace {

using Set = std::multiset<std::string>;

SBinary View(const std::string& bytes) {
    SBinary b;
    b.cb = static_cast<ULONG>(bytes.size());
    b.lpb = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return b;
}

const char kP1[] = "{11111111-1111-1111-1111-111111111111}";
const char kP2[] = "{22222222-2222-2222-2222-222222222222}";
const char kP3[] = "{33333333-3333-3333-3333-333333333333}";

class PairJournalTest : public SyncFixture {
protected:
    CRefCountPtr<CFolderCache> NewCache(const std::string& name) {
        return CRefCountPtr<CFolderCache>(new CFolderCache(m_data / name));
    }
    // A journal of two copies (one of them begun only), then a deletion of what an earlier run knew.
    void WriteJournal(const CRefCountPtr<CFolderCache>& a, const CRefCountPtr<CFolderCache>& b) {
        CPairJournal journal(m_data.Path(), a, b);
        journal.Copied(a.Get(), kP1, View("e1"), View("r1"), Ft(10), View("E1"), View("R1"), Ft(11));
        journal.Copying(b.Get(), kP2, View("E2"), View("R2"), Ft(20));
        journal.Deleted(a.Get(), kP3, View("r3"));
    }
};

} // namespace

TEST_F(PairJournalTest, ReplayCarriesSavedCopiesAndDeletionsIntoBothCachesAndNamesCopiesBegun) {
    for (bool swapped : {false, true}) {
        SCOPED_TRACE(swapped ? "the pair's folders in the other order" : "the pair as it was");
        DeleteFileA((m_data / "a.cache.journal").c_str());
        CRefCountPtr<CFolderCache> a = NewCache("a.cache");
        CRefCountPtr<CFolderCache> b = NewCache("b.cache");
        WriteJournal(a, b);
        // What the caches held at their last save: the item deleted since, on both sides.
        CRefCountPtr<CFolderCache> a2 = NewCache("a.cache");
        CRefCountPtr<CFolderCache> b2 = NewCache("b.cache");
        a2->AddRecord(View("e3"), View("r3"), Ft(30), kP3, false);
        b2->AddRecord(View("E3"), View("R3"), Ft(31), kP3, false);
        a2->SetDirty(false);
        b2->SetDirty(false);
        CPairJournal journal(m_data.Path(), swapped ? b2 : a2, swapped ? a2 : b2);
        ASSERT_TRUE(journal.Exists());
        const std::vector<CPairJournal::PendingCopy> pending = journal.Replay();

        EXPECT_EQ(1u, a2->GetItemCount());
        EXPECT_EQ(1u, b2->GetItemCount());
        EXPECT_EQ(kP1, a2->GetPairId(View("r1")));
        EXPECT_EQ(kP1, b2->GetPairId(View("R1")));
        EXPECT_EQ(0x0000000Bu, b2->FindByPairId(kP1)->GetModificationTime().dwLowDateTime);
        EXPECT_FALSE(a2->FindByPairId(kP3));
        EXPECT_FALSE(b2->FindByPairId(kP3));
        EXPECT_TRUE(a2->IsDirty() && b2->IsDirty());
        ASSERT_EQ(1u, pending.size());
        EXPECT_EQ(kP2, pending[0].pairId);
        EXPECT_EQ(swapped ? 0 : 1, pending[0].sourceSide); // from b's folder
        EXPECT_EQ("R2", Raw(pending[0].sourceRecordKey));
        EXPECT_EQ(20u, pending[0].scannedTime.dwLowDateTime);

        // Replaying again changes nothing; discarding deletes the file.
        CRefCountPtr<CFolderCache> a3 = NewCache("a.cache");
        CPairJournal again(m_data.Path(), a3, b2);
        again.Replay();
        EXPECT_EQ(1u, b2->GetItemCount());
        again.Discard();
        EXPECT_FALSE(again.Exists());
    }
}

// A kill in the middle of a write leaves a record cut short; bytes that do not check out end the journal
// just the same. Everything before them counts; a journal of other caches counts for nothing.
TEST_F(PairJournalTest, ReplayStopsAtACutOrDamagedRecordAndIgnoresAnotherPairsJournal) {
    CRefCountPtr<CFolderCache> a = NewCache("a.cache");
    CRefCountPtr<CFolderCache> b = NewCache("b.cache");
    WriteJournal(a, b);
    const std::string path = CPairJournal(m_data.Path(), a, b).GetPath();
    EXPECT_EQ(m_data / "a.cache.journal", path);
    std::string whole;
    ASSERT_TRUE(ReadWholeFile(path, whole));
    struct Case {
        const char* what;
        std::string bytes;
        size_t items, pending;
    };
    std::string flipped = whole;
    flipped[whole.size() - 3] = static_cast<char>(flipped[whole.size() - 3] ^ 0x40);
    const Case cases[] = {
        {"whole", whole, 1, 1},
        {"the deletion cut short", whole.substr(0, whole.size() - 5), 1, 1},
        {"the deletion damaged", flipped, 1, 1},
        {"only the header", whole.substr(0, 50), 0, 0},
        {"garbage", std::string(200, '\x33'), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteWholeFile(path, c.bytes));
        CRefCountPtr<CFolderCache> a2 = NewCache("a.cache");
        CRefCountPtr<CFolderCache> b2 = NewCache("b.cache");
        a2->AddRecord(View("e3"), View("r3"), Ft(30), kP3, false);
        const std::vector<CPairJournal::PendingCopy> pending = CPairJournal(m_data.Path(), a2, b2).Replay();
        EXPECT_EQ(c.items, b2->GetItemCount());
        EXPECT_EQ(c.pending, pending.size());
        // Only the whole deletion removes the entry.
        EXPECT_EQ(c.bytes == whole, !a2->FindByPairId(kP3));
    }
    ASSERT_TRUE(WriteWholeFile(path, whole));
    CRefCountPtr<CFolderCache> other = NewCache("c.cache");
    CRefCountPtr<CFolderCache> a4 = NewCache("a.cache");
    EXPECT_TRUE(CPairJournal(m_data.Path(), a4, other).Replay().empty());
    EXPECT_EQ(0u, a4->GetItemCount() + other->GetItemCount());
}

// Every copy the engine makes carries the mark with its own pair identifier; originals carry none; a copy
// of a copy carries its own pair's identifier, never the original's; an overwritten counterpart loses it.
TEST_F(PairJournalTest, CopiesCarryTheirOwnMarkAndTheMarkTravelsNoFurther) {
    const standin::Bytes third = AddFolder("Third");
    Add(m_folder1, "A", "a");
    Add(m_folder2, "B", "b");
    CleanRun();
    ZxIMAPISession session = NewSession();
    const ULONG tag = CCopyMark(OpenFolder(session, m_folder1), false).GetTag();
    ASSERT_NE(static_cast<ULONG>(PR_NULL), tag);
    auto markOf = [&](const standin::Bytes& folder, const std::string& subject) {
        standin::ItemView view;
        EXPECT_TRUE(standin::GetItem(Find(folder, subject), &view));
        const auto found = view.props.find(tag);
        return found == view.props.end() ? std::string() : found->second.s;
    };
    standin::ItemView original;
    ASSERT_TRUE(standin::GetItem(Find(m_folder1, "A"), &original));
    const std::string pairA = LoadCache(m_folder1, m_folder2)->GetPairId(View(original.recordKey));
    EXPECT_EQ(pairA, markOf(m_folder2, "A"));
    EXPECT_EQ("", markOf(m_folder1, "A"));
    EXPECT_EQ("", markOf(m_folder2, "B"));
    EXPECT_FALSE(markOf(m_folder1, "B").empty());

    // Folder 2 paired with a third folder: the copy of the copy has the new pair's identifier.
    CAssocsContainer pairs;
    pairs.push_back(MakePair(m_folder2, kName2, third, "Personal Folders\\Third"));
    RecordingStatus status;
    RunAll(pairs, status);
    m_pairs.clear();
    ASSERT_TRUE(status.Errors().empty());
    const std::string copyOfCopy = markOf(third, "A");
    EXPECT_FALSE(copyOfCopy.empty());
    EXPECT_NE(pairA, copyOfCopy);

    // The copy edited: carried back onto the original, which gets no mark.
    Edit(Find(m_folder2, "A"), "a2");
    EXPECT_EQ(PairLines(kName1, kName2, 1, 0, 0, 0), CleanRun().lines);
    EXPECT_EQ("", markOf(m_folder1, "A"));
}
