// The run over all pairs: one pair's failure is one red line and the next pair runs; a cancel ends the
// run; nothing escapes.
#include "SyncTestSupport.h"

namespace {

using Lines = std::vector<RecordingStatus::Line>;
using Set = std::multiset<std::string>;

class SyncRunTest : public SyncFixture {
protected:
    // Three pairs P1..P3 of fresh folders, each with one item on its left side, and an empty entry
    // between the first two.
    CAssocsContainer ThreePairs() {
        CAssocsContainer pairs;
        for (int i = 1; i <= 3; ++i) {
            const std::string n = std::to_string(i);
            const standin::Bytes left = AddFolder("P" + n + "a");
            const standin::Bytes right = AddFolder("P" + n + "b");
            m_right.push_back(right);
            Add(left, "Item" + n, "x");
            pairs.push_back(MakePair(left, Name(i, 'a'), right, Name(i, 'b')));
            if (i == 1) pairs.push_back(CRefCountPtr<CAssocDesc>());
        }
        return pairs;
    }
    static std::string Name(int pair, char side) { return "Personal Folders\\P" + std::to_string(pair) + side; }
    static Lines FirstRunLines(int pair) { return PairLines(Name(pair, 'a'), Name(pair, 'b'), 0, 0, 1, 0); }
    static Lines Concat(std::initializer_list<Lines> parts) {
        Lines all;
        for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }
    std::vector<standin::Bytes> m_right;
};

TEST_F(SyncRunTest, AllPairsRunInOrder) {
    const CAssocsContainer pairs = ThreePairs();
    RecordingStatus status;
    RunAll(pairs, status);
    EXPECT_EQ(Concat({FirstRunLines(1), FirstRunLines(2), FirstRunLines(3)}), status.lines);
    for (int i = 0; i < 3; ++i) EXPECT_EQ((Set{"Item" + std::to_string(i + 1) + "|x"}), Contents(m_right[i]));
}

TEST_F(SyncRunTest, PairFailureIsOneErrorLineAndTheNextPairRuns) {
    const CAssocsContainer pairs = ThreePairs();
    // Pair 1 takes contents tables 1 and 2; pair 2's first table fails.
    standin::FailCall("IMAPIContainer::GetContentsTable", 3, MAPI_E_NO_ACCESS);
    RecordingStatus status;
    RunAll(pairs, status);

    const Lines& lines = status.lines;
    ASSERT_EQ(11u + 2u + 11u, lines.size());
    EXPECT_EQ(FirstRunLines(1), Lines(lines.begin(), lines.begin() + 11));
    EXPECT_EQ(Info("Synchronization of folders: '" + Name(2, 'a') + "' with '" + Name(2, 'b') + "'"), lines[11]);
    EXPECT_TRUE(lines[12].error);
    EXPECT_EQ(0u, lines[12].text.find("Access to data in folder '" + Name(2, 'a') + "' denied.")) << lines[12].text;
    EXPECT_EQ(FirstRunLines(3), Lines(lines.begin() + 13, lines.end()));
    EXPECT_EQ((Set{}), Contents(m_right[1]));
    EXPECT_EQ((Set{"Item3|x"}), Contents(m_right[2]));
}

TEST_F(SyncRunTest, UnknownFailureOfAPairIsReportedAsSuch) {
    const CAssocsContainer pairs = ThreePairs();
    RecordingStatus status;
    status.onReport = [&](const std::string& text) {
        if (text == "Scanning folder '" + Name(2, 'a') + "'.") throw std::runtime_error("not a ZxException");
    };
    RunAll(pairs, status);

    const Lines& lines = status.lines;
    ASSERT_EQ(11u + 3u + 11u, lines.size());
    EXPECT_EQ(Err("Error synchronizing folders."), lines[13]);
    EXPECT_EQ(FirstRunLines(3), Lines(lines.begin() + 14, lines.end()));
}

TEST_F(SyncRunTest, CancelEndsTheRunAfterThePairSavedItsCaches) {
    const CAssocsContainer pairs = ThreePairs();
    RecordingStatus status;
    status.onReport = [&](const std::string& text) {
        if (text == "Synchronization of changed items." && status.lines.size() > 11) throw CAbortException();
    };
    ASSERT_NO_THROW(RunAll(pairs, status));

    const Lines& lines = status.lines;
    ASSERT_EQ(11u + 5u + 1u, lines.size());
    EXPECT_EQ(Err("Synchronization interrupted by user."), lines.back());
    EXPECT_EQ((Set{}), Contents(m_right[1]));
    EXPECT_EQ((Set{}), Contents(m_right[2])); // pair 3 never ran
    for (const RecordingStatus::Line& line : lines) EXPECT_EQ(std::string::npos, line.text.find("P3")) << line.text;
    // Pair 2's caches were written on the way out: four cache files and the index.
    EXPECT_EQ(5u, CacheFiles().size());
}

TEST_F(SyncRunTest, NoPairsReportNothing) {
    RecordingStatus status;
    RunAll(CAssocsContainer(), status);
    EXPECT_TRUE(status.lines.empty());
    EXPECT_EQ(0, status.points);
}

TEST_F(SyncRunTest, NothingEscapesEvenFromTheClosingReports) {
    struct Case {
        const char* name;
        const char* throwOn; // the first report with this text throws ...
        bool abort; // ... a cancel (else an unknown exception)
        const char* thenOn; // and a second report throws a cancel
        const char* lastLine;
    };
    const Case cases[] = {
        {"unknown failure, then its report fails", "Synchronization complete.", false, "Error synchronizing folders.",
         "Synchronization interrupted by user."},
        {"cancel, then the cancel line cancels", "Synchronization complete.", true,
         "Synchronization interrupted by user.", "Synchronization interrupted by user."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        m_right.clear();
        const CAssocsContainer pairs = ThreePairs();
        RecordingStatus status;
        bool thrown = false;
        status.onReport = [&](const std::string& text) {
            if (!thrown && text == c.throwOn) {
                thrown = true;
                if (c.abort) throw CAbortException();
                throw std::runtime_error("failure");
            }
            if (c.thenOn && text == c.thenOn) throw CAbortException();
        };
        ASSERT_NO_THROW(RunAll(pairs, status));
        EXPECT_EQ(Err(c.lastLine), status.lines.back());
    }
}

TEST_F(SyncRunTest, ReportThatThrowsSomethingUnknownEndsTheRunWithTheUnknownErrorLine) {
    const CAssocsContainer pairs = ThreePairs();
    RecordingStatus status;
    status.onReport = [&](const std::string& text) {
        if (text == "Scanning folder '" + Name(1, 'b') + "'.") throw std::runtime_error("first");
        if (text == "Error synchronizing folders.") throw std::runtime_error("second");
    };
    ASSERT_NO_THROW(RunAll(pairs, status));
    ASSERT_GE(status.lines.size(), 2u);
    EXPECT_EQ(Err("Error synchronizing folders."), status.lines[status.lines.size() - 2]);
    EXPECT_EQ(Err("Unknown error during synchronization."), status.lines.back());
    EXPECT_EQ((Set{}), Contents(m_right[2]));
}

} // namespace
