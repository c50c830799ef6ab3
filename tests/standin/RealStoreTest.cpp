// The stand-in as strict as real stores: someone else's change is not overwritten, open messages are
// not deleted, a copy onto a saved message adds rather than replaces, an Exchange mailbox's ids and
// clock, computed properties that some providers give only to a message opened again, and named
// properties mapped per store.
#include "Helpers.h"

namespace standin_test {
namespace {

class RealStoreTest : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        session_ = NewSession();
        Open(p_.store, p_.calendar);
    }
    void TearDown() override {
        folder_.Reset();
        store_.Reset();
        session_.Reset();
        StandinTest::TearDown();
    }
    void Open(const Bytes& store, const Bytes& folder) {
        folder_.Reset();
        store_ = OpenStore(session_.Get(), store);
        ASSERT_TRUE(store_);
        folder_ = OpenFolder(store_.Get(), folder);
        ASSERT_TRUE(folder_);
    }
    // A mailbox beside the personal folders, opened in the fixture's session.
    Bytes AddMailbox(bool savedPropsOnReopen = false) {
        standin::StoreSpec desc;
        desc.displayName = "Mailbox";
        desc.kind = standin::ProviderKind::ExchangeMailbox;
        desc.savedPropsOnReopen = savedPropsOnReopen;
        return standin::AddStore(desc);
    }
    HRESULT Delete(const Bytes& id) {
        SBinary bin{Cb(id), reinterpret_cast<LPBYTE>(const_cast<char*>(id.data()))};
        ENTRYLIST list{1, &bin};
        return folder_->DeleteMessages(&list, 0, nullptr, 0);
    }

    BasicProfile p_;
    ComPtr<IMAPISession> session_;
    ComPtr<IMsgStore> store_;
    ComPtr<IMAPIFolder> folder_;
};

TEST_F(RealStoreTest, SaveAfterSomeoneElsesChangeAnswersObjectChanged) {
    struct Case {
        const char* name;
        std::function<void(const Bytes& item)> otherChange;
    };
    const Case cases[] = {
        {"another open message saved", [this](const Bytes& item) {
             ComPtr<IMessage> other = OpenMessage(folder_.Get(), item);
             ASSERT_EQ(S_OK, SetText(other.Get(), PR_BODY_A, "theirs"));
             ASSERT_EQ(S_OK, other->SaveChanges(0));
         }},
        {"a user's edit in Outlook",
         [](const Bytes& item) { ASSERT_TRUE(standin::EditItem(item, {{PR_BODY_A, standin::Value::String("theirs")}})); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes item = standin::AddItem(p_.calendar, "Shared");
        ComPtr<IMessage> mine = OpenMessage(folder_.Get(), item);
        ASSERT_TRUE(mine);
        c.otherChange(item);
        ASSERT_EQ(S_OK, SetText(mine.Get(), PR_BODY_A, "mine"));
        EXPECT_EQ(MAPI_E_OBJECT_CHANGED, mine->SaveChanges(KEEP_OPEN_READWRITE));
        standin::ItemView view;
        ASSERT_TRUE(standin::GetItem(item, &view));
        EXPECT_EQ("theirs", view.props.at(PR_BODY_A).s);
        // FORCE_SAVE overwrites on purpose; afterwards the message saves as usual.
        EXPECT_EQ(S_OK, mine->SaveChanges(FORCE_SAVE | KEEP_OPEN_READWRITE));
        EXPECT_EQ(S_OK, mine->SaveChanges(KEEP_OPEN_READWRITE));
        ASSERT_TRUE(standin::GetItem(item, &view));
        EXPECT_EQ("mine", view.props.at(PR_BODY_A).s);
    }
}

TEST_F(RealStoreTest, MessagesOpenForWritingAreNotDeleted) {
    struct Case {
        const char* name;
        bool openHere; // a message object of this session (else: an Outlook window elsewhere)
        ULONG flags;
        bool blocks;
    };
    const Case cases[] = {
        {"open here with MAPI_BEST_ACCESS", true, MAPI_BEST_ACCESS, true},
        {"open here for reading only", true, 0, false},
        {"open in an Outlook window", false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes item = standin::AddItem(p_.calendar, "Busy");
        ComPtr<IMessage> open;
        if (c.openHere)
            open = OpenMessage(folder_.Get(), item, nullptr, c.flags);
        else
            ASSERT_TRUE(standin::SetItemOpenElsewhere(item, true));
        EXPECT_EQ(c.blocks ? MAPI_W_PARTIAL_COMPLETION : S_OK, Delete(item));
        EXPECT_EQ(c.blocks, standin::ItemExists(item));
        open.Reset();
        standin::SetItemOpenElsewhere(item, false);
        if (c.blocks) {
            EXPECT_EQ(S_OK, Delete(item));
            EXPECT_FALSE(standin::ItemExists(item));
        }
    }
}

TEST_F(RealStoreTest, CopyOntoASavedMessageAddsAttachmentsAndKeepsItsReadState) {
    standin::ItemSpec source;
    source.subject = "New";
    source.props[PR_MESSAGE_FLAGS] = standin::Value::Long(0);
    source.attachments = {{{PR_ATTACH_LONG_FILENAME_A, standin::Value::String("new.txt")}}};
    standin::ItemSpec target;
    target.subject = "Old";
    target.props[PR_MESSAGE_FLAGS] = standin::Value::Long(MSGFLAG_READ);
    target.props[PR_COMPANY_NAME_A] = standin::Value::String("kept");
    target.attachments = {{{PR_ATTACH_LONG_FILENAME_A, standin::Value::String("old.txt")}}};
    const Bytes from = standin::AddItem(p_.calendar, source);
    const Bytes to = standin::AddItem(p_.calendar, target);
    ComPtr<IMessage> src = OpenMessage(folder_.Get(), from);
    ComPtr<IMessage> dst = OpenMessage(folder_.Get(), to);
    ASSERT_EQ(S_OK, src->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, dst.Get(), 0, nullptr));
    ASSERT_EQ(S_OK, dst->SaveChanges(KEEP_OPEN_READWRITE));

    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(to, &view));
    EXPECT_EQ("New", view.subject);
    EXPECT_EQ("kept", view.props.at(PR_COMPANY_NAME_A).s);
    EXPECT_EQ(MSGFLAG_READ, view.props.at(PR_MESSAGE_FLAGS).i);
    ASSERT_EQ(2u, view.attachments.size());
    EXPECT_EQ("old.txt", view.attachments[0].at(PR_ATTACH_LONG_FILENAME_A).s);
    EXPECT_EQ("new.txt", view.attachments[1].at(PR_ATTACH_LONG_FILENAME_A).s);
    EXPECT_NE(view.attachments[0].at(PR_ATTACH_NUM).i, view.attachments[1].at(PR_ATTACH_NUM).i);
}

TEST_F(RealStoreTest, MailboxStampsServerTimeAndGivesMovedItemsNewIds) {
    const Bytes mailbox = AddMailbox();
    const Bytes calendar = standin::FolderByPath("Mailbox\\Calendar");
    const Bytes deleted = standin::FolderByPath("Mailbox\\Deleted Items");
    const Bytes item = standin::AddItem(calendar, "Meeting");
    standin::ItemView before;
    ASSERT_TRUE(standin::GetItem(item, &before));
    // The server's clock leads the stand-in clock.
    EXPECT_EQ(Ticks(standin::Now()) + 37ULL * 10000000ULL, Ticks(before.modified));

    Open(mailbox, calendar);
    ComPtr<IMessage> open = OpenMessage(folder_.Get(), item);
    ASSERT_TRUE(standin::MoveItem(item, deleted));
    const Bytes moved = standin::FindItemBySubject(deleted, "Meeting");
    standin::ItemView after;
    ASSERT_TRUE(standin::GetItem(moved, &after));
    EXPECT_NE(before.entryId, after.entryId);
    EXPECT_NE(before.recordKey, after.recordKey);
    HRESULT hr = S_OK;
    EXPECT_FALSE(OpenMessage(folder_.Get(), item, &hr));
    EXPECT_EQ(MAPI_E_NOT_FOUND, hr);
    EXPECT_EQ(MAPI_E_OBJECT_DELETED, open->SaveChanges(KEEP_OPEN_READWRITE));
    // A personal folders file keeps the ids.
    const Bytes pstItem = standin::AddItem(p_.calendar, "Kept");
    ASSERT_TRUE(standin::MoveItem(pstItem, standin::FolderByPath("Personal Folders\\Deleted Items")));
    EXPECT_TRUE(standin::ItemExists(pstItem));
}

TEST_F(RealStoreTest, MailboxRowIdsAreShortTermAndOpenOnlyInTheirSession) {
    const Bytes mailbox = AddMailbox();
    const Bytes calendar = standin::FolderByPath("Mailbox\\Calendar");
    const Bytes item = standin::AddItem(calendar, "Row");
    Open(mailbox, calendar);
    ComPtr<IMAPITable> table;
    ASSERT_EQ(S_OK, folder_->GetContentsTable(0, &table));
    SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_LONGTERM_ENTRYID_FROM_TABLE}};
    Rows rows;
    ASSERT_EQ(S_OK, HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows.p));
    ASSERT_EQ(1u, rows.p->cRows);
    const Bytes shortId = Of(rows.p->aRow[0].lpProps[0].Value.bin);
    const Bytes longId = Of(rows.p->aRow[0].lpProps[1].Value.bin);
    EXPECT_EQ(item, longId);
    EXPECT_NE(0, static_cast<unsigned char>(shortId[0]) & MAPI_SHORTTERM);
    ComPtr<IMessage> byShortId = OpenMessage(folder_.Get(), shortId);
    ASSERT_TRUE(byShortId);
    Bytes own;
    ASSERT_EQ(S_OK, GetBinary(byShortId.Get(), PR_ENTRYID, &own));
    EXPECT_EQ(longId, own); // the opened message gives its long-term id

    ComPtr<IMAPISession> later = NewSession(); // Outlook started again
    HRESULT hr = S_OK;
    EXPECT_FALSE(OpenMessage(folder_.Get(), shortId, &hr));
    EXPECT_EQ(MAPI_E_NOT_FOUND, hr);
    EXPECT_TRUE(OpenMessage(folder_.Get(), longId));
}

TEST_F(RealStoreTest, SomeProvidersGiveSavedPropertiesOnlyToTheMessageOpenedAgain) {
    const Bytes mailbox = AddMailbox(true);
    const Bytes calendar = standin::FolderByPath("Mailbox\\Calendar");
    Open(mailbox, calendar);
    for (ULONG flags : {static_cast<ULONG>(KEEP_OPEN_READWRITE), static_cast<ULONG>(KEEP_OPEN_READONLY)}) {
        SCOPED_TRACE(flags);
        ComPtr<IMessage> created;
        ASSERT_EQ(S_OK, folder_->CreateMessage(nullptr, 0, &created));
        ASSERT_EQ(S_OK, SetText(created.Get(), PR_SUBJECT_A, "Late"));
        ASSERT_EQ(S_OK, created->SaveChanges(flags));
        Bytes id, key;
        ULONGLONG time = 0;
        EXPECT_EQ(MAPI_E_NOT_FOUND, GetBinary(created.Get(), PR_RECORD_KEY, &key));
        EXPECT_EQ(MAPI_E_NOT_FOUND, GetTime(created.Get(), &time));
        if (flags == KEEP_OPEN_READWRITE) {
            EXPECT_EQ(MAPI_E_NOT_FOUND, GetBinary(created.Get(), PR_ENTRYID, &id));
            continue;
        }
        ASSERT_EQ(S_OK, GetBinary(created.Get(), PR_ENTRYID, &id));
        ComPtr<IMessage> again = OpenMessage(folder_.Get(), id, nullptr, 0);
        ASSERT_TRUE(again);
        standin::ItemView view;
        ASSERT_TRUE(standin::GetItem(id, &view));
        ASSERT_EQ(S_OK, GetBinary(again.Get(), PR_RECORD_KEY, &key));
        ASSERT_EQ(S_OK, GetTime(again.Get(), &time));
        EXPECT_EQ(view.recordKey, key);
        EXPECT_EQ(Ticks(view.modified), time);
    }
}

TEST_F(RealStoreTest, NamedPropertiesHaveAMappingPerStoreAndCopiesKeepTheirNames) {
    const Bytes mailbox = AddMailbox();
    GUID set = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    ASSERT_NE(0u, standin::NamedPropId(mailbox, set, L"First in the mailbox"));
    const ULONG inPst = standin::NamedPropId(p_.store, set, L"Color");
    const ULONG inMailbox = standin::NamedPropId(mailbox, set, L"Color");
    EXPECT_NE(inPst, inMailbox);

    // GetIDsFromNames answers each store's own id.
    MAPINAMEID name{&set, MNID_STRING, {}};
    name.Kind.lpwstrName = const_cast<LPWSTR>(L"Color");
    LPMAPINAMEID names[] = {&name};
    const Bytes item = standin::AddItem(p_.calendar, "Shirt", {{PROP_TAG(PT_STRING8, inPst), standin::Value::String("red")}});
    ComPtr<IMessage> src = OpenMessage(folder_.Get(), item);
    LPSPropTagArray tags = nullptr;
    ASSERT_EQ(S_OK, src->GetIDsFromNames(1, names, 0, &tags));
    EXPECT_EQ(inPst, PROP_ID(tags->aulPropTag[0]));
    MAPIFreeBuffer(tags);

    // A copy into the mailbox carries the value under the mailbox's id for the name.
    const Bytes calendar = standin::FolderByPath("Mailbox\\Calendar");
    ComPtr<IMsgStore> mailboxStore = OpenStore(session_.Get(), mailbox);
    ComPtr<IMAPIFolder> mailboxCalendar = OpenFolder(mailboxStore.Get(), calendar);
    ComPtr<IMessage> copy;
    ASSERT_EQ(S_OK, mailboxCalendar->CreateMessage(nullptr, 0, &copy));
    ASSERT_EQ(S_OK, src->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, copy.Get(), 0, nullptr));
    ASSERT_EQ(S_OK, copy->SaveChanges(KEEP_OPEN_READONLY));
    ASSERT_EQ(S_OK, copy->GetIDsFromNames(1, names, 0, &tags));
    EXPECT_EQ(inMailbox, PROP_ID(tags->aulPropTag[0]));
    MAPIFreeBuffer(tags);
    const standin::ItemView view = standin::Items(calendar).at(0);
    EXPECT_EQ("red", view.props.at(PROP_TAG(PT_STRING8, inMailbox)).s);
    EXPECT_EQ(0u, view.props.count(PROP_TAG(PT_STRING8, inPst)));

    // Each store's mapping survives a save and load of the profile.
    std::string error;
    ASSERT_TRUE(standin::LoadProfileText(standin::SaveProfileText(), &error)) << error;
    EXPECT_EQ(inPst, standin::NamedPropId(p_.store, set, L"Color"));
    EXPECT_EQ(inMailbox, standin::NamedPropId(mailbox, set, L"Color"));
}

} // namespace
} // namespace standin_test
