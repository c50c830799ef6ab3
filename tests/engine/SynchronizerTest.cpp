// One pair synchronized through CSynchronizer::Proceed on the stand-in profile: report lines, the
// first run, conflicts, deletions, folders that refuse writes, vanishing items and read-back failures.
#include "SyncTestSupport.h"

namespace {

using Lines = std::vector<RecordingStatus::Line>;
using Set = std::multiset<std::string>;

class SynchronizerTest : public SyncFixture {};

TEST_F(SynchronizerTest, FirstRunGivesEachFolderTheOthersItemsAndPairsTheirCaches) {
    Add(m_folder1, "A", "a");
    Add(m_folder2, "B", "b");

    RecordingStatus status = CleanRun();

    EXPECT_EQ(PairLines(kName1, kName2, 1, 0, 1, 0), status.lines);
    EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder1));
    EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder2));

    // Each item's entry and its copy's entry share one pair id; each entry holds its own item's time.
    const CRefCountPtr<CFolderCache> cache1 = LoadCache(m_folder1, m_folder2);
    const CRefCountPtr<CFolderCache> cache2 = LoadCache(m_folder2, m_folder1);
    ASSERT_EQ(2u, cache1->GetItemCount());
    ASSERT_EQ(2u, cache2->GetItemCount());
    for (const char* subject : {"A", "B"}) {
        standin::ItemView item1, item2;
        ASSERT_TRUE(standin::GetItem(Find(m_folder1, subject), &item1));
        ASSERT_TRUE(standin::GetItem(Find(m_folder2, subject), &item2));
        const CRefCountPtr<CCacheItem> entry1 = cache1->FindByRecordKey(Zx(item1.recordKey));
        const CRefCountPtr<CCacheItem> entry2 = cache2->FindByRecordKey(Zx(item2.recordKey));
        ASSERT_TRUE(entry1 && entry2) << subject;
        EXPECT_EQ(entry1->GetPairId(), entry2->GetPairId()) << subject;
        EXPECT_EQ(38u, entry1->GetPairId().size());
        EXPECT_EQ(U64(item1.modified), U64(entry1->GetModificationTime())) << subject;
        EXPECT_EQ(U64(item2.modified), U64(entry2->GetModificationTime())) << subject;
        EXPECT_EQ(item1.entryId, Raw(entry1->GetEntryId())) << subject;
        EXPECT_EQ(item2.entryId, Raw(entry2->GetEntryId())) << subject;
    }
}

TEST_F(SynchronizerTest, RunWithoutChangesReportsExactlyItsStepsAndWritesNothing) {
    Add(m_folder1, "A", "a");
    Add(m_folder2, "B", "b");
    CleanRun();
    standin::ResetCounters();

    RecordingStatus status = CleanRun();

    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), status.lines);
    EXPECT_EQ(0, standin::CallCount("IMAPIFolder::CreateMessage"));
    EXPECT_EQ(0, standin::CallCount("IMessage::SaveChanges"));
    EXPECT_EQ(0, standin::CallCount("IMAPIFolder::DeleteMessages"));
    EXPECT_EQ(0, standin::CallCount("IMAPIContainer::OpenEntry") + standin::CallCount("IMAPIFolder::OpenEntry"));
    // Two change passes with nothing to do, two deletion passes over the two entries of each cache.
    EXPECT_EQ((std::vector<int>{0, 0, 2, 2}), status.shows);
    EXPECT_EQ((std::vector<int>{0, 1, 0, 1}), status.positions);
}

TEST_F(SynchronizerTest, ItemChangedInBothFoldersIsSettledByScannedTimes) {
    struct Case {
        const char* name;
        int newer; // 1 or 2: whose edit is later; 0: equal times
        const char* winner;
    };
    const Case cases[] = {
        {"folder 1 newer", 1, "K|one"},
        {"folder 2 newer", 2, "K|two"},
        {"equal times: folder 2 wins", 0, "K|two"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        const standin::Bytes k1 = Add(m_folder1, "K", "base");
        CleanRun();
        const standin::Bytes k2 = Find(m_folder2, "K");
        if (c.newer == 1) {
            Edit(k2, "two");
            Edit(k1, "one");
        } else {
            Edit(k1, "one");
            Edit(k2, "two");
        }
        if (c.newer == 0) {
            const FILETIME same = standin::Now();
            ASSERT_TRUE(standin::SetItemTime(k1, same));
            ASSERT_TRUE(standin::SetItemTime(k2, same));
        }
        standin::ItemView winnerBefore;
        ASSERT_TRUE(standin::GetItem(c.newer == 1 ? k1 : k2, &winnerBefore));

        RecordingStatus status = CleanRun();

        EXPECT_EQ((Set{c.winner}), Contents(m_folder1));
        EXPECT_EQ((Set{c.winner}), Contents(m_folder2));
        // Only the loser is written; the winner keeps its time.
        EXPECT_EQ(Info(Summary(c.newer == 1 ? 0 : 1, 0, kName1)), status.lines[7]);
        EXPECT_EQ(Info(Summary(c.newer == 1 ? 1 : 0, 0, kName2)), status.lines[8]);
        standin::ItemView winnerAfter;
        ASSERT_TRUE(standin::GetItem(c.newer == 1 ? k1 : k2, &winnerAfter));
        EXPECT_EQ(U64(winnerBefore.modified), U64(winnerAfter.modified));
        // Settled: the next run has nothing to do.
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
    }
}

TEST_F(SynchronizerTest, DeletionsAreCarriedAndChangeBeatsDeletion) {
    const standin::Bytes gone1 = Add(m_folder1, "Gone1", "x");
    Add(m_folder1, "Gone2", "y");
    const standin::Bytes both = Add(m_folder1, "Both", "z");
    const standin::Bytes revived = Add(m_folder1, "Revived", "old");
    Add(m_folder1, "Kept", "k");
    CleanRun();
    ASSERT_TRUE(standin::DeleteItem(gone1)); // deleted in folder 1
    ASSERT_TRUE(standin::DeleteItem(Find(m_folder2, "Gone2"))); // deleted in folder 2
    ASSERT_TRUE(standin::DeleteItem(both)); // deleted in both
    ASSERT_TRUE(standin::DeleteItem(Find(m_folder2, "Both")));
    ASSERT_TRUE(standin::DeleteItem(revived)); // deleted in 1, changed in 2
    Edit(Find(m_folder2, "Revived"), "new");

    RecordingStatus status = CleanRun();

    EXPECT_TRUE(status.Errors().empty());
    EXPECT_EQ((Set{"Kept|k", "Revived|new"}), Contents(m_folder1));
    EXPECT_EQ((Set{"Kept|k", "Revived|new"}), Contents(m_folder2));
    // Folder 1 received the revived item and lost Gone2; folder 2 lost Gone1 and Both (whose delete
    // only warned, the message being gone already).
    EXPECT_EQ(Info(Summary(1, 1, kName1)), status.lines[7]);
    EXPECT_EQ(Info(Summary(0, 2, kName2)), status.lines[8]);
    EXPECT_EQ(2u, LoadCache(m_folder1, m_folder2)->GetItemCount());
    EXPECT_EQ(2u, LoadCache(m_folder2, m_folder1)->GetItemCount());
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
}

TEST_F(SynchronizerTest, ChangedItemWhoseCounterpartWasDeletedIsRecreatedUnderItsPairId) {
    const standin::Bytes a1 = Add(m_folder1, "A", "v1");
    CleanRun();
    const std::string pairId = LoadCache(m_folder1, m_folder2)->GetItems().at(0)->GetPairId();
    ASSERT_TRUE(standin::DeleteItem(Find(m_folder2, "A")));
    Edit(a1, "v2");

    RecordingStatus status = CleanRun();

    EXPECT_EQ((Set{"A|v2"}), Contents(m_folder2));
    EXPECT_EQ(Info(Summary(1, 0, kName2)), status.lines[8]);
    const CRefCountPtr<CFolderCache> cache2 = LoadCache(m_folder2, m_folder1);
    ASSERT_EQ(1u, cache2->GetItemCount());
    standin::ItemView copy;
    ASSERT_TRUE(standin::GetItem(Find(m_folder2, "A"), &copy));
    EXPECT_EQ(pairId, cache2->FindByRecordKey(Zx(copy.recordKey))->GetPairId());
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
}

TEST_F(SynchronizerTest, FolderThatIsNotOpenStopsThePairBeforeAnyCache) {
    struct Case {
        bool open1, open2;
        const char* missing;
    };
    for (const Case& c : {Case{false, true, kName1}, Case{true, false, kName2}, Case{false, false, kName1}}) {
        SCOPED_TRACE(c.missing);
        BuildWorld();
        Add(m_folder1, "A", "a");
        RecordingStatus status;
        CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(kProfile));
        CSynchronizer(
            MakePair(c.open1 ? m_folder1 : standin::Bytes(), kName1, c.open2 ? m_folder2 : standin::Bytes(), kName2),
            factory, &status)
            .Proceed();

        EXPECT_EQ((Lines{Info(std::string("Synchronization of folders: '") + kName1 + "' with '" + kName2 + "'"),
                         Err(std::string("Cannot open folder '") + c.missing +
                             "'. Synchronization of this folder has been interrupted.")}),
                  status.lines);
        EXPECT_TRUE(CacheFiles().empty());
        EXPECT_TRUE(factory->GetIndex().empty());
        EXPECT_EQ((Set{}), Contents(m_folder2));
    }
}

TEST_F(SynchronizerTest, EmptyPairDoesNothing) {
    RecordingStatus status;
    CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(kProfile));
    CSynchronizer(CRefCountPtr<CAssocDesc>(), factory, &status).Proceed();
    EXPECT_TRUE(status.lines.empty());
    EXPECT_EQ(0, status.points);
}

// What a refused write throws, and that the refused change is still carried once the folder allows it.
TEST_F(SynchronizerTest, TargetThatRefusesWritesFailsThePairAndKeepsTheChangePending) {
    struct Case {
        const char* name;
        std::function<void(const standin::Bytes&, bool)> refuse;
        bool known; // the refused item is a changed known item (else a new one)
        std::string text;
    };
    const Case cases[] = {
        {"create refused", [](const standin::Bytes& f, bool on) { standin::SetFolderRefusesCreate(f, on); }, false,
         "Cannot create a new item in folder 'Right'."},
        {"save refused (new)", [](const standin::Bytes& f, bool on) { standin::SetFolderAccess(f, !on, true); }, false,
         "Error copying item 'A'. Cannot save changes in folder 'Right'."},
        {"save refused (known)", [](const standin::Bytes& f, bool on) { standin::SetFolderAccess(f, !on, true); }, true,
         "Error copying item 'A'. Cannot save changes in folder 'Right'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        const standin::Bytes a = Add(m_folder1, "A", "v1");
        if (c.known) {
            CleanRun();
            Edit(a, "v2");
        }
        c.refuse(m_folder2, true);
        const std::string expected = c.known ? "A|v2" : "A|v1";

        for (int attempt = 0; attempt < 2; ++attempt) { // refused again and again: never forgotten
            RecordingStatus status;
            try {
                Proceed(status);
                ADD_FAILURE() << "no exception";
            } catch (const Error::ZxExceptionMAPI& e) {
                EXPECT_EQ(c.text, e.GetText());
                EXPECT_EQ(static_cast<DWORD>(MAPI_E_NO_ACCESS), e.GetCode());
                EXPECT_EQ("Synchronizer", e.GetFileName());
                EXPECT_EQ("CSynchronizer::PropagateChanges", e.GetFunctionName());
            }
            EXPECT_EQ(0u, Contents(m_folder2).count(expected));
        }
        c.refuse(m_folder2, false);
        RecordingStatus status = CleanRun();
        EXPECT_EQ((Set{expected}), Contents(m_folder2));
        EXPECT_EQ((Set{expected}), Contents(m_folder1));
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
    }
}

TEST_F(SynchronizerTest, RefusedDeleteFailsThePairAndTheItemComesBack) {
    const standin::Bytes a = Add(m_folder1, "A", "a");
    Add(m_folder1, "B", "b");
    CleanRun();
    ASSERT_TRUE(standin::DeleteItem(a));
    standin::SetFolderAccess(m_folder2, true, false);

    RecordingStatus status;
    try {
        Proceed(status);
        ADD_FAILURE() << "no exception";
    } catch (const Error::ZxExceptionMAPI& e) {
        EXPECT_EQ("Error deleting item in folder 'Right'. Make sure your have appropriate rights to folder.",
                  e.GetText());
        EXPECT_EQ(static_cast<DWORD>(MAPI_E_NO_ACCESS), e.GetCode());
        EXPECT_EQ("CSynchronizer::PropagateDeletions", e.GetFunctionName());
    }
    EXPECT_EQ(1u, LoadCache(m_folder1, m_folder2)->GetItemCount()); // both entries left before the call
    EXPECT_EQ(1u, LoadCache(m_folder2, m_folder1)->GetItemCount());

    // The copy, still in folder 2 but no longer known, counts as new and comes back.
    standin::SetFolderAccess(m_folder2, true, true);
    RecordingStatus next = CleanRun();
    EXPECT_EQ(Info(Summary(1, 0, kName1)), next.lines[7]);
    EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder1));
    EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder2));
}

TEST_F(SynchronizerTest, ItemThatVanishesBetweenScanAndCopyIsLoggedAndSkipped) {
    struct Case {
        const char* name;
        bool known;
    };
    for (const Case& c : {Case{"new item", false}, Case{"changed item", true}}) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        const standin::Bytes a = Add(m_folder1, "A", "v1");
        if (c.known) {
            CleanRun();
            Edit(a, "v2");
        }
        standin::ItemView view;
        ASSERT_TRUE(standin::GetItem(a, &view));
        Add(m_folder1, "Z", "z"); // after the vanished one in no particular order: it still travels

        LogCapture log;
        RecordingStatus status;
        status.onReport = [&](const std::string& text) {
            if (text == "Synchronization of changed items.") standin::DeleteItem(a);
        };
        ASSERT_NO_THROW(Proceed(status));

        // A new item is named by its entry id, a known one by its record key.
        const std::string hex = standin::Hex(c.known ? view.recordKey : view.entryId);
        EXPECT_NE(std::string::npos, log.Text().find("Error: Cannot open item '" + hex + "' in folder 'Left'."))
            << log.Text();
        // The pair does not read as complete: its closing error line counts the skipped item.
        EXPECT_EQ(std::vector<std::string>{std::string("1 items could not be synchronized between '") + kName1 +
                                           "' and '" + kName2 + "'. The log file names each of them."},
                  status.Errors());
        EXPECT_EQ(Info(Summary(1, 0, kName2)), status.lines[8]);
        EXPECT_EQ(1u, Contents(m_folder2).count("Z|z"));
    }
}

// A failure after the target was saved leaves the copy without a cache entry. The journal holds the copy
// that was begun and the copy carries its mark: the next run recognises it and copies nothing back.
TEST_F(SynchronizerTest, ReadBackFailureAfterSaveIsRecognisedByTheNextRun) {
    struct Case {
        // HrGetOneProp calls after the report of the change pass: names 1-2, the target folder's entry
        // id 3, subject 4
        long call;
        const char* text;
    };
    const Case cases[] = {{5, "No PR_RECORD_KEY field in item 'A' in folder 'Right'."},
                          {6, "No PR_LAST_MODIFICATION_TIME field in item 'A' in folder 'Right'."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        BuildWorld();
        Add(m_folder1, "B", "b");
        CleanRun();
        Add(m_folder1, "A", "a");
        RecordingStatus status;
        status.onReport = [&](const std::string& text) {
            if (text == "Synchronization of changed items.")
                standin::FailCall("HrGetOneProp", c.call, MAPI_E_CALL_FAILED);
        };
        try {
            Proceed(status);
            ADD_FAILURE() << "no exception";
        } catch (const Error::ZxExceptionMAPI& e) {
            EXPECT_EQ(c.text, e.GetText());
            EXPECT_EQ(static_cast<DWORD>(MAPI_E_CALL_FAILED), e.GetCode());
            EXPECT_EQ("CSynchronizer::PropagateChanges", e.GetFunctionName());
        }
        standin::ClearFaults();
        EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder2));

        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
        EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder1));
        EXPECT_EQ((Set{"A|a", "B|b"}), Contents(m_folder2));
        // Both entries are there: an edit of the copy travels back onto the original.
        Edit(Find(m_folder2, "A"), "a2");
        EXPECT_EQ(PairLines(kName1, kName2, 1, 0, 0, 0), CleanRun().lines);
        EXPECT_EQ((Set{"A|a2", "B|b"}), Contents(m_folder1));
    }
}

TEST_F(SynchronizerTest, ContentsTableThatCannotBeHadThrowsAccessDeniedAndSavesTheCaches) {
    Add(m_folder1, "A", "a");
    CleanRun();
    for (long call : {1L, 2L}) {
        SCOPED_TRACE(call);
        standin::FailCall("IMAPIContainer::GetContentsTable", call, MAPI_E_NO_ACCESS);
        RecordingStatus status;
        try {
            Proceed(status);
            ADD_FAILURE() << "no exception";
        } catch (const Error::ZxExceptionMAPI& e) {
            EXPECT_EQ(std::string("Access to data in folder '") + (call == 1 ? kName1 : kName2) + "' denied.",
                      e.GetText());
            EXPECT_EQ(static_cast<DWORD>(MAPI_E_NO_ACCESS), e.GetCode());
            EXPECT_EQ("CSynchronizer::Proceed", e.GetFunctionName());
            EXPECT_EQ("Synchronizer", e.GetFileName());
        }
        standin::ClearFaults();
        // Only the opening line: nothing was scanned.
        EXPECT_EQ(1u, status.lines.size());
    }
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
}

TEST_F(SynchronizerTest, UntrustedNamesAndSubjectsAreNeverFormats) {
    const std::string name1 = "Left %s%n%d";
    const standin::Bytes a = Add(m_folder1, "%s%n%x", "a");
    standin::SetFolderProp(m_folder2, PR_DISPLAY_NAME_A, standin::Value::String("R%n%s"));
    standin::SetFolderAccess(m_folder2, false, true);
    RecordingStatus status;
    CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(kProfile));
    try {
        CSynchronizer(MakePair(m_folder1, name1, m_folder2, "Right %s"), factory, &status).Proceed();
        ADD_FAILURE() << "no exception";
    } catch (const Error::ZxExceptionMAPI& e) {
        EXPECT_EQ("Error copying item '%s%n%x'. Cannot save changes in folder 'R%n%s'.", e.GetText());
    }
    EXPECT_EQ(Info("Synchronization of folders: 'Left %s%n%d' with 'Right %s'"), status.lines.at(0));
    EXPECT_EQ(Info("Scanning folder 'Left %s%n%d'."), status.lines.at(1));
    (void)a;
}

TEST_F(SynchronizerTest, NewPairIdsAreFreshRegistryFormatGuids) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string id = CSynchronizer::NewPairId();
        ASSERT_EQ(38u, id.size());
        EXPECT_EQ('{', id.front());
        EXPECT_EQ('}', id.back());
        for (size_t k : {9u, 14u, 19u, 24u}) EXPECT_EQ('-', id[k]);
        EXPECT_EQ(std::string::npos, id.find_first_not_of("{}-0123456789ABCDEF")) << id;
        EXPECT_TRUE(seen.insert(id).second);
    }
}

} // namespace
