// The engine under the conditions users meet: Outlook's Delete (a move that keeps the entry id), item
// failures, state that cannot be written, damaged or one-sided state, a folder paired with itself, and a
// second run on the same profile. Each family is one table of cases.
#include "SyncTestSupport.h"

#include <algorithm>

#include "base/Paths.h"

namespace {

using Set = std::multiset<std::string>;

class SoundStateTest : public SyncFixture {
protected:
    void SetUp() override {
        SyncFixture::SetUp();
        BuildDeletedItems();
    }
    void BuildDeletedItems() { m_deleted = AddFolder("Deleted Items"); }

    CAssocsContainer OpenPair() {
        CAssocsContainer pairs;
        pairs.push_back(MainPair());
        return pairs;
    }
    RecordingStatus RunPair() {
        RecordingStatus status;
        RunAll(OpenPair(), status);
        m_pairs.clear();
        return status;
    }
    std::string CacheFolder() const { return m_data / "Cache\\Outlook"; }
    std::string CachePath(const standin::Bytes& a, const standin::Bytes& b) { return LoadCache(a, b)->GetFilePath(); }

    // Items A, B in folder 1 and C in folder 2, synchronized: each folder holds all three.
    void BuildSynchronized() {
        Add(m_folder1, "A", "a");
        Add(m_folder1, "B", "b");
        Add(m_folder2, "C", "c");
        ASSERT_TRUE(RunPair().Errors().empty());
        ASSERT_EQ((Set{"A|a", "B|b", "C|c"}), Contents(m_folder2));
    }

    standin::Bytes m_deleted;
};

// ---- Outlook's Delete ------------------------------------------------------------------------------
// In a personal folders file an item keeps its entry id when it moves, and a folder opens any message of
// its store: only the item's parent tells whether it is still in the folder.

TEST_F(SoundStateTest, AnItemDeletedInOutlookIsDeletedInTheOtherFolderToo) {
    for (bool inFolder1 : {true, false}) {
        SCOPED_TRACE(inFolder1 ? "deleted in folder 1" : "deleted in folder 2");
        BuildWorld();
        BuildDeletedItems();
        BuildSynchronized();
        const standin::Bytes from = inFolder1 ? m_folder1 : m_folder2;
        const standin::Bytes other = inFolder1 ? m_folder2 : m_folder1;
        ASSERT_TRUE(standin::MoveItem(Find(from, "B"), m_deleted));

        const RecordingStatus status = RunPair();
        EXPECT_EQ(inFolder1 ? PairLines(kName1, kName2, 0, 0, 0, 1) : PairLines(kName1, kName2, 0, 1, 0, 0),
                  status.lines);
        EXPECT_EQ((Set{"A|a", "C|c"}), Contents(other));
        EXPECT_EQ((Set{"A|a", "C|c"}), Contents(from));
        // The user's own copy in Deleted Items is left as it is.
        EXPECT_EQ((Set{"B|b"}), Contents(m_deleted));
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), RunPair().lines);
    }
}

// Deleted on one side, changed on the other: the change re-creates the item in its folder; the copy in
// Deleted Items is not written to.
TEST_F(SoundStateTest, AChangeOfAnItemDeletedInOutlookOnTheOtherSideRecreatesIt) {
    for (bool deleteInFolder2 : {true, false}) {
        SCOPED_TRACE(deleteInFolder2 ? "deleted in folder 2" : "deleted in folder 1");
        BuildWorld();
        BuildDeletedItems();
        BuildSynchronized();
        const standin::Bytes gone = deleteInFolder2 ? m_folder2 : m_folder1;
        const standin::Bytes changed = deleteInFolder2 ? m_folder1 : m_folder2;
        ASSERT_TRUE(standin::MoveItem(Find(gone, "A"), m_deleted));
        Edit(Find(changed, "A"), "a2");

        const RecordingStatus status = RunPair();
        EXPECT_TRUE(status.Errors().empty());
        EXPECT_EQ((Set{"A|a2", "B|b", "C|c"}), Contents(m_folder1));
        EXPECT_EQ((Set{"A|a2", "B|b", "C|c"}), Contents(m_folder2));
        EXPECT_EQ((Set{"A|a"}), Contents(m_deleted));
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), RunPair().lines);
    }
}

// ---- item failures ---------------------------------------------------------------------------------

// A pair whose items were skipped ends with one error line that counts them and points to the log; each
// skipped item is logged; the next run carries what was skipped.
TEST_F(SoundStateTest, SkippedItemsEndThePairWithAnErrorLineAndWaitForTheNextRun) {
    struct Case {
        const char* what;
        std::function<void(RecordingStatus&)> arrange; // after a synchronized start
        const char* logged; // the start of the log entry of the skipped item
    };
    const std::vector<Case> cases = {
        {"a new item that cannot be opened",
         [this](RecordingStatus&) {
             Add(m_folder1, "N", "n");
             standin::FailCall("IMAPIFolder::OpenEntry", 1, MAPI_E_CALL_FAILED);
         },
         "Error: Cannot open item '"},
        {"a changed item that cannot be opened",
         [this](RecordingStatus&) {
             Edit(Find(m_folder1, "A"), "a2");
             standin::FailCall("IMAPIFolder::OpenEntry", 1, MAPI_E_CALL_FAILED);
         },
         "Error: Cannot open item '"},
        {"a counterpart that cannot be opened",
         [this](RecordingStatus&) {
             Edit(Find(m_folder1, "A"), "a2");
             standin::FailCall("IMAPIFolder::OpenEntry", 2, MAPI_E_CALL_FAILED);
         },
         "Error: Cannot open item '"},
        {"a counterpart edited during the run, which the conflict search did not settle",
         [this](RecordingStatus& status) {
             Edit(Find(m_folder1, "A"), "a2");
             const standin::Bytes counterpart = Find(m_folder2, "A");
             status.onReport = [counterpart](const std::string& text) {
                 if (text == "Synchronization of changed items.") Edit(counterpart, "a3");
             };
         },
         "Error: Cannot open item '"},
        {"a row without modification time",
         [this](RecordingStatus&) {
             ASSERT_TRUE(standin::RemoveItemProp(Find(m_folder2, "C"), PR_LAST_MODIFICATION_TIME));
         },
         "Error: Error scanning folder '"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuildWorld();
        BuildDeletedItems();
        BuildSynchronized();
        const LogCapture log;
        RecordingStatus status;
        c.arrange(status);
        RunAll(OpenPair(), status);
        m_pairs.clear();
        standin::ClearFaults();

        const std::string line = std::string("1 items could not be synchronized between '") + kName1 + "' and '" +
                                 kName2 + "'. The log file names each of them.";
        EXPECT_EQ(std::vector<std::string>{line}, status.Errors());
        ASSERT_GE(status.lines.size(), 3u);
        // The closing error line comes after the summary lines, before the two blank ones.
        EXPECT_EQ(Err(line), status.lines[status.lines.size() - 3]);
        EXPECT_NE(log.Text().find(c.logged), std::string::npos) << log.Text();
    }
}

// ---- state that cannot be recorded -----------------------------------------------------------------

// A pair copies and deletes nothing unless its index entry and both cache files are on disk or can be
// replaced: the run stops the pair with an error line naming the file, and items never double.
TEST_F(SoundStateTest, StateThatCannotBeWrittenStopsThePairBeforeAnythingIsCopied) {
    struct Case {
        const char* what;
        bool synchronizedFirst;
        std::function<std::string()> block; // returns the file named
        std::function<void()> unblock;
    };
    const std::vector<Case> cases = {
        {"a folder in the place of cache.index", false,
         [this] {
             const std::string index = CacheFolder() + "\\cache.index";
             CreateFolderPath(CacheFolder());
             EXPECT_TRUE(CreateDirectoryA(index.c_str(), nullptr));
             return index;
         },
         [this] { RemoveDirectoryA((CacheFolder() + "\\cache.index").c_str()); }},
        {"a read-only cache file", true,
         [this] {
             const std::string path = CachePath(m_folder2, m_folder1);
             EXPECT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
             return path;
         },
         [this] { SetFileAttributesA(CachePath(m_folder2, m_folder1).c_str(), FILE_ATTRIBUTE_NORMAL); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuildWorld();
        BuildDeletedItems();
        for (int k = 0; k < 8; ++k) Add(m_folder1, "A" + std::to_string(k), "a");
        for (int k = 0; k < 8; ++k) Add(m_folder2, "B" + std::to_string(k), "b");
        if (c.synchronizedFirst) ASSERT_TRUE(RunPair().Errors().empty());
        Add(m_folder1, "N", "n");
        const Set before1 = Contents(m_folder1);
        const Set before2 = Contents(m_folder2);
        const std::string file = c.block();

        for (int run = 0; run < 3; ++run) {
            const RecordingStatus status = RunPair();
            EXPECT_EQ((std::vector<std::string>{"Cannot write file '" + file +
                                                "'. The folders of this pair were not synchronized."}),
                      status.Errors());
            EXPECT_EQ(before1, Contents(m_folder1));
            EXPECT_EQ(before2, Contents(m_folder2));
        }
        c.unblock();
        EXPECT_TRUE(RunPair().Errors().empty());
        EXPECT_EQ(17u, Contents(m_folder1).size());
        EXPECT_EQ(Contents(m_folder1), Contents(m_folder2));
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), RunPair().lines);
    }
}

// A pair of a folder with itself (only a damaged or hand-made settings file holds one) is refused.
TEST_F(SoundStateTest, AFolderPairedWithItselfIsRefusedAndNothingIsCopied) {
    Add(m_folder1, "A", "a");
    CAssocsContainer pairs;
    pairs.push_back(MakePair(m_folder1, kName1, m_folder1, kName1));
    RecordingStatus status;
    RunAll(pairs, status);
    m_pairs.clear();
    EXPECT_EQ((std::vector<RecordingStatus::Line>{
                  Info(std::string("Synchronization of folders: '") + kName1 + "' with '" + kName1 + "'"),
                  Err(std::string("Folder '") + kName1 + "' is paired with itself. This pair was not synchronized.")}),
              status.lines);
    EXPECT_EQ((Set{"A|a"}), Contents(m_folder1));
    EXPECT_TRUE(CacheFiles().empty() || CacheFiles() == std::vector<std::string>{"cache.index"});
}

// A pair of a calendar with a contacts folder (only a damaged or hand-made settings file holds one) is
// refused: nothing is copied, no state is made.
TEST_F(SoundStateTest, FoldersOfDifferentKindsAreRefusedAndNothingIsCopied) {
    const standin::Bytes contacts = standin::AddFolder(standin::IpmSubtree(m_store), "People", "IPF.Contact");
    Add(m_folder1, "A", "a");
    Add(contacts, "P", "p");
    CAssocsContainer pairs;
    pairs.push_back(MakePair(m_folder1, kName1, contacts, "Personal Folders\\People"));
    RecordingStatus status;
    RunAll(pairs, status);
    m_pairs.clear();
    EXPECT_EQ((std::vector<RecordingStatus::Line>{
                  Info(std::string("Synchronization of folders: '") + kName1 + "' with 'Personal Folders\\People'"),
                  Err(std::string("Folder '") + kName1 +
                      "' holds Calendar items and folder 'Personal Folders\\People' holds Contact items. This pair "
                      "was not synchronized.")}),
              status.lines);
    EXPECT_EQ((Set{"A|a"}), Contents(m_folder1));
    EXPECT_EQ((Set{"P|p"}), Contents(contacts));
    EXPECT_TRUE(CacheFiles().empty() || CacheFiles() == std::vector<std::string>{"cache.index"});
}

// ---- damaged or one-sided state --------------------------------------------------------------------

// One direction's state missing, cut, garbage or another folder's: the run says so, merges both folders
// again as at their first synchronization (nothing lost), after which both are equal and quiet.
TEST_F(SoundStateTest, DamagedOrOneSidedStateIsReportedAndBothFoldersAreMergedAgain) {
    struct Case {
        const char* what;
        bool folder1; // whose state is damaged
        std::function<void(const std::string& own, const std::string& other)> damage;
    };
    const std::vector<Case> cases = {
        {"missing", true, [](const std::string& own, const std::string&) { DeleteFileA(own.c_str()); }},
        {"emptied", false, [](const std::string& own, const std::string&) { WriteWholeFile(own, ""); }},
        {"left without items while the other has them (a run stopped between the two saves)", true,
         [](const std::string& own, const std::string&) {
             WriteWholeFile(own, ByteBuilder().Int32(1).Int32(0).Bytes());
         }},
        {"cut short", true,
         [](const std::string& own, const std::string&) {
             std::string bytes;
             ReadWholeFile(own, bytes);
             WriteWholeFile(own, bytes.substr(0, bytes.size() / 2));
         }},
        {"garbage", false,
         [](const std::string& own, const std::string&) { WriteWholeFile(own, std::string(300, '\x5A')); }},
        {"the other direction's", true,
         [](const std::string& own, const std::string& other) {
             std::string bytes;
             ReadWholeFile(other, bytes);
             WriteWholeFile(own, bytes);
         }},
        {"another pair's", false,
         [this](const std::string& own, const std::string&) {
             // The state of a third folder, synchronized with folder 1 in a pair of its own.
             const standin::Bytes third = AddFolder("Third");
             Add(third, "T", "t");
             CAssocsContainer pairs;
             pairs.push_back(MakePair(third, "Personal Folders\\Third", m_folder1, kName1));
             RecordingStatus status;
             RunAll(pairs, status);
             m_pairs.clear();
             std::string bytes;
             ReadWholeFile(CachePath(third, m_folder1), bytes);
             WriteWholeFile(own, bytes);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuildWorld();
        BuildDeletedItems();
        BuildSynchronized();
        Edit(Find(m_folder1, "A"), "a2");
        Add(m_folder2, "D", "d");
        const std::string cache1 = CachePath(m_folder1, m_folder2);
        const std::string cache2 = CachePath(m_folder2, m_folder1);
        c.damage(c.folder1 ? cache1 : cache2, c.folder1 ? cache2 : cache1);
        const Set distinctBefore = [&] {
            Set all;
            for (const std::string& item : Distinct(m_folder1)) all.insert(item);
            for (const std::string& item : Distinct(m_folder2)) all.insert(item);
            return all;
        }();

        const RecordingStatus status = RunPair();
        const std::string name = c.folder1 ? kName1 : kName2;
        EXPECT_EQ((std::vector<std::string>{
                      "The synchronization state of folder '" + name +
                      "' is missing or damaged. The folders of this pair are merged again as at their first "
                      "synchronization."}),
                  status.Errors());
        EXPECT_EQ(Contents(m_folder1), Contents(m_folder2));
        for (const std::string& item : distinctBefore)
            if (item != "A|a") EXPECT_TRUE(Distinct(m_folder1).count(item)) << item << " lost";
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), RunPair().lines);
    }
}

// Both index keys of a pair damaged while the index still reads: the pair's caches are lost to it, and
// the run says so for both folders, as for missing caches, before it merges them again.
TEST_F(SoundStateTest, BothIndexKeysOfAPairDamagedAreReportedAsLostState) {
    BuildSynchronized();
    const std::string index = CacheFolder() + "\\cache.index";
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(index, bytes));
    // Every key's bytes start with folder 1's or folder 2's entry id: one byte of each id changed.
    for (const standin::Bytes& id : {m_folder1 + m_folder2, m_folder2 + m_folder1}) {
        const size_t at = bytes.find(id);
        ASSERT_NE(std::string::npos, at);
        bytes[at + 4] = static_cast<char>(bytes[at + 4] ^ 0x5A);
        bytes[at + id.size() - 1] = static_cast<char>(bytes[at + id.size() - 1] ^ 0x5A);
    }
    ASSERT_TRUE(WriteWholeFile(index, bytes));
    Add(m_folder2, "D", "d");

    const RecordingStatus status = RunPair();
    const std::string tail =
        "' is missing or damaged. The folders of this pair are merged again as at their first synchronization.";
    EXPECT_EQ((std::vector<std::string>{"The synchronization state of folder '" + std::string(kName1) + tail,
                                        "The synchronization state of folder '" + std::string(kName2) + tail}),
              status.Errors());
    EXPECT_EQ(Contents(m_folder1), Contents(m_folder2));
    EXPECT_TRUE(Distinct(m_folder1).count("D|d"));
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), RunPair().lines);
}

// A cache whose state is whole is not rewritten with the bytes it already holds.
TEST_F(SoundStateTest, ARunWithNothingToDoLeavesTheCacheFilesAlone) {
    BuildSynchronized();
    const std::string cache1 = CachePath(m_folder1, m_folder2);
    const std::string cache2 = CachePath(m_folder2, m_folder1);
    const FileStamp before1 = StampOf(cache1);
    const FileStamp before2 = StampOf(cache2);
    const FileStamp index = StampOf(CacheFolder() + "\\cache.index");
    Sleep(20);
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), RunPair().lines);
    EXPECT_TRUE(before1 == StampOf(cache1));
    EXPECT_TRUE(before2 == StampOf(cache2));
    EXPECT_TRUE(index == StampOf(CacheFolder() + "\\cache.index"));
}

// ---- one run at a time -----------------------------------------------------------------------------

// While another run holds the profile's state, a run reports that and touches nothing.
TEST_F(SoundStateTest, ASecondRunOnTheSameProfileTouchesNothing) {
    Add(m_folder1, "A", "a");
    CreateFolderPath(CacheFolder());
    const std::string lockPath = CacheFolder() + "\\cache.lock";
    HANDLE other = CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    const RecordingStatus busy = RunPair();
    EXPECT_EQ((std::vector<RecordingStatus::Line>{
                  Err("Another synchronization of this profile is running. Nothing was synchronized.")}),
              busy.lines);
    EXPECT_TRUE(Contents(m_folder2).empty());
    EXPECT_FALSE(FileExists(CacheFolder() + "\\cache.index"));
    CloseHandle(other);

    EXPECT_TRUE(RunPair().Errors().empty());
    EXPECT_EQ((Set{"A|a"}), Contents(m_folder2));
    EXPECT_FALSE(FileExists(lockPath));
}

// A cache folder that refuses the lock file after a good run is no other run: the line names the file
// that cannot be written. (Wine, run by root, lets read-only folders and files be written; a folder in
// the lock file's place is refused the same way, with access denied and no other run holding it.)
TEST_F(SoundStateTest, ALockFileThatCannotBeWrittenAfterAGoodRunIsNoOtherRun) {
    BuildSynchronized();
    Add(m_folder1, "N", "n");
    const std::string lockPath = CacheFolder() + "\\cache.lock";
    ASSERT_TRUE(CreateDirectoryA(lockPath.c_str(), nullptr));
    const RecordingStatus status = RunPair();
    RemoveDirectoryA(lockPath.c_str());
    EXPECT_EQ((std::vector<RecordingStatus::Line>{
                  Err("Cannot write file '" + lockPath + "'. The folders of this pair were not synchronized.")}),
              status.lines);
    EXPECT_EQ((Set{"A|a", "B|b", "C|c"}), Contents(m_folder2));
}

} // namespace
