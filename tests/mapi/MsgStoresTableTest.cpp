// The profile's stores table as the folder picker reads it, and the exceptions it throws.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "support/MapiWorld.h"
#include "base/Errors.h"
#include "mapi/MsgStoresTableFromProfile.h"

using standin::Bytes;
using standin::ProviderKind;

namespace {

// A table created over a fresh session; the session reference is the table's own afterwards.
std::unique_ptr<CMsgStoresTableFromProfile> NewTable() {
    auto table = std::make_unique<CMsgStoresTableFromProfile>();
    IMAPISession* session = standin::NewSession();
    table->Create(session);
    session->Release();
    return table;
}

Bytes AddStore(const std::string& name, ProviderKind kind, bool isDefault = false) {
    standin::StoreSpec descr;
    descr.displayName = name;
    descr.kind = kind;
    descr.isDefault = isDefault;
    return standin::AddStore(descr);
}

} // namespace

class MsgStoresTableTest : public MapiWorldTest {};

TEST_F(MsgStoresTableTest, OneRowPerStoreInTableOrder) {
    struct Row {
        std::string name;
        ProviderKind kind;
        bool isDefault;
        Bytes id;
    } rows[] = {
        {"Mailbox - Ann", ProviderKind::PersonalFolders, true, {}},
        {"Public Folders", ProviderKind::ExchangePublic, false, {}},
        {"Archive", ProviderKind::Other, false, {}},
    };
    for (Row& r : rows) r.id = AddStore(r.name, r.kind, r.isDefault);
    ASSERT_EQ(standin::Stores().size(), 3u);

    auto table = NewTable();
    ASSERT_EQ(table->GetRowCount(), 3u);
    for (ULONG i = 0; i < 3; ++i) {
        const Row& r = rows[i];
        EXPECT_EQ(standin::Stores()[i], r.id);
        EXPECT_EQ(table->GetDisplayName(i), r.name) << i;
        EXPECT_EQ(table->IsDefaultStore(i), r.isDefault) << i;
        EXPECT_EQ(Raw(table->GetProvider(i)), standin::ProviderBytes(r.kind)) << i;
        EXPECT_EQ(Raw(table->GetEntryID(i)), r.id) << i;
    }
}

TEST_F(MsgStoresTableTest, ErrorValuedColumnsGiveEmptyValues) {
    standin::StoreSpec descr;
    descr.displayName = "No name in table";
    descr.omitDisplayNameInTable = true;
    descr.isDefault = true;
    descr.omitInTable = {PR_DEFAULT_STORE, PR_MDB_PROVIDER};
    Bytes store = standin::AddStore(descr);

    auto table = NewTable();
    ASSERT_EQ(table->GetRowCount(), 1u);
    EXPECT_EQ(table->GetDisplayName(0), "");
    EXPECT_FALSE(table->IsDefaultStore(0));
    EXPECT_FALSE(table->GetProvider(0).HasData());
    EXPECT_EQ(Raw(table->GetEntryID(0)), store); // the other columns still read
}

TEST_F(MsgStoresTableTest, EntryIdPrefersTheStoresOwnId) {
    standin::StoreSpec descr;
    descr.displayName = "Table id differs";
    descr.tableIdDiffers = true;
    Bytes store = standin::AddStore(descr);
    ASSERT_NE(standin::StoreTableId(store), store);

    auto table = NewTable();
    EXPECT_EQ(Raw(table->GetEntryID(0)), store);
    EXPECT_EQ(Raw(table->GetStoreEntryID(Zx(standin::StoreTableId(store)))), store);
}

TEST_F(MsgStoresTableTest, StoreThatCannotBeOpenedGivesTheTableId) {
    standin::StoreSpec descr;
    descr.displayName = "Offline";
    descr.unopenable = true;
    descr.tableIdDiffers = true;
    Bytes store = standin::AddStore(descr);
    const Bytes tableId = standin::StoreTableId(store);
    ASSERT_FALSE(tableId.empty());

    auto table = NewTable();
    EXPECT_EQ(Raw(table->GetEntryID(0)), tableId);
    EXPECT_FALSE(table->GetStoreEntryID(Zx(tableId)).HasData());
}

TEST_F(MsgStoresTableTest, FailuresInsideTheStoreLookupFallBackToTheTableId) {
    standin::StoreSpec descr;
    descr.tableIdDiffers = true;
    Bytes store = standin::AddStore(descr);
    const Bytes tableId = standin::StoreTableId(store);
    auto table = NewTable();

    for (const char* method : {"IMAPISession::OpenEntry", "HrGetOneProp"}) {
        standin::FailCall(method, 1, MAPI_E_NETWORK_ERROR);
        EXPECT_EQ(Raw(table->GetEntryID(0)), tableId) << method;
        EXPECT_EQ(standin::FaultsFired(), 1) << method;
        standin::ClearFaults();
    }
}

TEST_F(MsgStoresTableTest, RowWithoutEntryIdGivesNothingAndOpensNothing) {
    standin::StoreSpec descr;
    descr.omitInTable = {PR_ENTRYID};
    standin::AddStore(descr);
    auto table = NewTable();
    standin::ResetCounters();
    EXPECT_FALSE(table->GetEntryID(0).HasData());
    EXPECT_EQ(standin::CallCount("IMAPISession::OpenEntry"), 0);
}

TEST_F(MsgStoresTableTest, EveryGetterSeeksAfresh) {
    AddStore("First", ProviderKind::PersonalFolders, true);
    AddStore("Second", ProviderKind::Other);
    auto table = NewTable();
    standin::ResetCounters();

    EXPECT_EQ(table->GetDisplayName(1), "Second");
    EXPECT_EQ(table->GetDisplayName(0), "First");
    EXPECT_EQ(table->GetDisplayName(1), "Second");
    EXPECT_TRUE(table->IsDefaultStore(0));
    EXPECT_TRUE(table->GetProvider(1).HasData());
    EXPECT_EQ(standin::CallCount("IMAPITable::SeekRow"), 5);
    EXPECT_EQ(standin::CallCount("IMAPITable::QueryRows"), 5);
}

TEST_F(MsgStoresTableTest, RowPastTheEndGivesEmptyValues) {
    AddStore("Only", ProviderKind::PersonalFolders, true);
    auto table = NewTable();
    EXPECT_EQ(table->GetDisplayName(3), "");
    EXPECT_FALSE(table->IsDefaultStore(3));
    EXPECT_FALSE(table->GetProvider(3).HasData());
    EXPECT_FALSE(table->GetEntryID(3).HasData());

    ZxSRowSet rows;
    table->Seek(3, rows);
    EXPECT_TRUE(rows.IsValid());
    EXPECT_EQ(rows.RowCount(), 0u);
}

TEST_F(MsgStoresTableTest, FailedRowCountIsZero) {
    AddStore("One", ProviderKind::PersonalFolders);
    auto table = NewTable();
    standin::FailCall("IMAPITable::GetRowCount", 1, MAPI_E_BUSY);
    EXPECT_EQ(table->GetRowCount(), 0u);
    EXPECT_EQ(table->GetRowCount(), 1u);
}

TEST_F(MsgStoresTableTest, CreatingAgainReplacesTheTable) {
    AddStore("One", ProviderKind::PersonalFolders);
    auto table = NewTable();
    IMAPISession* session = standin::NewSession();
    AddStore("Two", ProviderKind::Other);
    table->Create(session);
    session->Release();
    EXPECT_EQ(table->GetRowCount(), 2u);
}

// ---- Exceptions -------------------------------------------------------------------------------

namespace {

struct ThrowCase {
    const char* what;
    std::function<void()> arm; // faults, before the table is made
    bool create; // Create before acting
    std::function<void(CMsgStoresTableFromProfile&)> act;
    bool isMapi;
    HRESULT code;
    const char* text;
    const char* module;
    const char* function;
    int line;
};

} // namespace

TEST_F(MsgStoresTableTest, ThrowsTheDocumentedExceptions) {
    const auto createWithSession = [](CMsgStoresTableFromProfile& t) {
        IMAPISession* session = standin::NewSession();
        try {
            t.Create(session);
        } catch (...) {
            session->Release();
            throw;
        }
        session->Release();
    };
    const auto fail = [](const char* method, HRESULT hr) { return [=] { standin::FailCall(method, 1, hr); }; };
    const auto none = [] {};

    const ThrowCase cases[] = {
        {"row count before Create", none, false, [](auto& t) { t.GetRowCount(); }, false, 0,
         "NULL  MsgStoresTable pointer.", "MsgStoresTable", "", 16},
        {"seek before Create", none, false,
         [](auto& t) {
             ZxSRowSet r;
             t.Seek(0, r);
         },
         false, 0, "NULL  MsgStoresTable pointer.", "MsgStoresTable", "", 26},
        {"getter before Create", none, false, [](auto& t) { t.GetDisplayName(0); }, false, 0,
         "NULL  MsgStoresTable pointer.", "MsgStoresTable", "", 26},
        {"GetMsgStoresTable fails", fail("IMAPISession::GetMsgStoresTable", MAPI_E_NO_ACCESS), false, createWithSession,
         true, MAPI_E_NO_ACCESS, "Failed to obtain message stores table.", "MsgStoresTableFromProfile",
         "CMsgStoresTableFromProfile::Create", 22},
        {"no session", none, false,
         [](auto& t) {
             IMAPISession* session = standin::NewSession();
             IMsgStore* store = nullptr;
             Bytes id = standin::Stores().front();
             session->OpenMsgStore(0, static_cast<ULONG>(id.size()), reinterpret_cast<ENTRYID*>(id.data()), nullptr,
                                   MAPI_BEST_ACCESS, &store);
             session->Release();
             try {
                 t.Create(store); // not a session
             } catch (...) {
                 store->Release();
                 throw;
             }
             store->Release();
         },
         true, E_FAIL, "Failed to obtain message stores table.", "MsgStoresTableFromProfile",
         "CMsgStoresTableFromProfile::Create", 22},
        {"SetColumns fails", fail("IMAPITable::SetColumns", MAPI_E_TOO_COMPLEX), false, createWithSession, true,
         MAPI_E_TOO_COMPLEX, "Failed to set columns on message stores table.", "MsgStoresTableFromProfile",
         "CMsgStoresTableFromProfile::Create", 26},
        {"SeekRow fails", fail("IMAPITable::SeekRow", MAPI_E_INVALID_BOOKMARK), true,
         [](auto& t) { t.GetDisplayName(0); }, true, MAPI_E_INVALID_BOOKMARK,
         "Failed to seek rows on message stores table.", "MsgStoresTable", "CMsgStoresTable::Seek", 32},
        {"QueryRows fails", fail("IMAPITable::QueryRows", MAPI_E_NOT_ENOUGH_MEMORY), true,
         [](auto& t) { t.GetEntryID(0); }, true, MAPI_E_NOT_ENOUGH_MEMORY,
         "Failed to query rows on message stores table.", "MsgStoresTable", "CMsgStoresTable::Seek", 34},
    };

    for (const ThrowCase& c : cases) {
        SCOPED_TRACE(c.what);
        standin::Reset("Outlook");
        AddStore("Personal Folders", ProviderKind::PersonalFolders, true);
        CMsgStoresTableFromProfile table;
        if (c.create) createWithSession(table);
        c.arm();
        bool thrown = false;
        try {
            c.act(table);
        } catch (const Error::ZxException& e) {
            thrown = true;
            EXPECT_EQ(e.GetFileName(), c.module);
            EXPECT_EQ(e.GetFunctionName(), c.function);
            EXPECT_EQ(e.GetLine(), c.line);
            if (c.isMapi) {
                auto* mapi = dynamic_cast<const Error::ZxExceptionMAPI*>(&e);
                ASSERT_NE(mapi, nullptr);
                EXPECT_EQ(mapi->GetText(), c.text);
                EXPECT_EQ(static_cast<HRESULT>(mapi->GetCode()), c.code);
            } else {
                auto* text = dynamic_cast<const Error::ZxExceptionText*>(&e);
                ASSERT_NE(text, nullptr);
                EXPECT_EQ(text->GetText(), c.text);
                EXPECT_EQ(e.GetErrorText(), c.text);
            }
        }
        EXPECT_TRUE(thrown);
    }
}
