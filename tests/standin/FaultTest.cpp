// Fault injection and call counting: a fault armed for call k fails exactly that call.
#include "Helpers.h"

namespace standin_test {
namespace {

class FaultTest : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        item_ = standin::AddItem(p_.calendar, "Item");
        session_ = NewSession();
        store_ = OpenStore(session_.Get(), p_.store);
        folder_ = OpenFolder(store_.Get(), p_.calendar);
        message_ = OpenMessage(folder_.Get(), item_);
        ASSERT_TRUE(message_);
        standin::ResetCounters();
    }
    void TearDown() override {
        message_.Reset();
        folder_.Reset();
        store_.Reset();
        session_.Reset();
        StandinTest::TearDown();
    }

    BasicProfile p_;
    Bytes item_;
    ComPtr<IMAPISession> session_;
    ComPtr<IMsgStore> store_;
    ComPtr<IMAPIFolder> folder_;
    ComPtr<IMessage> message_;
};

TEST_F(FaultTest, TheKthCallOfANamedMethodFailsAndNoOther) {
    struct Case {
        const char* method;
        long k;
    } cases[] = {{"IMessage::SaveChanges", 1}, {"IMessage::SaveChanges", 3}, {"IMAPIProp::SaveChanges", 2}};
    for (const Case& c : cases) {
        standin::ClearFaults();
        standin::FailCall(c.method, c.k, MAPI_E_DISK_ERROR);
        for (long call = 1; call <= 4; ++call) {
            HRESULT hr = message_->SaveChanges(KEEP_OPEN_READWRITE);
            EXPECT_EQ(hr, call == c.k ? MAPI_E_DISK_ERROR : S_OK) << c.method << " k=" << c.k << " call " << call;
        }
        EXPECT_EQ(standin::FaultsFired(), 1);
    }
}

TEST_F(FaultTest, AFaultedCallHasNoEffect) {
    standin::FailCall("IMAPIFolder::DeleteMessages", 1, MAPI_E_CALL_FAILED);
    SBinary bin{Cb(item_), reinterpret_cast<LPBYTE>(const_cast<char*>(item_.data()))};
    ENTRYLIST list{1, &bin};
    EXPECT_EQ(folder_->DeleteMessages(&list, 0, nullptr, 0), MAPI_E_CALL_FAILED);
    EXPECT_TRUE(standin::ItemExists(item_));
    standin::FailCall("IMAPIFolder::CreateMessage", 1, MAPI_E_NOT_ENOUGH_MEMORY);
    ComPtr<IMessage> m;
    EXPECT_EQ(folder_->CreateMessage(nullptr, 0, &m), MAPI_E_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(m);
}

TEST_F(FaultTest, HrGetOnePropIsOneCallAndCanBeFaultedItself) {
    Bytes id;
    ASSERT_EQ(GetBinary(message_.Get(), PR_RECORD_KEY, &id), S_OK);
    EXPECT_EQ(standin::TotalCalls(), 1);
    EXPECT_EQ(standin::CallCount("HrGetOneProp"), 1);
    EXPECT_EQ(standin::CallCount("IMessage::GetProps"), 0);
    standin::FailCall("HrGetOneProp", 2, MAPI_E_NO_ACCESS);
    EXPECT_EQ(GetBinary(message_.Get(), PR_RECORD_KEY, &id), S_OK);
    EXPECT_EQ(GetBinary(message_.Get(), PR_RECORD_KEY, &id), MAPI_E_NO_ACCESS);
    EXPECT_EQ(GetBinary(message_.Get(), PR_RECORD_KEY, &id), S_OK);
}

TEST_F(FaultTest, CountersNameTheObjectsInterfaceAndTheDeclaringOne) {
    ULONG count = 0;
    LPSPropValue values = nullptr;
    ASSERT_EQ(message_->GetProps(nullptr, 0, &count, &values), S_OK);
    MAPIFreeBuffer(values);
    ComPtr<IMAPITable> table;
    ASSERT_EQ(folder_->GetContentsTable(0, &table), S_OK);
    ASSERT_EQ(table->QueryRows(1, 0, nullptr), MAPI_E_INVALID_PARAMETER);
    auto counts = standin::CallCounts();
    EXPECT_EQ(counts["IMessage::GetProps"], 1);
    EXPECT_EQ(counts["IMAPIProp::GetProps"], 1);
    EXPECT_EQ(counts["IMAPIFolder::GetContentsTable"], 1);
    EXPECT_EQ(counts["IMAPIContainer::GetContentsTable"], 1);
    EXPECT_EQ(counts["IMAPITable::QueryRows"], 1);
    EXPECT_EQ(standin::TotalCalls(), 3);
    standin::ResetCounters();
    EXPECT_EQ(standin::TotalCalls(), 0);
    EXPECT_TRUE(standin::CallCounts().empty());
}

TEST_F(FaultTest, TheNthCallOverallFailsWhateverItIs) {
    standin::FailNthCall(3, MAPI_E_NETWORK_ERROR);
    ComPtr<IMAPITable> table;
    ASSERT_EQ(folder_->GetContentsTable(0, &table), S_OK); // 1
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK); // 2
    Rows rows;
    EXPECT_EQ(table->QueryRows(10, 0, &rows.p), MAPI_E_NETWORK_ERROR); // 3
    EXPECT_EQ(rows.p, nullptr);
    ASSERT_EQ(table->QueryRows(10, 0, &rows.p), S_OK); // 4
    EXPECT_EQ(rows.p->cRows, 1u);
}

TEST_F(FaultTest, APersistentFaultFailsEveryCallFromTheKth) {
    standin::FailCall("IMAPITable::QueryRows", 2, MAPI_E_TIMEOUT, -1);
    ComPtr<IMAPITable> table;
    ASSERT_EQ(folder_->GetContentsTable(0, &table), S_OK);
    Rows rows;
    ASSERT_EQ(table->QueryRows(1, 0, &rows.p), S_OK);
    rows.Reset();
    for (int k = 0; k < 3; ++k) EXPECT_EQ(table->QueryRows(1, 0, &rows.p), MAPI_E_TIMEOUT);
    standin::ClearFaults();
    EXPECT_EQ(table->QueryRows(1, 0, &rows.p), S_OK);
}

TEST_F(FaultTest, AllocationCanBeFaulted) {
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY);
    void* p = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(MAPIAllocateBuffer(16, &p), MAPI_E_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(MAPIAllocateBuffer(16, &p), S_OK);
    MAPIFreeBuffer(p);
}

} // namespace
} // namespace standin_test
