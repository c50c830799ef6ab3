// A run beside the user: the engine on a fiber of Outlook's thread, handing the thread back to the
// message loop between short steps, with the same result, lines and log as a run in the progress window;
// stopped at Outlook's exit, it ends cleanly with its state saved.
#include "SyncTestSupport.h"

#include "engine/SteppedRun.h"

namespace {

using Set = std::multiset<std::string>;

class SteppedRunTest : public SyncFixture {
protected:
    void TearDown() override {
        CSteppedRun::SetStepMilliseconds(m_previousStep);
        SyncFixture::TearDown();
    }
    // Pairs of fresh folders, each left side with `items` items.
    CAssocsContainer Pairs(int count, int items) {
        CAssocsContainer pairs;
        for (int i = 1; i <= count; ++i) {
            const std::string n = std::to_string(i);
            const standin::Bytes left = AddFolder("S" + n + "a"), right = AddFolder("S" + n + "b");
            for (int k = 0; k < items; ++k) Add(left, "Item" + n + "-" + std::to_string(k), "x");
            m_left.push_back(left);
            m_right.push_back(right);
            pairs.push_back(MakePair(left, "Personal Folders\\S" + n + "a", right, "Personal Folders\\S" + n + "b"));
        }
        return pairs;
    }
    // Outlook's message loop, until the run says it is done; counts the loop's turns.
    int Loop(const bool& done) {
        int turns = 0;
        MSG msg;
        while (!done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageA(&msg);
            ++turns;
        }
        return turns;
    }

    DWORD m_previousStep = CSteppedRun::SetStepMilliseconds(0); // every point where it may give way, it does
    std::vector<standin::Bytes> m_left, m_right;
};

TEST_F(SteppedRunTest, TheRunGoesInStepsThroughTheMessageLoopToTheSameEndAsAManualRun) {
    const CAssocsContainer pairs = Pairs(2, 450); // three scan batches on the left of each pair
    bool done = false;
    CSteppedRun run(kProfile, pairs, [&] { done = true; });
    ASSERT_TRUE(run.Start());
    EXPECT_TRUE(run.IsRunning());
    EXPECT_FALSE(done) << "nothing runs before Outlook's loop does";
    const int turns = Loop(done);

    EXPECT_FALSE(run.IsRunning());
    EXPECT_FALSE(run.HadErrors());
    // Each report, each progress step and each scan batch gave the loop a turn.
    EXPECT_GE(run.Steps(), 2 * (11 + 450 + 3));
    EXPECT_GE(turns, run.Steps());
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(Distinct(m_left[i]), Distinct(m_right[i]));
    ASSERT_FALSE(run.Lines().empty());
    EXPECT_EQ("Synchronization of folders: 'Personal Folders\\S1a' with 'Personal Folders\\S1b'", run.Lines()[0].text);
}

TEST_F(SteppedRunTest, ErrorsAreKeptAsLinesAndTold) {
    CAssocsContainer pairs = Pairs(1, 3);
    standin::DeleteFolder(m_right[0]);
    bool done = false;
    CSteppedRun run(kProfile, pairs, [&] { done = true; });
    ASSERT_TRUE(run.Start());
    Loop(done);
    EXPECT_TRUE(run.HadErrors());
    bool red = false;
    for (const CSteppedRun::Line& line : run.Lines()) red = red || line.error;
    EXPECT_TRUE(red);
}

TEST_F(SteppedRunTest, StoppedAtOutlooksExitTheRunEndsCleanlyWithItsStateSaved) {
    const CAssocsContainer pairs = Pairs(2, 300);
    bool done = false;
    CSteppedRun run(kProfile, pairs, [&] { done = true; });
    ASSERT_TRUE(run.Start());
    // A few turns of the loop: the first pair is under way.
    MSG msg;
    for (int i = 0; i < 40 && GetMessageA(&msg, nullptr, 0, 0) > 0; ++i) DispatchMessageA(&msg);
    ASSERT_TRUE(run.IsRunning());
    run.StopNow();
    EXPECT_FALSE(run.IsRunning());
    EXPECT_FALSE(done) << "Outlook is closing: nobody is told";
    ASSERT_FALSE(run.Lines().empty());
    EXPECT_TRUE(run.Lines().back().error);
    EXPECT_EQ("Synchronization interrupted by user.", run.Lines().back().text);
    EXPECT_EQ((Set{}), Contents(m_right[1])) << "the second pair never ran";

    // The next run completes what was cut off; nothing is doubled.
    bool again = false;
    CSteppedRun next(kProfile, pairs, [&] { again = true; });
    ASSERT_TRUE(next.Start());
    Loop(again);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Distinct(m_left[i]), Distinct(m_right[i]));
        EXPECT_EQ(300u, Contents(m_right[i]).size());
    }
}

} // namespace
