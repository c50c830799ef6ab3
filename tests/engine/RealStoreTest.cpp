// What real stores do to a run, each through the stand-in's real-store behaviour: a counterpart someone
// else saves while it is being overwritten, a counterpart open in an Outlook window that cannot be
// deleted, the short-term ids and moves of an Exchange mailbox, and stores that give a saved message's
// computed properties only when it is opened again.
#include "SyncTestSupport.h"

namespace {

using Set = std::multiset<std::string>;
using standin::Value;

class RealStoreTest : public SyncFixture {
protected:
    // Folder 1 moves into a store of its own of the given kind ("Mailbox\Left").
    void PutFolder1In(standin::ProviderKind kind, bool savedPropsOnReopen = false) {
        standin::StoreSpec desc;
        desc.displayName = "Mailbox";
        desc.kind = kind;
        desc.savedPropsOnReopen = savedPropsOnReopen;
        m_store1 = standin::AddStore(desc);
        m_folder1 = standin::AddFolder(standin::IpmSubtree(m_store1), "Left", "IPF.Appointment");
    }
    // A new logon, as when Outlook is started again: the next run opens its folders in a new session.
    void NewOutlookSession() { ReleaseMapi(); }
    static std::string ItemsFailedLine(int count) {
        return std::to_string(count) + " items could not be synchronized between '" + kName1 + "' and '" + kName2 +
               "'. The log file names each of them.";
    }

    standin::Bytes m_store1;
};

TEST_F(RealStoreTest, CounterpartSavedBySomeoneElseDuringTheCopyKeepsTheirChangeAndThePairGoesOn) {
    const standin::Bytes a1 = Add(m_folder1, "A", "base");
    const standin::Bytes b1 = Add(m_folder1, "B", "b0");
    ASSERT_TRUE(CleanRun().Errors().empty());
    const standin::Bytes a2 = Find(m_folder2, "A");
    Edit(a1, "one");
    Edit(b1, "b1");
    // A user saves A in folder 2 after the run opened it for the copy and before the copy is saved.
    standin::BeforeCall("IMessage::SaveChanges", 1, [&] { Edit(a2, "two"); });

    LogCapture log;
    RecordingStatus status;
    ASSERT_NO_THROW(Proceed(status));

    EXPECT_EQ(std::vector<std::string>{ItemsFailedLine(1)}, status.Errors());
    EXPECT_NE(std::string::npos,
              log.Text().find("Error: Item 'A' in folder 'Right' was changed by someone else while it was being "
                              "synchronized. It will be synchronized at the next run."))
        << log.Text();
    // The other change is kept, the rest of the pair went on.
    EXPECT_EQ((Set{"A|two", "B|b1"}), Contents(m_folder2));

    // The next run settles both changes as a conflict: folder 2's is the later one.
    EXPECT_TRUE(CleanRun().Errors().empty());
    EXPECT_EQ((Set{"A|two", "B|b1"}), Contents(m_folder1));
    EXPECT_EQ((Set{"A|two", "B|b1"}), Contents(m_folder2));
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
}

TEST_F(RealStoreTest, CounterpartOpenInOutlookIsDeletedLaterAndNeverComesBack) {
    const standin::Bytes a1 = Add(m_folder1, "A", "a");
    Add(m_folder1, "B", "b");
    ASSERT_TRUE(CleanRun().Errors().empty());
    const standin::Bytes a2 = Find(m_folder2, "A");
    ASSERT_TRUE(standin::DeleteItem(a1));
    ASSERT_TRUE(standin::SetItemOpenElsewhere(a2, true));

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first run" : "second run, still open");
        LogCapture log;
        RecordingStatus status;
        ASSERT_NO_THROW(Proceed(status));
        EXPECT_EQ(std::vector<std::string>{ItemsFailedLine(1)}, status.Errors());
        EXPECT_NE(std::string::npos, log.Text().find("Error: Item '" + standin::Hex(a2) +
                                                     "' in folder 'Right' could not be deleted because it is open. "
                                                     "It will be deleted at the next run."))
            << log.Text();
        // The deletion is not taken back: the open counterpart does not return to folder 1 as a new item.
        EXPECT_EQ((Set{"B|b"}), Contents(m_folder1));
        EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder2));
    }

    ASSERT_TRUE(standin::SetItemOpenElsewhere(a2, false));
    RecordingStatus status = CleanRun();
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 1), status.lines);
    EXPECT_EQ((Set{"B|b"}), Contents(m_folder2));
    EXPECT_EQ(1u, LoadCache(m_folder1, m_folder2)->GetItemCount());
    EXPECT_EQ(1u, LoadCache(m_folder2, m_folder1)->GetItemCount());
}

// A mailbox row without the long-term column carries only a short-term id, which a later session cannot
// open: the cache must have kept the long-term one, or the item's changes would never travel again.
TEST_F(RealStoreTest, MailboxItemKnownByAShortTermRowIdStillTravelsInALaterSession) {
    PutFolder1In(standin::ProviderKind::ExchangeMailbox);
    const standin::Bytes a1 = Add(m_folder1, "A", "one");
    ASSERT_TRUE(standin::RemoveItemProp(a1, PR_LONGTERM_ENTRYID_FROM_TABLE));
    ASSERT_TRUE(CleanRun().Errors().empty());
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(a1, &view));
    const CRefCountPtr<CCacheItem> entry = LoadCache(m_folder1, m_folder2)->FindByRecordKey(Zx(view.recordKey));
    ASSERT_TRUE(entry);
    EXPECT_EQ(standin::Hex(a1), standin::Hex(Raw(entry->GetEntryId())));

    NewOutlookSession();
    Edit(a1, "two");
    RecordingStatus status = CleanRun();

    EXPECT_TRUE(status.Errors().empty());
    EXPECT_EQ((Set{"A|two"}), Contents(m_folder2));
}

// In a mailbox, Outlook's Delete moves an item to Deleted Items under a new entry id and record key: the
// item has left the folder, and its counterpart is deleted.
TEST_F(RealStoreTest, ItemMovedOutOfAMailboxFolderIsCarriedAsADeletion) {
    standin::StoreSpec desc;
    desc.displayName = "Mailbox";
    desc.kind = standin::ProviderKind::ExchangeMailbox;
    m_store1 = standin::AddStore(desc);
    m_folder1 = standin::FolderByPath("Mailbox\\Calendar");
    ASSERT_FALSE(m_folder1.empty());
    const standin::Bytes a1 = Add(m_folder1, "A", "a");
    Add(m_folder1, "B", "b");
    ASSERT_TRUE(CleanRun().Errors().empty());
    standin::ItemView before;
    ASSERT_TRUE(standin::GetItem(a1, &before));

    const standin::Bytes deletedItems = standin::FolderByPath("Mailbox\\Deleted Items");
    ASSERT_TRUE(standin::MoveItem(a1, deletedItems));
    const standin::Bytes moved = Find(deletedItems, "A");
    standin::ItemView after;
    ASSERT_TRUE(standin::GetItem(moved, &after));
    EXPECT_NE(before.entryId, after.entryId);
    EXPECT_NE(before.recordKey, after.recordKey);
    EXPECT_FALSE(standin::ItemExists(a1));

    RecordingStatus status = CleanRun();
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 1), status.lines);
    EXPECT_EQ((Set{"B|b"}), Contents(m_folder2));
    EXPECT_EQ((Set{"A|a"}), Contents(deletedItems));
}

// The state recorded after a copy is what the next scan sees, also where a saved message tells its
// computed properties only when opened again and where the server's clock stamps the times: nothing is
// taken for changed and copied back.
TEST_F(RealStoreTest, StateRecordedAfterACopyIsWhatTheNextScanSees) {
    struct Case {
        const char* name;
        standin::ProviderKind kind;
        bool savedPropsOnReopen;
    };
    const Case cases[] = {
        {"computed properties only when opened again", standin::ProviderKind::PersonalFolders, true},
        {"Exchange mailbox", standin::ProviderKind::ExchangeMailbox, false},
        {"Exchange mailbox, computed properties only when opened again", standin::ProviderKind::ExchangeMailbox, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        PutFolder1In(c.kind, c.savedPropsOnReopen);
        Add(m_folder1, "A", "a");
        const standin::Bytes b2 = Add(m_folder2, "B", "b");

        EXPECT_EQ(PairLines(kName1, kName2, 1, 0, 1, 0), CleanRun().lines);
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);

        Edit(b2, "b2"); // overwrites the copy in folder 1
        EXPECT_EQ(PairLines(kName1, kName2, 1, 0, 0, 0), CleanRun().lines);
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
        EXPECT_EQ((Set{"A|a", "B|b2"}), Contents(m_folder1));
        EXPECT_EQ((Set{"A|a", "B|b2"}), Contents(m_folder2));
    }
}

} // namespace
