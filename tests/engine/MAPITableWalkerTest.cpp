// Walking a MAPI table: batches, the end of the walk, failures of the table calls, and row sets that
// are freed on every way out.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ScanFixture.h"
#include "base/Errors.h"
#include "engine/MAPITableWalker.h"

namespace {

class CountingWalker : public CMAPITableWalker {
public:
    CountingWalker(const CMAPITagsArray& columns, IMAPITable* table, const ZxIMAPIFolder& object, int batchSize)
        : CMAPITableWalker(columns, table, object, batchSize) {}
    bool OnRowFetched(const SRow& row) override {
        ++rows;
        if (row.cValues > 0 && row.lpProps[0].ulPropTag == PR_SUBJECT_A) subjects += row.lpProps[0].Value.lpszA;
        return true;
    }
    void OnTableEnd() override { ++tableEnds; }
    int rows = 0;
    int tableEnds = 0;
    std::string subjects;
};

class TableWalkerTest : public ScanFixture {
protected:
    void AddItems(int n) {
        for (int i = 0; i < n; ++i) standin::AddItem(m_folderId, std::string(1, static_cast<char>('a' + i % 26)));
    }
    void ExpectMAPIFailure(std::function<void()> walk, HRESULT hr, const std::string& text) {
        try {
            walk();
            ADD_FAILURE() << "no exception";
        } catch (const Error::ZxExceptionMAPI& e) {
            EXPECT_EQ(static_cast<DWORD>(hr), e.GetCode());
            EXPECT_EQ(text, e.GetText());
            EXPECT_EQ("MAPITableWalker", e.GetFileName());
            EXPECT_EQ("CMAPITableWalker::Proceed", e.GetFunctionName());
            EXPECT_GT(e.GetLine(), 0);
        }
    }
};

const char kSetColumnsText[] = "Table walker failed to set columns on the table.";
const char kQueryRowsText[] = "Table walker failed to query rows the table.";

} // namespace

TEST_F(TableWalkerTest, BatchSizeOfOneOrLessBecomesOneHundred) {
    struct Case {
        int given, used;
        long queries;
    };
    // 250 rows: batches of 100 take three calls with rows and the empty one; of 2, 125 and one more.
    const Case cases[] = {{1, 100, 4}, {0, 100, 4}, {-7, 100, 4}, {2, 2, 126}, {200, 200, 3}};
    AddItems(250);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        OpenTable();
        CountingWalker walker({CPropTag(PR_SUBJECT_A)}, m_table.Get(), m_folder, c.given);
        EXPECT_EQ(c.used, walker.GetBatchSize());
        standin::ResetCounters();
        walker.Proceed();
        EXPECT_EQ(c.queries, standin::CallCount("IMAPITable::QueryRows"));
        EXPECT_EQ(250, walker.rows);
        EXPECT_EQ(1, walker.tableEnds);
    }
}

TEST_F(TableWalkerTest, WalksFromTheStartInColumnOrder) {
    AddItems(3);
    OpenTable();
    // A walk that already moved the cursor: the walker seeks back to the beginning.
    SRowSet* moved = nullptr;
    ASSERT_EQ(S_OK, m_table->QueryRows(2, 0, &moved));
    ZxMAPIModule::Instance().FreeRows(moved);
    CountingWalker walker({CPropTag(PR_SUBJECT_A), CPropTag(PR_ENTRYID)}, m_table.Get(), ZxIMAPIFolder(), 10);
    walker.Proceed();
    EXPECT_EQ("abc", walker.subjects);
    EXPECT_EQ(1, walker.tableEnds);
}

TEST_F(TableWalkerTest, EmptyColumnListDoesNothing) {
    AddItems(3);
    OpenTable();
    CountingWalker walker(CMAPITagsArray(), m_table.Get(), m_folder, 10);
    standin::ResetCounters();
    walker.Proceed();
    EXPECT_EQ(0, standin::TotalCalls());
    EXPECT_EQ(0, walker.rows);
    EXPECT_EQ(0, walker.tableEnds);
}

TEST_F(TableWalkerTest, EmptyTableEndsAtOnce) {
    OpenTable();
    CountingWalker walker({CPropTag(PR_SUBJECT_A)}, m_table.Get(), m_folder, 10);
    standin::ResetCounters();
    walker.Proceed();
    EXPECT_EQ(1, standin::CallCount("IMAPITable::QueryRows"));
    EXPECT_EQ(0, walker.rows);
    EXPECT_EQ(1, walker.tableEnds);
}

TEST_F(TableWalkerTest, NamedColumnsAreResolvedAgainstThePropertyObject) {
    static const GUID kSet = {0x00062002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    OpenTable();
    CMAPITagsArray columns{CPropTag(PR_SUBJECT_A), CPropTag(kSet, 0x820D, PT_SYSTIME)};
    CountingWalker resolved(columns, m_table.Get(), m_folder, 10);
    EXPECT_EQ(PR_SUBJECT_A, resolved.GetColumns()[0].GetTag());
    const ULONG tag = resolved.GetColumns()[1].GetTag();
    EXPECT_EQ(static_cast<ULONG>(PT_SYSTIME), PROP_TYPE(tag));
    EXPECT_GE(PROP_ID(tag), 0x8000u);
    // Without an object the tags stay as they are.
    CountingWalker unresolved(columns, m_table.Get(), ZxIMAPIFolder(), 10);
    EXPECT_EQ(columns[1].GetTag(), unresolved.GetColumns()[1].GetTag());
}

TEST_F(TableWalkerTest, SetColumnsFailureThrowsTheTableWalkerError) {
    AddItems(3);
    OpenTable();
    CountingWalker walker({CPropTag(PR_SUBJECT_A)}, m_table.Get(), m_folder, 10);
    standin::FailCall("IMAPITable::SetColumns", 1, MAPI_E_NO_ACCESS);
    ExpectMAPIFailure([&] { walker.Proceed(); }, MAPI_E_NO_ACCESS, kSetColumnsText);
    EXPECT_EQ(0, walker.rows);
    EXPECT_EQ(0, walker.tableEnds);
}

TEST_F(TableWalkerTest, QueryRowsFailureThrowsAtTheFirstOrALaterBatch) {
    AddItems(25);
    for (const long failingCall : {1L, 2L, 3L}) {
        SCOPED_TRACE(failingCall);
        OpenTable();
        CountingWalker walker({CPropTag(PR_SUBJECT_A)}, m_table.Get(), m_folder, 10);
        standin::FailCall("IMAPITable::QueryRows", failingCall, MAPI_E_CALL_FAILED);
        ExpectMAPIFailure([&] { walker.Proceed(); }, MAPI_E_CALL_FAILED, kQueryRowsText);
        EXPECT_EQ(10 * (failingCall - 1), walker.rows);
        EXPECT_EQ(0, walker.tableEnds);
        standin::ClearFaults();
    }
}

TEST_F(TableWalkerTest, SubclassReturningFalseStopsAndEndsOnce) {
    AddItems(300);
    OpenTable();
    RecordingWalker walker(m_table.Get(), m_folder, m_cache, kFolderName);
    walker.stopAtRow = 5;
    standin::ResetCounters();
    walker.Proceed();
    EXPECT_EQ(5, walker.rows);
    EXPECT_EQ(1, walker.tableEnds);
    EXPECT_EQ(1, standin::CallCount("IMAPITable::QueryRows"));
    EXPECT_EQ(5u, walker.GetSeenRecordKeys().size());
}

TEST_F(TableWalkerTest, ExceptionFromARowLeavesWithoutTableEndAndFreesTheRows) {
    AddItems(300);
    OpenTable();
    const long before = standin::LiveBuffers();
    {
        RecordingWalker walker(m_table.Get(), m_folder, m_cache, kFolderName);
        walker.throwAtRow = 250; // in the second batch
        EXPECT_THROW(walker.Proceed(), std::runtime_error);
        EXPECT_EQ(0, walker.tableEnds);
        EXPECT_EQ(2, standin::CallCount("IMAPITable::QueryRows"));
    }
    // The walker's collections hold MAPI-allocated keys until it goes; then only the row sets could remain.
    EXPECT_EQ(before, standin::LiveBuffers());
}
