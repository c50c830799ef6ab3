// The session wrapper: taking Outlook's session, opening stores, comparing ids, the profile name.
#include <gtest/gtest.h>

#include <string>

#include "support/MapiWorld.h"
#include "mapi/MAPIProps.h"
#include "mapi/Session.h"

using standin::Bytes;

class SessionTest : public MapiWorldTest {};

TEST_F(SessionTest, AssignmentFromAnyInterfaceOfTheSession) {
    standin::SetProfileName("Assigned");
    IMAPISession* raw = standin::NewSession();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(raw->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    raw->Release();

    ZxIMAPISession session;
    session = unknown;
    unknown->Release(); // the wrapper holds its own reference
    ASSERT_TRUE(session);
    EXPECT_EQ(session.GetProfileName(), "Assigned");

    ZxIMAPISession copy(session);
    EXPECT_EQ(copy.Get(), session.Get());
}

TEST_F(SessionTest, AssignmentFromSomethingElseLeavesItEmptyAndReleasesTheOldSession) {
    Bytes store = standin::AddStore({});
    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened;
    ASSERT_EQ(session.OpenMsgStore(Sb(store), opened, MAPI_BEST_ACCESS), S_OK);

    ZxIMAPISession other = NewSession();
    const long objects = standin::LiveComObjects();
    other = opened.Get(); // a store is no session
    EXPECT_FALSE(other);
    EXPECT_LT(standin::LiveComObjects(), objects);

    session = static_cast<IUnknown*>(nullptr);
    EXPECT_FALSE(session);
}

TEST_F(SessionTest, OpensStoresByEntryId) {
    standin::StoreSpec descr;
    descr.displayName = "Archive";
    Bytes store = standin::AddStore(descr);
    standin::StoreSpec broken;
    broken.displayName = "Broken";
    broken.unopenable = true;
    Bytes unopenable = standin::AddStore(broken);

    ZxIMAPISession session = NewSession();
    ZxIMsgStore opened;
    ASSERT_EQ(session.OpenMsgStore(Zx(store), opened, 0xB1), S_OK);
    std::string name;
    EXPECT_EQ(opened.GetPropString(PR_DISPLAY_NAME_A, name), S_OK);
    EXPECT_EQ(name, "Archive");

    ZxIMsgStore notOpened;
    EXPECT_TRUE(FAILED(session.OpenMsgStore(Sb(unopenable), notOpened, 0x91)));
    EXPECT_FALSE(notOpened);

    standin::FailCall("IMAPISession::OpenMsgStore", 1, MAPI_E_LOGON_FAILED);
    EXPECT_EQ(session.OpenMsgStore(Sb(store), notOpened, 0x91), MAPI_E_LOGON_FAILED);
}

TEST_F(SessionTest, ComparesEntryIds) {
    Bytes first = standin::AddStore({});
    standin::StoreSpec descr;
    descr.displayName = "Second";
    Bytes second = standin::AddStore(descr);
    ZxIMAPISession session = NewSession();

    EXPECT_NE(session.CompareEntryIDs(Sb(first), Sb(first)), 0u);
    EXPECT_NE(session.CompareEntryIDs(Zx(standin::Inbox(first)), Zx(standin::Inbox(first))), 0u);
    EXPECT_EQ(session.CompareEntryIDs(Sb(first), Sb(second)), 0u);

    standin::FailCall("IMAPISession::CompareEntryIDs", 1, MAPI_E_CALL_FAILED);
    EXPECT_EQ(session.CompareEntryIDs(Sb(first), Sb(first)), 0u);
}

TEST_F(SessionTest, ProfileName) {
    standin::SetProfileName("Work \xC4rger");
    ZxIMAPISession session = NewSession();
    EXPECT_EQ(session.GetProfileName(), "Work \xC4rger");

    standin::FailCall("IMAPISession::OpenProfileSection", 1, MAPI_E_NO_ACCESS);
    EXPECT_EQ(session.GetProfileName(), "");

    standin::SetProfileNameAvailable(false);
    EXPECT_EQ(session.GetProfileName(), "");
}
