// No change is ever lost: a change counts as carried only once the target saved it, so whatever a
// failure or a cancel left behind is carried by the next run.
#include "SyncTestSupport.h"

namespace {

using Set = std::multiset<std::string>;

class CorrectionTest : public SyncFixture {
protected:
    // Known items A and B and new items N and M in folder 1, all four waiting to be copied (in
    // record-key order, which is creation order here); known item C changed in folder 2.
    void BuildPendingChanges() {
        BuildWorld();
        const standin::Bytes a = Add(m_folder1, "A", "a1");
        const standin::Bytes b = Add(m_folder1, "B", "b1");
        Add(m_folder2, "C", "c1");
        CleanRun();
        Edit(a, "a2");
        Edit(b, "b2");
        Add(m_folder1, "N", "n");
        Add(m_folder1, "M", "m");
        Edit(Find(m_folder2, "C"), "c2");
    }
    void ExpectAllCarried() {
        const Set expected{"A|a2", "B|b2", "C|c2", "M|m", "N|n"};
        EXPECT_EQ(expected, Contents(m_folder1));
        EXPECT_EQ(expected, Contents(m_folder2));
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
    }
};

TEST_F(CorrectionTest, ChangesAfterAFailedSaveAreCarriedByTheNextRun) {
    // Saves 1 to 4 copy folder 1's items, save 5 copies C into folder 1.
    for (long failing = 1; failing <= 5; ++failing) {
        SCOPED_TRACE(failing);
        BuildPendingChanges();
        standin::FailCall("IMessage::SaveChanges", failing, MAPI_E_CALL_FAILED);
        RecordingStatus status;
        EXPECT_THROW(Proceed(status), Error::ZxExceptionMAPI);
        standin::ClearFaults();

        RecordingStatus next = CleanRun();
        EXPECT_TRUE(next.Errors().empty());
        ExpectAllCarried();
    }
}

TEST_F(CorrectionTest, ChangesAfterACancelInTheChangePassAreCarriedByTheNextRun) {
    // Cancel as the first pass reaches its n-th item (0 to 3), or the second pass its first.
    for (int pass = 1; pass <= 2; ++pass) {
        for (int position = 0; position < (pass == 1 ? 4 : 1); ++position) {
            SCOPED_TRACE(testing::Message() << "pass " << pass << " position " << position);
            BuildPendingChanges();
            RecordingStatus status;
            int passesSeen = 0;
            status.onProgress = [&](int at) {
                if (at == 0) ++passesSeen;
                if (passesSeen == pass && at == position) throw CAbortException();
            };
            EXPECT_THROW(Proceed(status), CAbortException);

            RecordingStatus next = CleanRun();
            EXPECT_TRUE(next.Errors().empty());
            ExpectAllCarried();
        }
    }
}

// An edit made after the scan, before the copy: the copy carries the edit, and since the cache keeps
// the time the scan saw, the next run carries the item once more rather than missing anything.
TEST_F(CorrectionTest, EditBetweenScanAndCopyIsNeverTakenForCarried) {
    for (bool known : {false, true}) {
        SCOPED_TRACE(known ? "known item" : "new item");
        BuildWorld();
        const standin::Bytes a = Add(m_folder1, "A", "v1");
        if (known) {
            CleanRun();
            Edit(a, "v2");
        }
        RecordingStatus status;
        status.onReport = [&](const std::string& text) {
            if (text == "Synchronization of changed items.") Edit(a, "late");
        };
        ASSERT_NO_THROW(Proceed(status));
        EXPECT_EQ((Set{"A|late"}), Contents(m_folder2));
        const CRefCountPtr<CFolderCache> cache1 = LoadCache(m_folder1, m_folder2);
        standin::ItemView view;
        ASSERT_TRUE(standin::GetItem(a, &view));
        ASSERT_EQ(1u, cache1->GetItemCount());
        EXPECT_NE(U64(view.modified), U64(cache1->GetItems()[0]->GetModificationTime()));

        // Once more in the next run, then settled.
        EXPECT_EQ(Info(Summary(1, 0, kName2)), CleanRun().lines.at(8));
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
        EXPECT_EQ((Set{"A|late"}), Contents(m_folder1));
    }
}

// A conflict whose copy failed is settled again, the same way, at the next run.
TEST_F(CorrectionTest, ConflictWhoseCopyFailedIsSettledTheSameWayNextRun) {
    const standin::Bytes k1 = Add(m_folder1, "K", "base");
    CleanRun();
    Edit(Find(m_folder2, "K"), "two");
    Edit(k1, "one");
    standin::FailCall("IMessage::SaveChanges", 1, MAPI_E_CALL_FAILED);
    RecordingStatus status;
    EXPECT_THROW(Proceed(status), Error::ZxExceptionMAPI);
    standin::ClearFaults();

    CleanRun();
    EXPECT_EQ((Set{"K|one"}), Contents(m_folder1));
    EXPECT_EQ((Set{"K|one"}), Contents(m_folder2));
}

// The counterpart edited after its folder was scanned: the copy does not overwrite that edit; the next
// run sees both changes and settles them as a conflict (equal or later folder 2 time: folder 2 wins).
TEST_F(CorrectionTest, CounterpartEditedDuringTheRunIsNotOverwritten) {
    const standin::Bytes a1 = Add(m_folder1, "A", "base");
    CleanRun();
    const standin::Bytes a2 = Find(m_folder2, "A");
    Edit(a1, "one");
    RecordingStatus status;
    status.onReport = [&](const std::string& text) {
        if (text == "Synchronization of changed items.") Edit(a2, "two");
    };
    ASSERT_NO_THROW(Proceed(status));
    EXPECT_EQ((Set{"A|two"}), Contents(m_folder2));

    CleanRun();
    EXPECT_EQ((Set{"A|two"}), Contents(m_folder1));
    EXPECT_EQ((Set{"A|two"}), Contents(m_folder2));
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
}

// A row the scan cannot read (here: no record key) is not seen, but the item is still there: its
// counterpart must not be deleted.
TEST_F(CorrectionTest, ItemTheScanCannotReadIsNeverTakenForDeleted) {
    const standin::Bytes a1 = Add(m_folder1, "A", "a");
    Add(m_folder1, "B", "b");
    CleanRun();
    ASSERT_TRUE(standin::RemoveItemProp(a1, PR_RECORD_KEY));

    RecordingStatus status = CleanRun();
    EXPECT_EQ(Info(Summary(0, 0, kName2)), status.lines.at(8));
    EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder2));
    EXPECT_EQ(2u, LoadCache(m_folder1, m_folder2)->GetItemCount());
}

} // namespace
