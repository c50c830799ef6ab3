// The session, the stores table and the stores: what the product reads to list, classify and
// open stores and to find the profile's name.
#include "Helpers.h"

#include <cstring>

namespace standin_test {
namespace {

using SessionTest = StandinTest;

standin::StoreSpec StoreDescr(const std::string& name, standin::ProviderKind kind, bool isDefault = false) {
    standin::StoreSpec s;
    s.displayName = name;
    s.kind = kind;
    s.isDefault = isDefault;
    return s;
}

TEST_F(SessionTest, StoresTableHasOneRowPerStoreWithColumnsInTheOrderSet) {
    Bytes a = standin::AddStore(StoreDescr("Personal Folders", standin::ProviderKind::PersonalFolders, true));
    Bytes b = standin::AddStore(StoreDescr("Public Folders", standin::ProviderKind::ExchangePublic));
    Bytes c = standin::AddStore(StoreDescr("Archive", standin::ProviderKind::Other));
    auto session = NewSession();
    ComPtr<IMAPITable> table;
    ASSERT_EQ(session->GetMsgStoresTable(0, &table), S_OK);
    SizedSPropTagArray(4, cols) = {4, {PR_MDB_PROVIDER, PR_DISPLAY_NAME_A, PR_ENTRYID, PR_DEFAULT_STORE}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&cols), 0), S_OK);
    ULONG count = 0;
    ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 3u);
    const Bytes ids[] = {a, b, c};
    const char* names[] = {"Personal Folders", "Public Folders", "Archive"};
    const standin::ProviderKind kinds[] = {standin::ProviderKind::PersonalFolders,
                                           standin::ProviderKind::ExchangePublic, standin::ProviderKind::Other};
    for (ULONG row : {2u, 0u, 1u}) { // random access as the picker does it
        Rows rows;
        ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, static_cast<LONG>(row), nullptr), S_OK);
        ASSERT_EQ(table->QueryRows(1, 0, &rows.p), S_OK);
        ASSERT_EQ(rows.p->cRows, 1u);
        const SRow& r = rows.p->aRow[0];
        ASSERT_EQ(r.cValues, 4u);
        EXPECT_EQ(r.lpProps[0].ulPropTag, PR_MDB_PROVIDER);
        EXPECT_EQ(Of(r.lpProps[0].Value.bin), standin::ProviderBytes(kinds[row]));
        EXPECT_EQ(r.lpProps[1].ulPropTag, PR_DISPLAY_NAME_A);
        EXPECT_STREQ(r.lpProps[1].Value.lpszA, names[row]);
        EXPECT_EQ(r.lpProps[2].ulPropTag, PR_ENTRYID);
        EXPECT_EQ(Of(r.lpProps[2].Value.bin), ids[row]);
        EXPECT_EQ(r.lpProps[3].ulPropTag, PR_DEFAULT_STORE);
        EXPECT_EQ(r.lpProps[3].Value.b != 0, row == 0);
    }
}

TEST_F(SessionTest, ARowLackingAColumnGivesAnErrorTypedValue) {
    standin::StoreSpec descr = StoreDescr("Hidden", standin::ProviderKind::PersonalFolders);
    descr.omitDisplayNameInTable = true;
    descr.omitInTable = {PR_MDB_PROVIDER};
    standin::AddStore(descr);
    auto session = NewSession();
    ComPtr<IMAPITable> table;
    ASSERT_EQ(session->GetMsgStoresTable(0, &table), S_OK);
    SizedSPropTagArray(3, cols) = {3, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_MDB_PROVIDER}};
    Rows rows;
    ASSERT_EQ(HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&cols), nullptr, nullptr, 0, &rows.p),
              S_OK);
    ASSERT_EQ(rows.p->cRows, 1u);
    const SPropValue* v = rows.p->aRow[0].lpProps;
    EXPECT_EQ(v[0].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_DISPLAY_NAME_A)));
    EXPECT_EQ(v[0].Value.err, MAPI_E_NOT_FOUND);
    EXPECT_EQ(v[1].ulPropTag, PR_ENTRYID);
    EXPECT_EQ(v[2].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_MDB_PROVIDER)));
}

TEST_F(SessionTest, ProviderBytesOfEveryKindAndOverridesOfAnyLength) {
    struct Case {
        standin::ProviderKind kind;
        const char* hex;
    } cases[] = {
        {standin::ProviderKind::PersonalFolders, "4E495441F9BFB80100AA0037D96E0000"},
        {standin::ProviderKind::ExchangePublic, "78B2FA70AFF711CD9BC800AA002FC45A"},
        {standin::ProviderKind::Excluded, "4B4506EEF0B1A147AA0557297D0A084A"},
    };
    auto session = NewSession();
    for (const Case& c : cases) {
        Bytes id = standin::AddStore(StoreDescr("S", c.kind));
        auto store = OpenStore(session.Get(), id);
        ASSERT_TRUE(store);
        Bytes provider;
        ASSERT_EQ(GetBinary(store.Get(), PR_MDB_PROVIDER, &provider), S_OK);
        EXPECT_EQ(standin::Hex(provider), c.hex);
    }
    for (size_t length : {15u, 17u}) {
        standin::StoreSpec descr = StoreDescr("Odd", standin::ProviderKind::Other);
        descr.overrideProvider = true;
        descr.providerBytes = Bytes(length, '\x4E');
        auto store = OpenStore(session.Get(), standin::AddStore(descr));
        Bytes provider;
        ASSERT_EQ(GetBinary(store.Get(), PR_MDB_PROVIDER, &provider), S_OK);
        EXPECT_EQ(provider.size(), length);
    }
}

TEST_F(SessionTest, SharedFoldersStoreIdCarriesTheStoreFilePath) {
    standin::StoreSpec descr = StoreDescr("Shared", standin::ProviderKind::SharedFolders);
    descr.storeFilePath = "C:\\Data\\shared.pst";
    Bytes id = standin::AddStore(descr);
    ASSERT_GT(id.size(), 57u);
    EXPECT_EQ(id.substr(22, 13), "ZxBMStore.dll");
    EXPECT_EQ(standin::Hex(id.substr(40, 16)), "4E495441F9BFB80100AA0037D96E0000");
    EXPECT_EQ(std::string(id.c_str() + 57), "C:\\Data\\shared.pst");
    // Other stores do not look like shared-folders stores.
    Bytes pst = standin::AddStore(StoreDescr("PST", standin::ProviderKind::PersonalFolders));
    EXPECT_NE(pst.substr(22, 13), "ZxBMStore.dll");
    EXPECT_NE(pst, id);
}

TEST_F(SessionTest, AStoreWhoseTableIdDiffersOpensByItsOwnId) {
    standin::StoreSpec descr = StoreDescr("Mailbox - Ann", standin::ProviderKind::Other);
    descr.tableIdDiffers = true;
    Bytes id = standin::AddStore(descr);
    Bytes tableId = standin::StoreTableId(id);
    ASSERT_NE(tableId, id);
    auto session = NewSession();
    HRESULT hr;
    EXPECT_FALSE(OpenStore(session.Get(), tableId, &hr));
    EXPECT_TRUE(FAILED(hr));
    // The product's fallback: open the table id as an entry and read the store's own id.
    ComPtr<IUnknown> unk;
    ULONG type = 0;
    ASSERT_EQ(session->OpenEntry(Cb(tableId), Eid(tableId), nullptr, MAPI_BEST_ACCESS, &type, &unk), S_OK);
    EXPECT_EQ(type, static_cast<ULONG>(MAPI_STORE));
    ComPtr<IMsgStore> viaEntry;
    ASSERT_EQ(QueryAs(unk.Get(), IID_IMsgStore, viaEntry), S_OK);
    Bytes own;
    ASSERT_EQ(GetBinary(viaEntry.Get(), PR_ENTRYID, &own), S_OK);
    EXPECT_EQ(own, id);
    EXPECT_TRUE(OpenStore(session.Get(), own));
    ULONG same = FALSE;
    ASSERT_EQ(session->CompareEntryIDs(Cb(tableId), Eid(tableId), Cb(id), Eid(id), 0, &same), S_OK);
    EXPECT_TRUE(same);
}

TEST_F(SessionTest, AnUnopenableStoreFailsEveryWayOfOpeningIt) {
    standin::StoreSpec descr = StoreDescr("Broken", standin::ProviderKind::PersonalFolders);
    descr.unopenable = true;
    Bytes id = standin::AddStore(descr);
    auto session = NewSession();
    HRESULT hr;
    EXPECT_FALSE(OpenStore(session.Get(), id, &hr));
    EXPECT_EQ(hr, MAPI_E_NOT_FOUND);
    ComPtr<IUnknown> unk;
    ULONG type = 0;
    EXPECT_EQ(session->OpenEntry(Cb(id), Eid(id), nullptr, MAPI_BEST_ACCESS, &type, &unk), MAPI_E_NOT_FOUND);
    EXPECT_FALSE(unk);
}

TEST_F(SessionTest, ProfileSectionCarriesTheProfileNameUnlessMadeAbsent) {
    standin::Reset("Work Profile");
    baseline_ = standin::LiveObjects();
    ComPtr<IUnknown> outlookObject;
    *outlookObject.ReleaseAndGetAddressOf() = standin::NewSession();
    ComPtr<IMAPISession> session;
    ASSERT_EQ(QueryAs(outlookObject.Get(), IID_IMAPISession, session), S_OK);
    GUID section = {0x00020385, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    for (bool available : {true, false}) {
        standin::SetProfileNameAvailable(available);
        ComPtr<IProfSect> prof;
        ASSERT_EQ(session->OpenProfileSection(reinterpret_cast<LPMAPIUID>(&section), nullptr, 0, &prof), S_OK);
        std::string name;
        HRESULT hr = GetText(prof.Get(), PR_PROFILE_NAME_A, &name);
        if (available) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(name, "Work Profile");
        } else {
            EXPECT_EQ(hr, MAPI_E_NOT_FOUND);
        }
    }
    GUID other = {0x00020386, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    ComPtr<IProfSect> none;
    EXPECT_TRUE(FAILED(session->OpenProfileSection(reinterpret_cast<LPMAPIUID>(&other), nullptr, 0, &none)));
    ComPtr<IMsgStore> notAStore;
    EXPECT_EQ(QueryAs(outlookObject.Get(), IID_IMsgStore, notAStore), E_NOINTERFACE);
}

TEST_F(SessionTest, StoreTreeHasARootThatIsItsOwnParentAndSpecialFolders) {
    BasicProfile p;
    auto session = NewSession();
    auto store = OpenStore(session.Get(), p.store);
    ASSERT_TRUE(store);
    // A null id opens the root folder.
    ComPtr<IUnknown> unk;
    ULONG type = 0;
    ASSERT_EQ(store->OpenEntry(0, nullptr, nullptr, MAPI_BEST_ACCESS, &type, &unk), S_OK);
    ComPtr<IMAPIFolder> root;
    ASSERT_EQ(QueryAs(unk.Get(), IID_IMAPIFolder, root), S_OK);
    Bytes rootId, rootParent, subtree, subtreeParent;
    ASSERT_EQ(GetBinary(root.Get(), PR_ENTRYID, &rootId), S_OK);
    ASSERT_EQ(GetBinary(root.Get(), PR_PARENT_ENTRYID, &rootParent), S_OK);
    EXPECT_EQ(rootId, rootParent);
    EXPECT_EQ(rootId, standin::RootFolder(p.store));
    ASSERT_EQ(GetBinary(store.Get(), PR_IPM_SUBTREE_ENTRYID, &subtree), S_OK);
    auto top = OpenFolder(store.Get(), subtree);
    ASSERT_TRUE(top);
    ASSERT_EQ(GetBinary(top.Get(), PR_PARENT_ENTRYID, &subtreeParent), S_OK);
    EXPECT_EQ(subtreeParent, rootId);

    struct Special {
        ULONG tag;
        const char* name;
    } specials[] = {{PR_IPM_OUTBOX_ENTRYID, "Outbox"},
                    {PR_IPM_SENTMAIL_ENTRYID, "Sent Items"},
                    {PR_IPM_WASTEBASKET_ENTRYID, "Deleted Items"}};
    for (const Special& s : specials) {
        Bytes id;
        ASSERT_EQ(GetBinary(store.Get(), s.tag, &id), S_OK) << s.name;
        std::string name;
        ASSERT_EQ(GetText(OpenFolder(store.Get(), id).Get(), PR_DISPLAY_NAME_A, &name), S_OK);
        EXPECT_EQ(name, s.name);
    }
    ULONG cb = 0;
    LPENTRYID inbox = nullptr;
    LPSTR cls = nullptr;
    ASSERT_EQ(store->GetReceiveFolder(nullptr, 0, &cb, &inbox, &cls), S_OK);
    Bytes inboxId(reinterpret_cast<const char*>(inbox), cb);
    MAPIFreeBuffer(inbox);
    MAPIFreeBuffer(cls);
    std::string name;
    ASSERT_EQ(GetText(OpenFolder(store.Get(), inboxId).Get(), PR_DISPLAY_NAME_A, &name), S_OK);
    EXPECT_EQ(name, "Inbox");
}

TEST_F(SessionTest, HierarchyTableListsChildrenWithShortAndLongTermIdsNamingOneFolder) {
    BasicProfile p;
    Bytes sub = standin::AddFolder(p.calendar, "Team", "IPF.Appointment");
    auto session = NewSession();
    auto store = OpenStore(session.Get(), p.store);
    auto calendar = OpenFolder(store.Get(), p.calendar);
    ASSERT_TRUE(calendar);
    ComPtr<IMAPITable> table;
    ASSERT_EQ(calendar->GetHierarchyTable(0, &table), S_OK);
    SizedSPropTagArray(5, cols) = {
        5, {PR_ENTRYID, PR_LONGTERM_ENTRYID_FROM_TABLE, PR_DISPLAY_NAME_A, PR_SUBFOLDERS, PR_CONTAINER_CLASS_A}};
    Rows rows;
    ASSERT_EQ(HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&cols), nullptr, nullptr, 0, &rows.p),
              S_OK);
    ASSERT_EQ(rows.p->cRows, 1u);
    const SPropValue* v = rows.p->aRow[0].lpProps;
    Bytes shortId = Of(v[0].Value.bin), longId = Of(v[1].Value.bin);
    EXPECT_NE(shortId, longId);
    EXPECT_EQ(longId, sub);
    EXPECT_STREQ(v[2].Value.lpszA, "Team");
    EXPECT_FALSE(v[3].Value.b);
    EXPECT_STREQ(v[4].Value.lpszA, "IPF.Appointment");
    ULONG same = FALSE;
    ASSERT_EQ(store->CompareEntryIDs(Cb(shortId), Eid(shortId), Cb(longId), Eid(longId), 0, &same), S_OK);
    EXPECT_TRUE(same);
    ASSERT_EQ(session->CompareEntryIDs(Cb(longId), Eid(longId), Cb(p.calendar), Eid(p.calendar), 0, &same), S_OK);
    EXPECT_FALSE(same);
    // The calendar now reports a subfolder; a folder made to refuse hierarchy tables answers NO_SUPPORT.
    Buffer hasSub;
    ASSERT_EQ(HrGetOneProp(calendar.Get(), PR_SUBFOLDERS, &hasSub.p), S_OK);
    EXPECT_TRUE(hasSub.p->Value.b);
    standin::SetHierarchySupported(p.calendar, false);
    ComPtr<IMAPITable> none;
    EXPECT_EQ(calendar->GetHierarchyTable(0, &none), MAPI_E_NO_SUPPORT);
}

} // namespace
} // namespace standin_test
