// Object notifications of the stand-in stores, as the MAPI reference describes them for real stores:
// registered on a folder, a message or the whole store, delivered later from the registering thread's
// message loop (never inside the call that made the change), with the OBJECT_NOTIFICATION of the event.
#include "Helpers.h"

#include <atomic>
#include <vector>

namespace standin_test {
namespace {

struct Seen {
    ULONG event;
    Bytes item, parent, oldParent;
};

class RecordingSink : public IMAPIAdviseSink {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IMAPIAdviseSink) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; } // lives on the test's stack
    STDMETHODIMP_(ULONG) OnNotify(ULONG count, LPNOTIFICATION notifications) override {
        for (ULONG i = 0; i < count; ++i) {
            const OBJECT_NOTIFICATION& o = notifications[i].info.obj;
            seen.push_back({notifications[i].ulEventType, BytesOf(o.cbEntryID, o.lpEntryID),
                            BytesOf(o.cbParentID, o.lpParentID), BytesOf(o.cbOldParentID, o.lpOldParentID)});
        }
        return 0;
    }
    static Bytes BytesOf(ULONG cb, LPENTRYID id) { return id ? Bytes(reinterpret_cast<const char*>(id), cb) : Bytes(); }

    std::atomic<ULONG> refs{1};
    std::vector<Seen> seen;
};

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

constexpr ULONG kObjectEvents = fnevObjectCreated | fnevObjectModified | fnevObjectDeleted | fnevObjectMoved;

class NotifyTest : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        session_ = NewSession();
        store_ = OpenStore(session_.Get(), p_.store);
        ASSERT_TRUE(store_);
    }
    void TearDown() override {
        store_.Reset();
        session_.Reset();
        StandinTest::TearDown();
    }
    ULONG Advise(const Bytes& object, RecordingSink& sink, ULONG mask = kObjectEvents) {
        ULONG connection = 0;
        EXPECT_EQ(store_->Advise(Cb(object), object.empty() ? nullptr : Eid(object), mask, &sink, &connection), S_OK);
        EXPECT_NE(connection, 0u);
        return connection;
    }

    BasicProfile p_;
    // The sinks outlive the store, which holds them until it goes (TearDown).
    RecordingSink first_, second_;
    ComPtr<IMAPISession> session_;
    ComPtr<IMsgStore> store_;
};

TEST_F(NotifyTest, AFolderHearsOfItsMessagesCreatedChangedMovedAndDeletedOnlyFromTheMessageLoop) {
    RecordingSink& calendar = first_;
    RecordingSink& contacts = second_;
    Advise(p_.calendar, calendar);
    Advise(p_.contacts, contacts);

    const Bytes item = standin::AddItem(p_.calendar, "Dentist");
    EXPECT_TRUE(calendar.seen.empty()) << "delivered inside the call that made the change";
    Pump();
    ASSERT_EQ(calendar.seen.size(), 1u);
    EXPECT_EQ(calendar.seen[0].event, static_cast<ULONG>(fnevObjectCreated));
    EXPECT_EQ(calendar.seen[0].item, item);
    EXPECT_EQ(calendar.seen[0].parent, p_.calendar);

    // Through MAPI as a client changes it.
    ComPtr<IMAPIFolder> folder = OpenFolder(store_.Get(), p_.calendar);
    ComPtr<IMessage> message = OpenMessage(folder.Get(), item, nullptr, MAPI_MODIFY);
    ASSERT_TRUE(message);
    ASSERT_EQ(SetText(message.Get(), PR_SUBJECT_A, "Dentist at nine"), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    message.Reset();
    ASSERT_TRUE(standin::MoveItem(item, p_.contacts));
    Pump();
    ASSERT_EQ(calendar.seen.size(), 3u);
    EXPECT_EQ(calendar.seen[1].event, static_cast<ULONG>(fnevObjectModified));
    EXPECT_EQ(calendar.seen[2].event, static_cast<ULONG>(fnevObjectMoved));
    EXPECT_EQ(calendar.seen[2].parent, p_.contacts);
    EXPECT_EQ(calendar.seen[2].oldParent, p_.calendar);
    ASSERT_EQ(contacts.seen.size(), 1u) << "the folder it moved to hears of it too";
    EXPECT_EQ(contacts.seen[0].event, static_cast<ULONG>(fnevObjectMoved));

    SBinary bin{Cb(item), reinterpret_cast<LPBYTE>(const_cast<char*>(item.data()))};
    ENTRYLIST list{1, &bin};
    ComPtr<IMAPIFolder> contactsFolder = OpenFolder(store_.Get(), p_.contacts);
    ASSERT_EQ(contactsFolder->DeleteMessages(&list, 0, nullptr, 0), S_OK);
    Pump();
    ASSERT_EQ(contacts.seen.size(), 2u);
    EXPECT_EQ(contacts.seen[1].event, static_cast<ULONG>(fnevObjectDeleted));
    EXPECT_EQ(contacts.seen[1].item, item);
    EXPECT_EQ(calendar.seen.size(), 3u) << "a deletion in another folder";
}

TEST_F(NotifyTest, TheStoreHearsEverythingAndTheMaskFilters) {
    RecordingSink& all = first_;
    RecordingSink& createdOnly = second_;
    Advise(Bytes(), all);
    Advise(p_.calendar, createdOnly, fnevObjectCreated);
    const Bytes item = standin::AddItem(p_.calendar, "Dentist");
    standin::AddItem(p_.contacts, "Ann");
    ASSERT_TRUE(standin::EditItem(item, {}));
    Pump();
    EXPECT_EQ(all.seen.size(), 3u);
    ASSERT_EQ(createdOnly.seen.size(), 1u);
    EXPECT_EQ(createdOnly.seen[0].event, static_cast<ULONG>(fnevObjectCreated));
}

TEST_F(NotifyTest, UnadviseAndTheStoresReleaseEndTheRegistrationAndLetTheSinkGo) {
    RecordingSink& sink = first_;
    RecordingSink& other = second_;
    const ULONG connection = Advise(p_.calendar, sink);
    EXPECT_EQ(sink.refs, 2u) << "the store keeps a reference while registered";
    standin::AddItem(p_.calendar, "Queued before the unadvise");
    ASSERT_EQ(store_->Unadvise(connection), S_OK);
    EXPECT_EQ(sink.refs, 1u);
    EXPECT_EQ(store_->Unadvise(connection), MAPI_E_NOT_FOUND);
    Pump();
    EXPECT_TRUE(sink.seen.empty()) << "nothing reaches a sink after its unadvise";

    Advise(p_.calendar, other);
    store_.Reset();
    EXPECT_EQ(other.refs, 1u) << "the store object went, and its registrations with it";
    standin::AddItem(p_.calendar, "After the store went");
    Pump();
    EXPECT_TRUE(other.seen.empty());
}

TEST_F(NotifyTest, BadRegistrationsAreRefused) {
    RecordingSink& sink = first_;
    ULONG connection = 0;
    EXPECT_EQ(store_->Advise(Cb(p_.calendar), Eid(p_.calendar), kObjectEvents, nullptr, &connection),
              MAPI_E_INVALID_PARAMETER);
    const Bytes unknown(p_.calendar.size(), '\x01');
    EXPECT_EQ(store_->Advise(Cb(unknown), Eid(unknown), kObjectEvents, &sink, &connection), MAPI_E_NOT_FOUND);
    EXPECT_EQ(sink.refs, 1u);
}

} // namespace
} // namespace standin_test
