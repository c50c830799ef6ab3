#include <gtest/gtest.h>

#include <windows.h>
#include <mapix.h>
#include <mapicode.h>
#include <mapiutil.h>

#include "Standin.h"
#include "base/Archive.h"
#include "mapi/Binary.h"
#include "mapi/MAPIModule.h"

#include <wrl/client.h>

#include <functional>
#include <new>

using Microsoft::WRL::ComPtr;

namespace {
// The module's flag is process-wide: each test that switches it on switches it back at the end.
class MAPIInUse : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Reset();
        ZxMAPIModule::Instance().SetMAPIInUse(true);
        m_buffersBefore = standin::LiveBuffers();
    }
    void TearDown() override {
        EXPECT_EQ(m_buffersBefore, standin::LiveBuffers()) << "a MAPI buffer leaked";
        ZxMAPIModule::Instance().SetMAPIInUse(false);
        standin::ClearFaults();
    }
    long m_buffersBefore = 0;
};
} // namespace

TEST(MAPIModule, IsOneInstanceStartingOnTheProcessHeap) {
    ZxMAPIModule& m = ZxMAPIModule::Instance();
    EXPECT_EQ(&m, &ZxMAPIModule::Instance());
    EXPECT_FALSE(m.IsMAPIInUse());
}

TEST(MAPIModule, BeforeConnectionBlocksPairOnTheProcessHeap) {
    standin::Reset();
    ZxMAPIModule& m = ZxMAPIModule::Instance();
    ASSERT_FALSE(m.IsMAPIInUse());
    const long buffers = standin::LiveBuffers();
    void* p = nullptr;
    ASSERT_EQ(S_OK, m.AllocateBuffer(64, &p));
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, p));
    EXPECT_GE(HeapSize(GetProcessHeap(), 0, p), 64u);
    EXPECT_EQ(buffers, standin::LiveBuffers());
    EXPECT_EQ(0, standin::CallCount("MAPIAllocateBuffer"));
    EXPECT_EQ(S_OK, m.FreeBuffer(p));
    EXPECT_EQ(S_OK, m.FreeBuffer(nullptr));

    ZxSBinary b(3, reinterpret_cast<const BYTE*>("abc"));
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, b.Data()));
    EXPECT_EQ(0, standin::CallCount("MAPIAllocateBuffer"));
}

TEST_F(MAPIInUse, BinaryBytesComeFromMAPIAndGoBackToIt) {
    ZxMAPIModule& m = ZxMAPIModule::Instance();
    ASSERT_TRUE(m.IsMAPIInUse());
    {
        ZxSBinary b(2, reinterpret_cast<const BYTE*>("\x0A\x0B"));
        EXPECT_EQ(1, standin::CallCount("MAPIAllocateBuffer"));
        EXPECT_EQ(m_buffersBefore + 1, standin::LiveBuffers());
        ZxSBinary copy(b);
        EXPECT_EQ(2, standin::CallCount("MAPIAllocateBuffer"));
        EXPECT_EQ(m_buffersBefore + 2, standin::LiveBuffers());
        ZxSBinary empty;
        ZxSBinary copyOfEmpty(empty);
        EXPECT_EQ(2, standin::CallCount("MAPIAllocateBuffer")); // nothing to allocate
    }
    EXPECT_EQ(m_buffersBefore, standin::LiveBuffers());
}

// Out of memory is a failure, never an empty identifier: every way of copying bytes into a binary throws
// and leaves the value (and MAPI's live buffers, checked on tear-down) as they were.
TEST_F(MAPIInUse, AFailedAllocationThrowsAndKeepsTheValue) {
    const ZxSBinary source(3, reinterpret_cast<const BYTE*>("xyz"));
    const SBinary raw = source.AsSBinary();
    ZxSBinary held(2, reinterpret_cast<const BYTE*>("ab"));
    const long buffers = standin::LiveBuffers();
    const struct {
        const char* what;
        std::function<void()> copy;
    } cases[] = {
        {"construction from bytes", [] { ZxSBinary b(3, reinterpret_cast<const BYTE*>("xyz")); }},
        {"construction from SBinary", [&] { ZxSBinary b(raw); }},
        {"copy construction", [&] { ZxSBinary b(source); }},
        {"copy assignment", [&] { held = source; }},
        {"assignment from SBinary", [&] { held = raw; }},
        {"Set", [&] { held.Set(raw); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        standin::ClearFaults();
        standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY);
        EXPECT_THROW(c.copy(), std::bad_alloc);
        EXPECT_EQ(1, standin::FaultsFired());
        EXPECT_EQ("6162", held.ToHex());
        EXPECT_EQ(buffers, standin::LiveBuffers());
    }

    // Reading a binary from an archive: the same failure, the value empty, nothing allocated.
    ZxMemoryArchive archive;
    WriteBinary(archive, source);
    archive.Rewind();
    standin::ClearFaults();
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY);
    EXPECT_THROW(ReadBinary(archive, held), std::bad_alloc);
    EXPECT_FALSE(held.HasData());
    EXPECT_EQ(buffers - 1, standin::LiveBuffers()); // the held bytes were let go, no new ones taken

    // An empty source needs no memory, so it cannot fail.
    standin::ClearFaults();
    standin::FailCall("MAPIAllocateBuffer", 1, MAPI_E_NOT_ENOUGH_MEMORY);
    const ZxSBinary empty;
    EXPECT_NO_THROW({ ZxSBinary copy(empty); });
    EXPECT_EQ(0, standin::FaultsFired());

    // The module itself reports the failure as MAPI does.
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(MAPI_E_NOT_ENOUGH_MEMORY, ZxMAPIModule::Instance().AllocateBuffer(8, &p));
    EXPECT_EQ(nullptr, p);
}

TEST_F(MAPIInUse, ArchiveReadsAllocateOnlyWhatTheDataHolds) {
    ZxMemoryArchive w;
    WriteBinary(w, ZxSBinary(2, reinterpret_cast<const BYTE*>("\x01\x02")));
    const long afterWrite = standin::CallCount("MAPIAllocateBuffer");
    w.Rewind();
    ZxSBinary read;
    EXPECT_TRUE(ReadBinary(w, read));
    EXPECT_EQ("0102", read.ToHex());
    EXPECT_EQ(afterWrite + 1, standin::CallCount("MAPIAllocateBuffer"));

    const BYTE hostile[] = {4, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0x7F, 1, 2, 3};
    ZxMemoryArchive h;
    h.LoadFromMemory(hostile, sizeof hostile);
    ZxSBinary none;
    EXPECT_FALSE(ReadBinary(h, none));
    EXPECT_EQ(afterWrite + 1, standin::CallCount("MAPIAllocateBuffer")); // no allocation at all
}

TEST_F(MAPIInUse, PropertyValuesAndRowSetsAreReleasedThroughMAPI) {
    standin::StoreSpec descr;
    descr.displayName = "Mailbox";
    descr.isDefault = true;
    const standin::Bytes storeId = standin::AddStore(descr);
    // MinGW-w64's ComPtr::Attach adds a reference of its own: the new session's one is handed over instead.
    ComPtr<IMAPISession> session;
    *session.ReleaseAndGetAddressOf() = standin::NewSession();
    ASSERT_TRUE(session);
    ZxMAPIModule& m = ZxMAPIModule::Instance();
    {
        ComPtr<IMsgStore> store;
        ASSERT_EQ(S_OK, session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()),
                                              reinterpret_cast<ENTRYID*>(const_cast<char*>(storeId.data())), nullptr,
                                              MDB_NO_DIALOG, store.GetAddressOf()));
        SPropValue* value = nullptr;
        const long before = standin::LiveBuffers();
        ASSERT_EQ(S_OK, m.GetOneProp(store.Get(), PR_DISPLAY_NAME_A, &value));
        ASSERT_NE(nullptr, value);
        EXPECT_STREQ("Mailbox", value->Value.lpszA);
        EXPECT_EQ(1, standin::CallCount("HrGetOneProp"));
        EXPECT_EQ(before + 1, standin::LiveBuffers());
        EXPECT_EQ(S_OK, m.FreeBuffer(value));
        EXPECT_EQ(before, standin::LiveBuffers());
    }
    {
        ComPtr<IMAPITable> table;
        ASSERT_EQ(S_OK, session->GetMsgStoresTable(0, table.GetAddressOf()));
        SizedSPropTagArray(1, columns) = {1, {PR_DISPLAY_NAME_A}};
        SRowSet* rows = nullptr;
        const long before = standin::LiveBuffers();
        ASSERT_EQ(S_OK,
                  m.QueryAllRows(table.Get(), reinterpret_cast<SPropTagArray*>(&columns), nullptr, nullptr, 0, &rows));
        ASSERT_NE(nullptr, rows);
        ASSERT_EQ(1u, rows->cRows);
        EXPECT_STREQ("Mailbox", rows->aRow[0].lpProps[0].Value.lpszA);
        EXPECT_EQ(1, standin::CallCount("HrQueryAllRows"));
        EXPECT_LT(before, standin::LiveBuffers());
        m.FreeRows(rows);
        EXPECT_EQ(before, standin::LiveBuffers());
    }
}
