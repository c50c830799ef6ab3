// Store, folder, message and property-object wrappers against the stand-in provider.
#include <gtest/gtest.h>

#include <string>

#include "support/MapiWorld.h"
#include "mapi/MAPIProps.h"
#include "mapi/Session.h"

using standin::Bytes;

namespace {

ZxIMsgStore OpenStore(const ZxIMAPISession& session, const Bytes& store) {
    ZxIMsgStore opened;
    EXPECT_EQ(session.OpenMsgStore(Sb(store), opened, MAPI_BEST_ACCESS), S_OK);
    EXPECT_TRUE(opened);
    return opened;
}

ZxIMAPIFolder OpenFolder(const ZxIMsgStore& store, const Bytes& folder) {
    ZxIMAPIFolder opened;
    EXPECT_EQ(store.OpenEntry(Sb(folder), opened, MAPI_BEST_ACCESS), S_OK);
    EXPECT_TRUE(opened);
    return opened;
}

std::string NameOf(const ZxIMAPIFolder& folder) {
    std::string name;
    EXPECT_EQ(folder.GetPropString(PR_DISPLAY_NAME_A, name), S_OK);
    return name;
}

} // namespace

class WrapperTest : public MapiWorldTest {};

TEST_F(WrapperTest, WrappersWithNoObjectAnswerEFailAndCallNothing) {
    Bytes store = standin::AddStore({});
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);
    ZxIMAPIFolder held = OpenFolder(opened, standin::Inbox(store));
    IMAPIFolder* heldBefore = held.Get();
    standin::ResetCounters();

    ZxIMsgStore noStore;
    ZxIMAPIFolder noFolder;
    ZxIMessage noMessage;
    ZxIMAPIProp noProp;
    ZxIMAPISession noSession;

    auto checkReads = [](const auto& wrapper) {
        std::string text = "keep";
        ZxSBinary bin(1, reinterpret_cast<const BYTE*>("\x2A"));
        ULONGLONG time = 42;
        EXPECT_EQ(wrapper.GetPropString(PR_DISPLAY_NAME_A, text), E_FAIL);
        EXPECT_EQ(wrapper.GetPropBinary(PR_ENTRYID, bin), E_FAIL);
        EXPECT_EQ(wrapper.GetPropTime(PR_LAST_MODIFICATION_TIME, time), E_FAIL);
        EXPECT_EQ(text, "keep");
        EXPECT_EQ(bin.ToHex(), "2A");
        EXPECT_EQ(time, 42u);
    };
    checkReads(noStore);
    checkReads(noFolder);
    checkReads(noMessage);
    checkReads(noProp);

    EXPECT_EQ(noStore.OpenEntry(Sb(standin::Inbox(store)), held, MAPI_BEST_ACCESS), E_FAIL);
    EXPECT_EQ(held.Get(), heldBefore);
    Microsoft::WRL::ComPtr<IMAPIFolder> bare;
    EXPECT_EQ(noStore.OpenEntry(Sb(standin::Inbox(store)), bare, MAPI_BEST_ACCESS), E_FAIL);
    ZxIMessage message;
    EXPECT_EQ(noFolder.OpenEntry(Sb(standin::Inbox(store)), message, MAPI_BEST_ACCESS), E_FAIL);
    EXPECT_EQ(noStore.CompareEntryIDs(Sb(store), Sb(store)), 0u);
    EXPECT_EQ(noStore.GetStoreKind(), 0);
    EXPECT_EQ(noFolder.GetFolderPath(opened.Get(), '\\'), "");

    ZxIMsgStore fromNoSession;
    EXPECT_EQ(noSession.OpenMsgStore(Sb(store), fromNoSession, MAPI_BEST_ACCESS), E_FAIL);
    EXPECT_FALSE(fromNoSession);
    EXPECT_EQ(noSession.CompareEntryIDs(Sb(store), Sb(store)), 0u);
    EXPECT_EQ(noSession.GetProfileName(), "");

    // The only MAPI calls are the test's own sentinel binaries, allocated through MAPI.
    EXPECT_EQ(standin::TotalCalls() - standin::CallCount("MAPIAllocateBuffer"), 0);
}

TEST_F(WrapperTest, TypedReadsOfAMessage) {
    Bytes store = standin::AddStore({});
    Bytes inbox = standin::Inbox(store);
    standin::PropMap props;
    props[PROP_TAG(PT_UNICODE, 0x1000)] = standin::Value::Wide(L"Body text"); // PR_BODY
    Bytes item = standin::AddItem(inbox, "Quarterly report", props);
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(item, &view));

    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);
    ZxIMAPIFolder folder = OpenFolder(opened, inbox);
    ZxIMessage message;
    ASSERT_EQ(folder.OpenEntry(Zx(item), message, MAPI_BEST_ACCESS), S_OK);
    ASSERT_TRUE(message);

    std::string subject, body;
    ZxSBinary recordKey, entryId;
    ULONGLONG modified = 0;
    FILETIME modifiedFt{};
    EXPECT_EQ(message.GetPropString(PR_SUBJECT_A, subject), S_OK);
    EXPECT_EQ(message.GetPropString(PROP_TAG(PT_UNICODE, 0x1000), body), S_OK);
    EXPECT_EQ(message.GetPropBinary(PR_RECORD_KEY, recordKey), S_OK);
    EXPECT_EQ(message.GetPropBinary(PR_ENTRYID, entryId), S_OK);
    EXPECT_EQ(message.GetPropTime(PR_LAST_MODIFICATION_TIME, modified), S_OK);
    EXPECT_EQ(message.GetPropTime(PR_LAST_MODIFICATION_TIME, modifiedFt), S_OK);

    EXPECT_EQ(subject, "Quarterly report");
    EXPECT_EQ(body, "Body text");
    EXPECT_EQ(Raw(recordKey), view.recordKey);
    EXPECT_EQ(Raw(entryId), view.entryId);
    EXPECT_EQ(modified, standin::TimeValue(view.modified));
    EXPECT_EQ(modifiedFt.dwLowDateTime, view.modified.dwLowDateTime);
    EXPECT_NE(modified, 0u);
}

TEST_F(WrapperTest, AFailedReadIsReturnedUnchangedAndLeavesTheOutput) {
    Bytes store = standin::AddStore({});
    Bytes item = standin::AddItem(standin::Inbox(store), "no categories");
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);
    ZxIMAPIFolder folder = OpenFolder(opened, standin::Inbox(store));
    ZxIMessage message;
    ASSERT_EQ(folder.OpenEntry(Sb(item), message, MAPI_BEST_ACCESS), S_OK);

    std::string text = "keep";
    EXPECT_EQ(message.GetPropString(PR_BODY_A, text), MAPI_E_NOT_FOUND);
    EXPECT_EQ(text, "keep");

    standin::FailCall("HrGetOneProp", 1, MAPI_E_NETWORK_ERROR);
    ZxSBinary key(1, reinterpret_cast<const BYTE*>("\x07"));
    EXPECT_EQ(message.GetPropBinary(PR_RECORD_KEY, key), MAPI_E_NETWORK_ERROR);
    EXPECT_EQ(key.ToHex(), "07");

    // A value of another type than the conversion wants.
    EXPECT_EQ(message.GetPropString(PR_RECORD_KEY, text), E_FAIL);
    EXPECT_EQ(message.GetPropBinary(PR_SUBJECT_A, key), E_FAIL);
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(key.ToHex(), "07");
}

TEST_F(WrapperTest, OpenEntryFromStoreIntoFolderWrapperAndBareReference) {
    Bytes store = standin::AddStore({});
    Bytes inbox = standin::Inbox(store);
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);

    ZxIMAPIFolder folder;
    ASSERT_EQ(opened.OpenEntry(Sb(inbox), folder, MAPI_BEST_ACCESS), S_OK);
    EXPECT_EQ(NameOf(folder), "Inbox");

    Microsoft::WRL::ComPtr<IMAPIFolder> bare;
    ASSERT_EQ(opened.OpenEntry(Zx(inbox), bare, MAPI_BEST_ACCESS), S_OK);
    ASSERT_NE(bare.Get(), nullptr);
    EXPECT_EQ(NameOf(ZxIMAPIFolder(bare.Get())), "Inbox");
}

TEST_F(WrapperTest, FailedOpenEntryKeepsWhatTheOutWrapperHeld) {
    Bytes store = standin::AddStore({});
    Bytes inbox = standin::Inbox(store);
    Bytes gone = standin::AddFolder(inbox, "Gone");
    standin::DeleteFolder(gone);
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);
    ZxIMAPIFolder folder = OpenFolder(opened, inbox);
    IMAPIFolder* before = folder.Get();

    HRESULT hr = opened.OpenEntry(Sb(gone), folder, MAPI_BEST_ACCESS);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(folder.Get(), before);

    standin::FailCall("IMsgStore::OpenEntry", 1, MAPI_E_NO_ACCESS);
    EXPECT_EQ(opened.OpenEntry(Sb(inbox), folder, MAPI_BEST_ACCESS), MAPI_E_NO_ACCESS);
    EXPECT_EQ(folder.Get(), before);
    EXPECT_EQ(NameOf(folder), "Inbox");
}

TEST_F(WrapperTest, OpenEntryOfAnObjectWithoutTheInterfaceSucceedsEmpty) {
    Bytes store = standin::AddStore({});
    Bytes inbox = standin::Inbox(store);
    Bytes sub = standin::AddFolder(inbox, "Sub");
    Bytes item = standin::AddItem(inbox, "a message, not a folder");
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);

    // The store opens the message, which is no folder: the previous folder is released anyway.
    ZxIMAPIFolder folder = OpenFolder(opened, inbox);
    const long withFolder = standin::LiveComObjects();
    EXPECT_EQ(opened.OpenEntry(Sb(item), folder, MAPI_BEST_ACCESS), S_OK);
    EXPECT_FALSE(folder);
    EXPECT_LT(standin::LiveComObjects(), withFolder);

    Microsoft::WRL::ComPtr<IMAPIFolder> bare;
    EXPECT_EQ(opened.OpenEntry(Sb(item), bare, MAPI_BEST_ACCESS), S_OK);
    EXPECT_EQ(bare.Get(), nullptr);

    // A folder opening a subfolder into a message wrapper.
    ZxIMAPIFolder parent = OpenFolder(opened, inbox);
    ZxIMessage message;
    EXPECT_EQ(parent.OpenEntry(Sb(sub), message, MAPI_BEST_ACCESS), S_OK);
    EXPECT_FALSE(message);
}

TEST_F(WrapperTest, CopiesShareOneObject) {
    Bytes store = standin::AddStore({});
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);
    ZxIMAPIFolder original = OpenFolder(opened, standin::Inbox(store));
    const long objects = standin::LiveComObjects();

    ZxIMAPIFolder copy(original);
    ZxIMAPIFolder assigned;
    assigned = original;
    EXPECT_EQ(copy.Get(), original.Get());
    EXPECT_EQ(assigned.Get(), original.Get());
    EXPECT_EQ(standin::LiveComObjects(), objects);

    original.Reset();
    copy.Reset();
    EXPECT_EQ(NameOf(assigned), "Inbox"); // the last copy still holds a reference
    assigned = ZxIMAPIFolder();
    EXPECT_LT(standin::LiveComObjects(), objects);
}

TEST_F(WrapperTest, StoreComparesEntryIds) {
    Bytes store = standin::AddStore({});
    Bytes inbox = standin::Inbox(store);
    Bytes subtree = standin::IpmSubtree(store);
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);

    EXPECT_NE(opened.CompareEntryIDs(Sb(inbox), Sb(inbox)), 0u);
    EXPECT_NE(opened.CompareEntryIDs(Zx(inbox), Zx(inbox)), 0u);
    EXPECT_EQ(opened.CompareEntryIDs(Sb(inbox), Sb(subtree)), 0u);

    standin::FailCall("IMsgStore::CompareEntryIDs", 1, MAPI_E_CALL_FAILED);
    EXPECT_EQ(opened.CompareEntryIDs(Sb(inbox), Sb(inbox)), 0u);
}

TEST_F(WrapperTest, StoreKindByProviderBytes) {
    const Bytes publicId = standin::ProviderBytes(standin::ProviderKind::ExchangePublic);
    const Bytes personalId = standin::ProviderBytes(standin::ProviderKind::PersonalFolders);
    ASSERT_EQ(publicId.size(), 16u);
    Bytes publicChanged = publicId;
    publicChanged[15] = static_cast<char>(publicChanged[15] ^ 1);

    struct Case {
        const char* name;
        standin::ProviderKind kind;
        bool override;
        Bytes bytes;
        int expected;
    } cases[] = {
        {"public", standin::ProviderKind::ExchangePublic, false, {}, 1},
        {"personal", standin::ProviderKind::PersonalFolders, false, {}, 2},
        {"excluded", standin::ProviderKind::Excluded, false, {}, 3},
        {"other", standin::ProviderKind::Other, false, {}, 0},
        {"personal bytes given", standin::ProviderKind::Other, true, personalId, 2},
        {"15 bytes", standin::ProviderKind::Other, true, publicId.substr(0, 15), 0},
        {"17 bytes", standin::ProviderKind::Other, true, publicId + '\0', 0},
        {"16 bytes, last differs", standin::ProviderKind::Other, true, publicChanged, 0},
        {"empty", standin::ProviderKind::Other, true, Bytes(), 0},
    };
    for (const Case& c : cases) {
        standin::StoreSpec descr;
        descr.displayName = c.name;
        descr.kind = c.kind;
        descr.overrideProvider = c.override;
        descr.providerBytes = c.bytes;
        Bytes store = standin::AddStore(descr);
        ZxIMAPISession session = NewSession();
        ZxIMsgStore opened = OpenStore(session, store);
        EXPECT_EQ(opened.GetStoreKind(), c.expected) << c.name;
    }

    Bytes noProvider = standin::AddStore({});
    ASSERT_TRUE(standin::RemoveStoreProp(noProvider, PR_MDB_PROVIDER));
    ZxIMAPISession session = NewSession();
    EXPECT_EQ(OpenStore(session, noProvider).GetStoreKind(), 0);
}

TEST_F(WrapperTest, PropertyObjectReadsAProfileSection) {
    standin::SetProfileName("Section Profile");
    ZxIMAPISession session = NewSession();
    MAPIUID section = {
        {0x85, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    IProfSect* raw = nullptr;
    ASSERT_EQ(session->OpenProfileSection(&section, nullptr, 0, &raw), S_OK);
    ZxIMAPIProp prop;
    prop.Attach(raw);
    std::string name;
    EXPECT_EQ(prop.GetPropString(PR_PROFILE_NAME_A, name), S_OK);
    EXPECT_EQ(name, "Section Profile");
}

TEST_F(WrapperTest, FolderAndMessageCallsOfTheSynchronizer) {
    const Bytes store = standin::AddStore({});
    const Bytes inbox = standin::Inbox(store);
    const Bytes otherId = standin::AddFolder(standin::IpmSubtree(store), "Other", "IPF.Note");
    const Bytes lunch = standin::AddItem(inbox, "Lunch", {{PR_BODY_A, standin::Value::String("soup")}});
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened = OpenStore(session, store);
    const ZxIMAPIFolder folder = OpenFolder(opened, inbox);
    const ZxIMAPIFolder other = OpenFolder(opened, otherId);

    Microsoft::WRL::ComPtr<IMAPITable> table;
    ASSERT_EQ(S_OK, folder.GetContentsTable(0, table));
    ULONG rows = 0;
    EXPECT_EQ(S_OK, table->GetRowCount(0, &rows));
    EXPECT_EQ(1u, rows);
    table.Reset();

    // A copy as the synchronizer makes one: a new message, every property copied, saved.
    ZxIMessage source, copy;
    ASSERT_EQ(S_OK, folder.OpenEntry(Sb(lunch), source, MAPI_BEST_ACCESS));
    ASSERT_EQ(S_OK, other.CreateMessage(copy));
    EXPECT_EQ(S_OK, source.CopyTo(copy));
    EXPECT_EQ(S_OK, copy.SaveChanges(KEEP_OPEN_READWRITE));
    const std::vector<standin::ItemView> copied = standin::Items(otherId);
    ASSERT_EQ(1u, copied.size());
    EXPECT_EQ("Lunch", copied[0].subject);
    EXPECT_EQ("soup", copied[0].props.at(PR_BODY_A).s);

    // A one-entry delete; the same id again is a warning, not a failure.
    ZxSBinary copyId;
    ASSERT_EQ(S_OK, copy.GetPropBinary(PR_ENTRYID, copyId));
    copy.Reset();
    EXPECT_EQ(S_OK, other.DeleteMessage(copyId));
    EXPECT_TRUE(standin::Items(otherId).empty());
    EXPECT_EQ(MAPI_W_PARTIAL_COMPLETION, other.DeleteMessage(copyId));

    // Without an object every call answers E_FAIL and touches nothing.
    ZxIMAPIFolder noFolder;
    ZxIMessage noMessage;
    standin::ResetCounters();
    EXPECT_EQ(E_FAIL, noFolder.GetContentsTable(0, table));
    EXPECT_EQ(E_FAIL, noFolder.CreateMessage(noMessage));
    EXPECT_EQ(E_FAIL, noFolder.DeleteMessage(copyId));
    EXPECT_EQ(E_FAIL, noMessage.CopyTo(source));
    EXPECT_EQ(E_FAIL, source.CopyTo(noMessage));
    EXPECT_EQ(E_FAIL, noMessage.SaveChanges(0));
    EXPECT_EQ(0, standin::CallCount("IMessage::CopyTo"));
    EXPECT_FALSE(table);
    EXPECT_FALSE(noMessage);
    EXPECT_EQ(1u, standin::Items(inbox).size());
}
