// Messages as the synchronizer creates, copies, saves, opens and deletes them.
#include "Helpers.h"

#include <cstring>

namespace standin_test {
namespace {

class MessageTest : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        session_ = NewSession();
        store_ = OpenStore(session_.Get(), p_.store);
        calendar_ = OpenFolder(store_.Get(), p_.calendar);
        contacts_ = OpenFolder(store_.Get(), p_.contacts);
        ASSERT_TRUE(calendar_ && contacts_);
    }
    void TearDown() override {
        contacts_.Reset();
        calendar_.Reset();
        store_.Reset();
        session_.Reset();
        StandinTest::TearDown();
    }

    BasicProfile p_;
    ComPtr<IMAPISession> session_;
    ComPtr<IMsgStore> store_;
    ComPtr<IMAPIFolder> calendar_, contacts_;
};

TEST_F(MessageTest, FirstSaveAssignsIdsRecordKeyAndTheClockTime) {
    ComPtr<IMessage> m;
    ASSERT_EQ(calendar_->CreateMessage(nullptr, 0, &m), S_OK);
    Bytes id, key;
    EXPECT_EQ(GetBinary(m.Get(), PR_ENTRYID, &id), MAPI_E_NOT_FOUND);
    EXPECT_EQ(GetBinary(m.Get(), PR_RECORD_KEY, &key), MAPI_E_NOT_FOUND);
    ASSERT_EQ(SetText(m.Get(), PR_SUBJECT_A, "Dentist"), S_OK);
    ASSERT_EQ(m->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(GetBinary(m.Get(), PR_ENTRYID, &id), S_OK);
    ASSERT_EQ(GetBinary(m.Get(), PR_RECORD_KEY, &key), S_OK);
    EXPECT_NE(id, key);
    ULONGLONG t = 0;
    ASSERT_EQ(GetTime(m.Get(), &t), S_OK);
    EXPECT_EQ(t, Ticks(standin::Now()));
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(id, &view));
    EXPECT_EQ(view.subject, "Dentist");
    EXPECT_EQ(view.recordKey, key);
    EXPECT_EQ(view.folder, p_.calendar);
}

TEST_F(MessageTest, EverySaveMovesTheModificationTimeForward) {
    Bytes id = standin::AddItem(p_.calendar, "Meeting");
    auto m = OpenMessage(calendar_.Get(), id);
    ASSERT_TRUE(m);
    ULONGLONG before = 0, first = 0, second = 0;
    ASSERT_EQ(GetTime(m.Get(), &before), S_OK);
    ASSERT_EQ(m->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(GetTime(m.Get(), &first), S_OK);
    ASSERT_EQ(m->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(GetTime(m.Get(), &second), S_OK);
    EXPECT_GT(first, before);
    EXPECT_GT(second, first);
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(id, &view));
    EXPECT_EQ(Ticks(view.modified), second);
    // A user's edit in Outlook moves it too; SetItemTime puts it anywhere, even backwards.
    standin::EditItem(id, {{PR_SUBJECT_A, standin::Value::String("Moved")}});
    ASSERT_TRUE(standin::GetItem(id, &view));
    EXPECT_GT(Ticks(view.modified), second);
    standin::SetItemTime(id, standin::MakeTime(2020, 5, 1));
    ASSERT_TRUE(standin::GetItem(id, &view));
    EXPECT_EQ(Ticks(view.modified), Ticks(standin::MakeTime(2020, 5, 1)));
}

TEST_F(MessageTest, AnUnsavedNewMessageVanishesOnRelease) {
    {
        ComPtr<IMessage> m;
        ASSERT_EQ(calendar_->CreateMessage(nullptr, 0, &m), S_OK);
        ASSERT_EQ(SetText(m.Get(), PR_SUBJECT_A, "Never saved"), S_OK);
    }
    EXPECT_TRUE(standin::Items(p_.calendar).empty());
}

TEST_F(MessageTest, CopyToCarriesPropertiesRecipientsAndAttachmentsButNotIdentity) {
    standin::ItemSpec descr;
    descr.subject = "Offsite";
    FILETIME start = standin::MakeTime(2026, 3, 4, 9, 30);
    descr.props = {
        {PR_BODY_W, standin::Value::Wide(L"Bring \x2603 laptops")},
        {PROP_TAG(PT_BINARY, 0x8001), standin::Value::Binary(Bytes("\x00\x01\xFF", 3))},
        {PR_IMPORTANCE, standin::Value::Long(2)},
        {PROP_TAG(PT_BOOLEAN, 0x8002), standin::Value::Bool(true)},
        {PROP_TAG(PT_I8, 0x8003), standin::Value::I8(-1234567890123LL)},
        {PROP_TAG(PT_DOUBLE, 0x8004), standin::Value::Double(2.5)},
        {PROP_TAG(PT_SYSTIME, 0x8005), standin::Value::Time(start)},
        {PROP_TAG(PT_MV_STRING8, 0x8006),
         standin::Value::Multi(PT_MV_STRING8, {standin::Value::String("a"), standin::Value::String("b")})},
    };
    descr.recipients = {{{PR_DISPLAY_NAME_A, standin::Value::String("Ann")}},
                        {{PR_DISPLAY_NAME_A, standin::Value::String("Bob")}}};
    descr.attachments = {{{PR_ATTACH_LONG_FILENAME_A, standin::Value::String("plan.txt")},
                          {PR_ATTACH_DATA_BIN, standin::Value::Binary("hello")}}};
    Bytes source = standin::AddItem(p_.calendar, descr);
    // An older message in the target with three recipients, to which the copy adds the source's (the
    // destination's own subobjects stay, as in real stores).
    standin::ItemSpec old;
    old.subject = "Old";
    old.recipients = {{{PR_DISPLAY_NAME_A, standin::Value::String("X")}},
                      {{PR_DISPLAY_NAME_A, standin::Value::String("Y")}},
                      {{PR_DISPLAY_NAME_A, standin::Value::String("Z")}}};
    Bytes existing = standin::AddItem(p_.contacts, old);

    auto src = OpenMessage(calendar_.Get(), source);
    ComPtr<IMessage> fresh;
    ASSERT_EQ(contacts_->CreateMessage(nullptr, 0, &fresh), S_OK);
    auto older = OpenMessage(contacts_.Get(), existing);
    for (IMessage* target : {fresh.Get(), older.Get()}) {
        ASSERT_EQ(src->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, target, 0, nullptr), S_OK);
        ASSERT_EQ(target->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    }
    Bytes copyId;
    ASSERT_EQ(GetBinary(fresh.Get(), PR_ENTRYID, &copyId), S_OK);
    standin::ItemView from, copy, replaced;
    ASSERT_TRUE(standin::GetItem(source, &from));
    ASSERT_TRUE(standin::GetItem(copyId, &copy));
    ASSERT_TRUE(standin::GetItem(existing, &replaced));
    for (const standin::ItemView* to : {&copy, &replaced}) {
        for (const auto& [tag, value] : from.props) {
            ULONG id = PROP_ID(tag);
            bool identity = id == PROP_ID(PR_ENTRYID) || id == PROP_ID(PR_RECORD_KEY) ||
                            id == PROP_ID(PR_PARENT_ENTRYID) || id == PROP_ID(PR_LAST_MODIFICATION_TIME) ||
                            id == PROP_ID(PR_CREATION_TIME);
            if (identity) {
                auto it = to->props.find(tag);
                EXPECT_TRUE(it == to->props.end() || it->second != value) << std::hex << tag;
            } else {
                ASSERT_TRUE(to->props.count(tag)) << std::hex << tag;
                EXPECT_TRUE(to->props.at(tag) == value) << std::hex << tag;
            }
        }
        EXPECT_EQ(to->attachments, from.attachments);
        EXPECT_EQ(to->folder, p_.contacts);
    }
    EXPECT_EQ(copy.recipients, from.recipients);
    EXPECT_EQ(replaced.entryId, existing);
    // X, Y, Z stay; Ann and Bob follow them, numbered after them.
    ASSERT_EQ(replaced.recipients.size(), 5u);
    const char* names[] = {"X", "Y", "Z", "Ann", "Bob"};
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(replaced.recipients[k].at(PR_DISPLAY_NAME_A).s, names[k]);
        EXPECT_EQ(replaced.recipients[k].at(PR_ROWID).i, static_cast<LONGLONG>(k));
    }
}

TEST_F(MessageTest, DeletedItemsCannotBeOpenedOrSaved) {
    Bytes id = standin::AddItem(p_.calendar, "Gone soon");
    auto open = OpenMessage(calendar_.Get(), id);
    ASSERT_TRUE(open);
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(id, &view));
    ASSERT_TRUE(standin::DeleteItem(id));
    HRESULT hr;
    for (const Bytes& anyId : {view.entryId, view.shortTermId}) {
        EXPECT_FALSE(OpenMessage(calendar_.Get(), anyId, &hr));
        EXPECT_EQ(hr, MAPI_E_NOT_FOUND);
    }
    EXPECT_EQ(open->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_OBJECT_DELETED);
    EXPECT_FALSE(standin::ItemExists(id));
}

TEST_F(MessageTest, DeleteMessagesReportsGoneIdsAndHonoursDeleteAccess) {
    Bytes a = standin::AddItem(p_.calendar, "A");
    Bytes b = standin::AddItem(p_.calendar, "B");
    auto remove = [&](const Bytes& id) {
        SBinary bin{Cb(id), reinterpret_cast<LPBYTE>(const_cast<char*>(id.data()))};
        ENTRYLIST list{1, &bin};
        return calendar_->DeleteMessages(&list, 0, nullptr, 0);
    };
    EXPECT_EQ(remove(a), S_OK);
    EXPECT_FALSE(standin::ItemExists(a));
    EXPECT_EQ(remove(a), MAPI_W_PARTIAL_COMPLETION);
    EXPECT_EQ(OpenMessage(calendar_.Get(), b) != nullptr, true);
    // An item of another folder is not deleted through this one.
    Bytes other = standin::AddItem(p_.contacts, "C");
    EXPECT_EQ(remove(other), MAPI_W_PARTIAL_COMPLETION);
    EXPECT_TRUE(standin::ItemExists(other));
    standin::SetFolderAccess(p_.calendar, true, false);
    EXPECT_EQ(remove(b), MAPI_E_NO_ACCESS);
    EXPECT_TRUE(standin::ItemExists(b));
}

TEST_F(MessageTest, ReadOnlyFoldersRefuseSavesAndOptionallyCreation) {
    Bytes id = standin::AddItem(p_.calendar, "Fixed");
    standin::SetFolderAccess(p_.calendar, false, true);
    auto m = OpenMessage(calendar_.Get(), id);
    ASSERT_EQ(SetText(m.Get(), PR_SUBJECT_A, "Changed"), S_OK);
    EXPECT_EQ(m->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_NO_ACCESS);
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(id, &view));
    EXPECT_EQ(view.subject, "Fixed");
    ComPtr<IMessage> created;
    ASSERT_EQ(calendar_->CreateMessage(nullptr, 0, &created), S_OK);
    EXPECT_EQ(created->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_NO_ACCESS);
    standin::SetFolderRefusesCreate(p_.calendar, true);
    ComPtr<IMessage> refused;
    EXPECT_EQ(calendar_->CreateMessage(nullptr, 0, &refused), MAPI_E_NO_ACCESS);
    EXPECT_FALSE(refused);
    // Opened without asking for write access, a message refuses changes.
    auto readOnly = OpenMessage(contacts_.Get(), standin::AddItem(p_.contacts, "R"), nullptr, 0);
    EXPECT_EQ(SetText(readOnly.Get(), PR_SUBJECT_A, "No"), MAPI_E_NO_ACCESS);
}

TEST_F(MessageTest, StringsConvertBetweenEightBitAndUnicodeAsRealStoresDo) {
    Bytes id = standin::AddItem(
        p_.calendar, "",
        {{PR_SUBJECT_W, standin::Value::Wide(L"Wide subject")}, {PR_BODY_A, standin::Value::String("Narrow body")}});
    auto m = OpenMessage(calendar_.Get(), id);
    std::string subject;
    ASSERT_EQ(GetText(m.Get(), PR_SUBJECT_A, &subject), S_OK);
    EXPECT_EQ(subject, "Wide subject");
    Buffer body;
    ASSERT_EQ(HrGetOneProp(m.Get(), PR_BODY_W, &body.p), S_OK);
    EXPECT_EQ(body.p->ulPropTag, PR_BODY_W);
    EXPECT_EQ(std::wstring(body.p->Value.lpszW), L"Narrow body");
    // A type that cannot be converted is absent for the reader.
    Buffer wrong;
    EXPECT_EQ(HrGetOneProp(m.Get(), PROP_TAG(PT_LONG, PROP_ID(PR_SUBJECT_A)), &wrong.p), MAPI_E_NOT_FOUND);
}

TEST_F(MessageTest, RecipientsAndAttachmentsAreSavedWithTheMessage) {
    ComPtr<IMessage> m;
    ASSERT_EQ(calendar_->CreateMessage(nullptr, 0, &m), S_OK);
    SPropValue recip[2]{};
    recip[0].ulPropTag = PR_DISPLAY_NAME_A;
    recip[0].Value.lpszA = const_cast<char*>("Carol");
    recip[1].ulPropTag = PR_RECIPIENT_TYPE;
    recip[1].Value.l = MAPI_TO;
    ADRLIST list{1, {{0, 2, recip}}};
    ASSERT_EQ(m->ModifyRecipients(MODRECIP_ADD, &list), S_OK);
    ULONG num = 99;
    ComPtr<IAttach> att;
    ASSERT_EQ(m->CreateAttach(nullptr, 0, &num, &att), S_OK);
    ASSERT_EQ(SetText(att.Get(), PR_ATTACH_LONG_FILENAME_A, "notes.txt"), S_OK);
    ASSERT_EQ(att->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    ASSERT_EQ(m->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    Bytes id;
    ASSERT_EQ(GetBinary(m.Get(), PR_ENTRYID, &id), S_OK);
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(id, &view));
    ASSERT_EQ(view.recipients.size(), 1u);
    EXPECT_EQ(view.recipients[0].at(PR_DISPLAY_NAME_A).s, "Carol");
    EXPECT_EQ(view.recipients[0].at(PR_RECIPIENT_TYPE).i, MAPI_TO);
    ASSERT_EQ(view.attachments.size(), 1u);
    EXPECT_EQ(view.attachments[0].at(PR_ATTACH_LONG_FILENAME_A).s, "notes.txt");
    EXPECT_EQ(view.attachments[0].at(PR_ATTACH_NUM).i, static_cast<LONGLONG>(num));
    // Both come back through the message's tables.
    auto reopened = OpenMessage(calendar_.Get(), id);
    ComPtr<IMAPITable> table;
    ASSERT_EQ(reopened->GetRecipientTable(0, &table), S_OK);
    SizedSPropTagArray(1, cols) = {1, {PR_DISPLAY_NAME_A}};
    Rows rows;
    ASSERT_EQ(HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&cols), nullptr, nullptr, 0, &rows.p),
              S_OK);
    ASSERT_EQ(rows.p->cRows, 1u);
    EXPECT_STREQ(rows.p->aRow[0].lpProps[0].Value.lpszA, "Carol");
    ComPtr<IAttach> opened;
    ASSERT_EQ(reopened->OpenAttach(num, nullptr, MAPI_BEST_ACCESS, &opened), S_OK);
    std::string file;
    ASSERT_EQ(GetText(opened.Get(), PR_ATTACH_LONG_FILENAME_A, &file), S_OK);
    EXPECT_EQ(file, "notes.txt");
}

TEST_F(MessageTest, AnOpenMessageKeepsWhatItSawWhenOpened) {
    Bytes id = standin::AddItem(p_.calendar, "Before");
    auto m = OpenMessage(calendar_.Get(), id);
    standin::EditItem(id, {{PR_SUBJECT_A, standin::Value::String("After")}});
    std::string subject;
    ASSERT_EQ(GetText(m.Get(), PR_SUBJECT_A, &subject), S_OK);
    EXPECT_EQ(subject, "Before");
    ASSERT_EQ(GetText(OpenMessage(calendar_.Get(), id).Get(), PR_SUBJECT_A, &subject), S_OK);
    EXPECT_EQ(subject, "After");
}

TEST_F(MessageTest, NamedPropertiesResolveToStableIds) {
    auto m = OpenMessage(calendar_.Get(), standin::AddItem(p_.calendar, "N"));
    GUID set = {0x00062008, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    MAPINAMEID byId{&set, MNID_ID, {}};
    byId.Kind.lID = 0x8503;
    MAPINAMEID byName{&set, MNID_STRING, {}};
    byName.Kind.lpwstrName = const_cast<LPWSTR>(L"Keywords");
    LPMAPINAMEID names[] = {&byId, &byName};
    LPSPropTagArray tags = nullptr;
    EXPECT_EQ(m->GetIDsFromNames(2, names, 0, &tags), MAPI_W_ERRORS_RETURNED);
    ASSERT_NE(tags, nullptr);
    EXPECT_EQ(PROP_TYPE(tags->aulPropTag[0]), static_cast<ULONG>(PT_ERROR));
    MAPIFreeBuffer(tags);
    ASSERT_EQ(m->GetIDsFromNames(2, names, MAPI_CREATE, &tags), S_OK);
    ULONG first = tags->aulPropTag[0], second = tags->aulPropTag[1];
    MAPIFreeBuffer(tags);
    EXPECT_GE(PROP_ID(first), 0x8000u);
    EXPECT_NE(first, second);
    ASSERT_EQ(m->GetIDsFromNames(1, &names[1], 0, &tags), S_OK);
    EXPECT_EQ(tags->aulPropTag[0], second);
    MAPIFreeBuffer(tags);
}

} // namespace
} // namespace standin_test
