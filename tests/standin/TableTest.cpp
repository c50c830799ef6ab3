// Contents tables as the folder scanner walks them: batches, seeking, column order, ids, and
// error-typed values for columns a row lacks.
#include "Helpers.h"

namespace standin_test {
namespace {

class TableTest : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        for (int k = 0; k < 5; ++k) items_.push_back(standin::AddItem(p_.calendar, "Item " + std::to_string(k)));
        session_ = NewSession();
        store_ = OpenStore(session_.Get(), p_.store);
        folder_ = OpenFolder(store_.Get(), p_.calendar);
        ASSERT_TRUE(folder_);
    }
    void TearDown() override {
        folder_.Reset();
        store_.Reset();
        session_.Reset();
        StandinTest::TearDown();
    }
    ComPtr<IMAPITable> Contents(std::initializer_list<ULONG> columns) {
        ComPtr<IMAPITable> table;
        EXPECT_EQ(folder_->GetContentsTable(0, &table), S_OK);
        std::vector<ULONG> tags(columns);
        std::vector<BYTE> raw(CbNewSPropTagArray(tags.size()));
        auto* cols = reinterpret_cast<LPSPropTagArray>(raw.data());
        cols->cValues = static_cast<ULONG>(tags.size());
        for (size_t k = 0; k < tags.size(); ++k) cols->aulPropTag[k] = tags[k];
        EXPECT_EQ(table->SetColumns(cols, 0), S_OK);
        return table;
    }

    BasicProfile p_;
    std::vector<Bytes> items_;
    ComPtr<IMAPISession> session_;
    ComPtr<IMsgStore> store_;
    ComPtr<IMAPIFolder> folder_;
};

TEST_F(TableTest, QueryRowsReadsBatchesFromTheCursorAndEndsWithAnEmptySet) {
    auto table = Contents({PR_SUBJECT_A});
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    std::vector<std::string> seen;
    std::vector<ULONG> sizes;
    for (;;) {
        Rows rows;
        ASSERT_EQ(table->QueryRows(2, 0, &rows.p), S_OK);
        ASSERT_NE(rows.p, nullptr);
        sizes.push_back(rows.p->cRows);
        if (rows.p->cRows == 0) break;
        for (ULONG r = 0; r < rows.p->cRows; ++r) seen.push_back(rows.p->aRow[r].lpProps[0].Value.lpszA);
    }
    EXPECT_EQ(sizes, (std::vector<ULONG>{2, 2, 1, 0}));
    EXPECT_EQ(seen, (std::vector<std::string>{"Item 0", "Item 1", "Item 2", "Item 3", "Item 4"}));
}

TEST_F(TableTest, SeekRowMovesFromEachOriginAndReportsTheRowsSought) {
    auto table = Contents({PR_SUBJECT_A});
    struct Step {
        BOOKMARK origin;
        LONG count;
        LONG sought;
        const char* next; // subject of the row then at the cursor, null at the end
    } steps[] = {
        {BOOKMARK_BEGINNING, 3, 3, "Item 3"}, {BOOKMARK_CURRENT, -2, -2, "Item 1"}, {BOOKMARK_END, -1, -1, "Item 4"},
        {BOOKMARK_BEGINNING, 9, 5, nullptr},  {BOOKMARK_CURRENT, -9, -5, "Item 0"}, {BOOKMARK_END, 0, 0, nullptr},
    };
    for (const Step& s : steps) {
        LONG sought = 12345;
        ASSERT_EQ(table->SeekRow(s.origin, s.count, &sought), S_OK);
        EXPECT_EQ(sought, s.sought) << "origin " << s.origin << " count " << s.count;
        Rows rows;
        ASSERT_EQ(table->QueryRows(1, TBL_NOADVANCE, &rows.p), S_OK);
        if (s.next) {
            ASSERT_EQ(rows.p->cRows, 1u);
            EXPECT_STREQ(rows.p->aRow[0].lpProps[0].Value.lpszA, s.next);
        } else {
            EXPECT_EQ(rows.p->cRows, 0u);
        }
    }
}

TEST_F(TableTest, ColumnsComeInTheOrderSetAndMissingOnesAreErrorTyped) {
    standin::RemoveItemProp(items_[1], PR_RECORD_KEY);
    auto table = Contents({PR_SUBJECT_A, PR_RECORD_KEY, PR_LONGTERM_ENTRYID_FROM_TABLE, PR_ENTRYID,
                           PR_LAST_MODIFICATION_TIME, PR_BODY_A});
    Rows rows;
    ASSERT_EQ(table->QueryRows(10, 0, &rows.p), S_OK);
    ASSERT_EQ(rows.p->cRows, 5u);
    for (ULONG r = 0; r < 5; ++r) {
        const SRow& row = rows.p->aRow[r];
        ASSERT_EQ(row.cValues, 6u);
        standin::ItemView view;
        ASSERT_TRUE(standin::GetItem(items_[r], &view));
        EXPECT_EQ(row.lpProps[0].ulPropTag, PR_SUBJECT_A);
        if (r == 1) {
            EXPECT_EQ(row.lpProps[1].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_RECORD_KEY)));
            EXPECT_EQ(row.lpProps[1].Value.err, MAPI_E_NOT_FOUND);
        } else {
            ASSERT_EQ(row.lpProps[1].ulPropTag, PR_RECORD_KEY);
            EXPECT_EQ(Of(row.lpProps[1].Value.bin), view.recordKey);
        }
        EXPECT_EQ(Of(row.lpProps[2].Value.bin), view.longTermId);
        EXPECT_EQ(Of(row.lpProps[3].Value.bin), view.shortTermId);
        EXPECT_NE(view.shortTermId, view.longTermId);
        EXPECT_EQ(Ticks(row.lpProps[4].Value.ft), Ticks(view.modified));
        EXPECT_EQ(row.lpProps[5].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_BODY_A)));
    }
}

TEST_F(TableTest, BothTableIdsOpenTheMessage) {
    auto table = Contents({PR_ENTRYID, PR_LONGTERM_ENTRYID_FROM_TABLE});
    Rows rows;
    ASSERT_EQ(table->QueryRows(1, 0, &rows.p), S_OK);
    ASSERT_EQ(rows.p->cRows, 1u);
    for (ULONG c = 0; c < 2; ++c) {
        Bytes id = Of(rows.p->aRow[0].lpProps[c].Value.bin);
        HRESULT hr;
        auto message = OpenMessage(folder_.Get(), id, &hr);
        ASSERT_EQ(hr, S_OK);
        Bytes own;
        ASSERT_EQ(GetBinary(message.Get(), PR_ENTRYID, &own), S_OK);
        EXPECT_EQ(own, items_[0]);
    }
}

TEST_F(TableTest, HrQueryAllRowsUsesTheColumnsGivenAndRefusesMoreRowsThanTheMaximum) {
    ComPtr<IMAPITable> table;
    ASSERT_EQ(folder_->GetContentsTable(0, &table), S_OK);
    SizedSPropTagArray(1, cols) = {1, {PR_SUBJECT_A}};
    Rows rows;
    EXPECT_EQ(HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&cols), nullptr, nullptr, 4, &rows.p),
              MAPI_E_TABLE_TOO_BIG);
    EXPECT_EQ(rows.p, nullptr);
    ASSERT_EQ(HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&cols), nullptr, nullptr, 5, &rows.p),
              S_OK);
    ASSERT_EQ(rows.p->cRows, 5u);
    EXPECT_EQ(rows.p->aRow[4].cValues, 1u);
    EXPECT_STREQ(rows.p->aRow[4].lpProps[0].Value.lpszA, "Item 4");
}

TEST_F(TableTest, RowsAreASnapshotTakenWhenTheTableIsMade) {
    auto table = Contents({PR_SUBJECT_A});
    standin::AddItem(p_.calendar, "Late");
    standin::DeleteItem(items_[0]);
    ULONG count = 0;
    ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 5u);
    auto fresh = Contents({PR_SUBJECT_A});
    ASSERT_EQ(fresh->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 5u);
    Rows rows;
    ASSERT_EQ(fresh->QueryRows(10, 0, &rows.p), S_OK);
    EXPECT_STREQ(rows.p->aRow[0].lpProps[0].Value.lpszA, "Item 1");
    EXPECT_STREQ(rows.p->aRow[4].lpProps[0].Value.lpszA, "Late");
}

// A table's rows share their items' values until a change: every way an item changes leaves the rows
// of a table made before it as they were, and a table made after it shows the change.
TEST_F(TableTest, RowsKeepTheValuesTheItemsHadWhenTheTableWasMade) {
    auto table = Contents({PR_SUBJECT_A});
    ASSERT_TRUE(standin::EditItem(items_[0], {{PR_SUBJECT_A, standin::Value::String("Edited")}}));
    ASSERT_TRUE(standin::SetItemProp(items_[1], PR_SUBJECT_A, standin::Value::String("Set")));
    ASSERT_TRUE(standin::RemoveItemProp(items_[2], PR_SUBJECT_A));
    ComPtr<IMessage> message = OpenMessage(folder_.Get(), items_[3]);
    ASSERT_TRUE(message);
    ASSERT_EQ(SetText(message.Get(), PR_SUBJECT_A, "Saved"), S_OK);
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);

    Rows before;
    ASSERT_EQ(table->QueryRows(10, 0, &before.p), S_OK);
    ASSERT_EQ(before.p->cRows, 5u);
    for (ULONG r = 0; r < 5; ++r) {
        ASSERT_EQ(before.p->aRow[r].lpProps[0].ulPropTag, PR_SUBJECT_A) << r;
        EXPECT_EQ(std::string(before.p->aRow[r].lpProps[0].Value.lpszA), "Item " + std::to_string(r));
    }
    auto fresh = Contents({PR_SUBJECT_A});
    Rows after;
    ASSERT_EQ(fresh->QueryRows(10, 0, &after.p), S_OK);
    ASSERT_EQ(after.p->cRows, 5u);
    EXPECT_STREQ(after.p->aRow[0].lpProps[0].Value.lpszA, "Edited");
    EXPECT_STREQ(after.p->aRow[1].lpProps[0].Value.lpszA, "Set");
    EXPECT_EQ(PROP_TYPE(after.p->aRow[2].lpProps[0].ulPropTag), static_cast<ULONG>(PT_ERROR));
    EXPECT_STREQ(after.p->aRow[3].lpProps[0].Value.lpszA, "Saved");
    EXPECT_STREQ(after.p->aRow[4].lpProps[0].Value.lpszA, "Item 4");
}

// Deletions in bulk (and moves out) keep the other items in their order, however many go at once; the
// items added afterwards follow them, and an item moved back comes last.
TEST_F(TableTest, MassDeletionsKeepTheContentsOrder) {
    std::vector<Bytes> all = items_;
    for (int k = 5; k < 300; ++k) all.push_back(standin::AddItem(p_.calendar, "Item " + std::to_string(k)));
    std::vector<std::string> expected;
    Bytes moved;
    for (size_t k = 0; k < all.size(); ++k) {
        if (k == 7) {
            moved = all[k];
            ASSERT_TRUE(standin::MoveItem(moved, p_.contacts));
        } else if (k % 5 != 0) {
            ASSERT_TRUE(standin::DeleteItem(all[k]));
        } else {
            expected.push_back("Item " + std::to_string(k));
        }
    }
    standin::AddItem(p_.calendar, "After");
    expected.push_back("After");
    ASSERT_TRUE(standin::MoveItem(moved, p_.calendar));
    expected.push_back("Item 7");

    std::vector<std::string> subjects;
    for (const standin::ItemView& item : standin::Items(p_.calendar)) subjects.push_back(item.subject);
    EXPECT_EQ(expected, subjects);
    auto table = Contents({PR_SUBJECT_A});
    Rows rows;
    ASSERT_EQ(table->QueryRows(1000, 0, &rows.p), S_OK);
    std::vector<std::string> rowSubjects;
    for (ULONG r = 0; r < rows.p->cRows; ++r) rowSubjects.push_back(rows.p->aRow[r].lpProps[0].Value.lpszA);
    EXPECT_EQ(expected, rowSubjects);
    EXPECT_EQ(expected.size(), standin::Items(p_.calendar).size());
}

} // namespace
} // namespace standin_test
