// Display paths of folders, walked up from the folder to the store's visible top.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "support/MapiWorld.h"
#include "mapi/MAPIProps.h"
#include "mapi/MAPITags.h"
#include "mapi/Session.h"

using standin::Bytes;
using standin::Value;

class FolderPathTest : public MapiWorldTest {
protected:
    // Opens the folder's store and the folder as the pair model does, then asks for the path.
    // `beforeWalk` runs once both are open (to arm faults).
    std::string PathOf(const Bytes& folder, char separator = '\\', const std::function<void()>& beforeWalk = {}) {
        standin::FolderView view;
        EXPECT_TRUE(standin::GetFolder(folder, &view));
        ZxIMAPISession session = NewSession();
        ZxIMsgStore store;
        EXPECT_EQ(session.OpenMsgStore(Sb(view.store), store, MAPI_BEST_ACCESS), S_OK);
        ZxIMAPIFolder opened;
        EXPECT_EQ(store.OpenEntry(Sb(folder), opened, MAPI_BEST_ACCESS), S_OK);
        EXPECT_TRUE(opened);
        if (beforeWalk) beforeWalk();
        return opened.GetFolderPath(store.Get(), separator);
    }

    Bytes AnnStore() {
        standin::StoreSpec descr;
        descr.displayName = "Mailbox - Ann";
        descr.ownerName = "Ann Smith";
        return standin::AddStore(descr);
    }
};

TEST_F(FolderPathTest, FolderUnderTheVisibleTopStartsWithTheStoreName) {
    Bytes store = AnnStore();
    Bytes calendar = standin::FolderByPath("Mailbox - Ann\\Calendar");
    ASSERT_FALSE(calendar.empty());
    EXPECT_EQ(PathOf(calendar), "Mailbox - Ann\\Calendar");
    EXPECT_EQ(PathOf(standin::IpmSubtree(store)), "Mailbox - Ann");
}

TEST_F(FolderPathTest, DeepPathWithAnotherSeparator) {
    Bytes store = AnnStore();
    Bytes folder = standin::IpmSubtree(store);
    for (const char* name : {"Projects", "2026", "Q1", "Clients", "Orvanta"}) folder = standin::AddFolder(folder, name);
    EXPECT_EQ(PathOf(folder), "Mailbox - Ann\\Projects\\2026\\Q1\\Clients\\Orvanta");
    EXPECT_EQ(PathOf(folder, '/'), "Mailbox - Ann/Projects/2026/Q1/Clients/Orvanta");
}

TEST_F(FolderPathTest, StoreWithoutDisplayNameIsNamedByItsOwner) {
    standin::StoreSpec descr;
    descr.displayName = "";
    descr.ownerName = "Ann Smith";
    Bytes store = standin::AddStore(descr);
    Bytes projects = standin::AddFolder(standin::IpmSubtree(store), "Projects");
    EXPECT_EQ(PathOf(standin::IpmSubtree(store)), "Ann Smith");
    EXPECT_EQ(PathOf(projects), "Ann Smith\\Projects");
}

TEST_F(FolderPathTest, FolderWithoutDisplayNameIsNamedByItsOwnOwnerName) {
    Bytes store = AnnStore();
    Bytes shared = standin::AddFolder(standin::IpmSubtree(store), "x");
    ASSERT_TRUE(standin::SetFolderProp(shared, PR_DISPLAY_NAME_A, Value::String("")));
    ASSERT_TRUE(standin::SetFolderProp(shared, PR_MAILBOX_OWNER_NAME_A, Value::String("Bob")));
    EXPECT_EQ(PathOf(shared), "Mailbox - Ann\\Bob");
}

TEST_F(FolderPathTest, ParentNamesHaveNoFallback) {
    // The immediate parent's name is always prefixed, even when empty; its owner name is not used.
    Bytes store = AnnStore();
    Bytes nameless = standin::AddFolder(standin::IpmSubtree(store), "x");
    ASSERT_TRUE(standin::SetFolderProp(nameless, PR_DISPLAY_NAME_A, Value::String("")));
    ASSERT_TRUE(standin::SetFolderProp(nameless, PR_MAILBOX_OWNER_NAME_A, Value::String("Bob")));
    Bytes child = standin::AddFolder(nameless, "Child");
    EXPECT_EQ(PathOf(child), "Mailbox - Ann\\\\Child");
}

TEST_F(FolderPathTest, WalkStopsBeforeAnAncestorWithAnEmptyName) {
    Bytes store = AnnStore();
    Bytes a = standin::AddFolder(standin::IpmSubtree(store), "A");
    Bytes b = standin::AddFolder(a, "B");
    Bytes c = standin::AddFolder(b, "C");
    Bytes d = standin::AddFolder(c, "D");
    ASSERT_TRUE(standin::SetFolderProp(b, PR_DISPLAY_NAME_A, Value::String("")));

    // From D: C is prefixed, then B (opened further up) has no name: B, A and the store are left out.
    EXPECT_EQ(PathOf(d), "C\\D");
    // From C: B is the immediate parent, so its empty name is prefixed and the walk goes on.
    EXPECT_EQ(PathOf(c), "Mailbox - Ann\\A\\\\C");
}

TEST_F(FolderPathTest, FolderUnderTheRootEndsAtTheRootThatIsItsOwnParent) {
    Bytes store = AnnStore();
    Bytes root = standin::RootFolder(store);
    Bytes finder = standin::AddFolder(root, "Finder");
    Bytes deeper = standin::AddFolder(finder, "Saved");

    standin::FolderView rootView;
    ASSERT_TRUE(standin::GetFolder(root, &rootView));
    EXPECT_EQ(PathOf(finder), rootView.name + "\\Finder");

    ASSERT_TRUE(standin::SetFolderProp(root, PR_DISPLAY_NAME_A, Value::String("Root - Mailbox")));
    EXPECT_EQ(PathOf(finder), "Root - Mailbox\\Finder");
    EXPECT_EQ(PathOf(deeper), "Root - Mailbox\\Finder\\Saved");
}

TEST_F(FolderPathTest, ParentThatCannotBeOpenedLeavesTheOwnName) {
    Bytes store = AnnStore();
    Bytes a = standin::AddFolder(standin::IpmSubtree(store), "A");
    Bytes b = standin::AddFolder(a, "B");
    EXPECT_EQ(PathOf(b, '\\', [] { standin::FailCall("IMsgStore::OpenEntry", 1, MAPI_E_NO_ACCESS); }), "B");
    // The second open (of A's parent, the visible top) fails: A stays in, the store name does not.
    EXPECT_EQ(PathOf(b, '\\', [] { standin::FailCall("IMsgStore::OpenEntry", 2, MAPI_E_NO_ACCESS); }), "A\\B");
}

TEST_F(FolderPathTest, ParentChainThatLoopsEndsInsteadOfHanging) {
    // A damaged store: two folders name each other as parent, neither reaching the visible top.
    Bytes store = AnnStore();
    Bytes a = standin::AddFolder(standin::IpmSubtree(store), "A");
    Bytes b = standin::AddFolder(a, "B");
    ASSERT_TRUE(standin::SetFolderProp(a, PR_PARENT_ENTRYID, Value::Binary(b)));
    const std::string path = PathOf(b);
    // The walk stops after a bounded number of steps (one ancestor name each); the path still ends
    // with the folder and its parent.
    EXPECT_EQ(std::count(path.begin(), path.end(), '\\'), 1024);
    EXPECT_EQ(path.substr(path.size() - 4), "\\A\\B");
}
