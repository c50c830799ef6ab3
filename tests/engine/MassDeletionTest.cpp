// Deletions that would empty most of a folder (a store still downloading, a folder restored from an old
// backup) wait for the user's word: the question names both folders and the count; "No" keeps both
// folders and carries the pair's changes; the held state outlives the run until the deletions are
// carried or nothing is missing any more.
#include "SyncTestSupport.h"

#include <algorithm>

namespace {

using Set = std::multiset<std::string>;

class MassDeletionTest : public SyncFixture {
protected:
    // `n` items in folder 1, synchronized into folder 2.
    void BuildSynchronized(int n) {
        for (int k = 0; k < n; ++k) Add(m_folder1, "I" + std::to_string(k), "x");
        ASSERT_TRUE(CleanRun().Errors().empty());
        ASSERT_EQ(static_cast<size_t>(n), Contents(m_folder2).size());
    }
    RecordingStatus Run(bool answer) {
        RecordingStatus status;
        status.confirmDeletions = answer;
        EXPECT_NO_THROW(Proceed(status));
        return status;
    }
    static std::string Question(int count, int total) {
        return "Synchronization would delete " + std::to_string(count) + " of the " + std::to_string(total) +
               " items of folder 'Personal Folders\\Right', because they are missing from folder 'Personal "
               "Folders\\Left'. Delete them?\n\nAnswer No if folder 'Personal Folders\\Left' is still being downloaded or was restored from an old backup: both folders stay "
               "as they are, and you are asked again at the next synchronization.";
    }
    static std::string Held(int count) {
        return "The deletion of " + std::to_string(count) +
               " items from folder 'Personal Folders\\Right' is held until you confirm it. Nothing was deleted.";
    }
    static bool Has(const RecordingStatus& status, const RecordingStatus::Line& line) {
        return std::find(status.lines.begin(), status.lines.end(), line) != status.lines.end();
    }
    std::string HeldFile() { return LoadCache(m_folder1, m_folder2)->GetFilePath() + ".held"; }
};

} // namespace

TEST(MassDeletionRule, EveryItemOrMoreThanHalfAndMoreThanTen) {
    const struct {
        int deletions;
        size_t items;
        bool asked;
    } cases[] = {
        {0, 0, false}, {0, 5, false},   {1, 1, true},     {3, 3, true},     {2, 3, false},
        {10, 12, false}, {11, 21, true}, {11, 22, false}, {11, 23, false}, {500, 1000, false},
        {501, 1000, true}, {1000, 1000, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.asked, CSynchronizer::IsMassDeletion(c.deletions, c.items)) << c.deletions << " of " << c.items;
}

// Most of folder 1 missing: the user is asked; No keeps both folders (and asks again next time) while the
// pair's changes still travel; Yes carries the deletions.
TEST_F(MassDeletionTest, NoKeepsBothFoldersAndAsksAgainYesCarriesTheDeletions) {
    BuildSynchronized(20);
    for (int k = 0; k < 15; ++k) ASSERT_TRUE(standin::DeleteItem(Find(m_folder1, "I" + std::to_string(k))));
    Add(m_folder1, "New", "n");
    Edit(Find(m_folder2, "I19"), "y");

    const RecordingStatus no = Run(false);
    EXPECT_EQ((std::vector<std::string>{Question(15, 21)}), no.questions);
    EXPECT_EQ((std::vector<std::string>{Held(15)}), no.Errors());
    EXPECT_TRUE(Has(no, Info(Summary(1, 0, kName1))));
    EXPECT_TRUE(Has(no, Info(Summary(1, 0, kName2))));
    EXPECT_EQ(21u, Contents(m_folder2).size());
    EXPECT_TRUE(Distinct(m_folder1).count("I19|y"));
    EXPECT_TRUE(Distinct(m_folder2).count("New|n"));

    const RecordingStatus again = Run(false);
    EXPECT_EQ((std::vector<std::string>{Question(15, 21)}), again.questions);
    EXPECT_EQ(21u, Contents(m_folder2).size());

    const RecordingStatus yes = Run(true);
    EXPECT_EQ(1u, yes.questions.size());
    EXPECT_TRUE(yes.Errors().empty());
    EXPECT_TRUE(Has(yes, Info(Summary(0, 15, kName2))));
    EXPECT_EQ(Contents(m_folder1), Contents(m_folder2));
    EXPECT_EQ(6u, Contents(m_folder2).size());
    EXPECT_FALSE(FileExists(HeldFile()));
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), Run(false).lines);
}

// A store that is still downloading shows most of folder 1 only later: held while hidden, nothing to
// ask once the items are there. Held deletions that shrink below the threshold are still asked about.
TEST_F(MassDeletionTest, ItemsNotDownloadedYetAreNeverDeletedWithoutAQuestion) {
    BuildSynchronized(20);
    std::vector<standin::Bytes> items;
    for (int k = 0; k < 18; ++k) items.push_back(Find(m_folder1, "I" + std::to_string(k)));
    for (const standin::Bytes& item : items) ASSERT_TRUE(standin::SetItemHidden(item, true));

    EXPECT_EQ((std::vector<std::string>{Question(18, 20)}), Run(false).questions);
    EXPECT_TRUE(FileExists(HeldFile()));
    // Most of them arrive; the three still missing are held all the same.
    for (size_t k = 3; k < items.size(); ++k) ASSERT_TRUE(standin::SetItemHidden(items[k], false));
    const RecordingStatus fewer = Run(false);
    EXPECT_EQ((std::vector<std::string>{Question(3, 20)}), fewer.questions);
    EXPECT_EQ((std::vector<std::string>{Held(3)}), fewer.Errors());
    // All there: nothing to delete, nothing held any more, and both folders as they were.
    for (size_t k = 0; k < 3; ++k) ASSERT_TRUE(standin::SetItemHidden(items[k], false));
    EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), Run(false).lines);
    EXPECT_FALSE(FileExists(HeldFile()));
    EXPECT_EQ(20u, Contents(m_folder1).size());
    EXPECT_EQ(20u, Contents(m_folder2).size());
    // A small deletion later is carried without a question.
    ASSERT_TRUE(standin::DeleteItem(Find(m_folder1, "I0")));
    const RecordingStatus small = Run(false);
    EXPECT_TRUE(small.questions.empty());
    EXPECT_EQ(19u, Contents(m_folder2).size());
}

// A run that stops while the question is open (or before it) leaves the deletions held: the next run
// asks again even when it would not have asked on its own.
TEST_F(MassDeletionTest, AStopWhileTheQuestionIsOpenLeavesTheDeletionsHeld) {
    BuildSynchronized(12);
    for (int k = 0; k < 12; ++k) ASSERT_TRUE(standin::DeleteItem(Find(m_folder1, "I" + std::to_string(k))));
    bool asked = false;
    struct Stopping : RecordingStatus {
        bool* asked;
        bool ConfirmDeletions(const std::string&) override {
            *asked = true;
            throw CAbortException();
        }
    } stopping;
    stopping.asked = &asked;
    EXPECT_THROW(Proceed(stopping), CAbortException);
    EXPECT_TRUE(asked);
    EXPECT_EQ(12u, Contents(m_folder2).size());
    EXPECT_TRUE(FileExists(HeldFile()));
    EXPECT_EQ(1u, Run(false).questions.size());
    EXPECT_EQ(12u, Contents(m_folder2).size());
}
