// The folder picker's tree without its window: which stores are listed, children read once, flags,
// images, special folders, display paths, answers and the failures users see.
#include "PairsTestSupport.h"

#include "base/Errors.h"
#include "ui/MAPIFolderTree.h"

using FolderPickers::ZxMAPIFolderTree;
using Node = ZxMAPIFolderTree::CFolderDesc;

namespace {

Node* Child(const Node& parent, const std::string& name) {
    for (const auto& child : parent.children)
        if (child->displayName == name) return child.get();
    return nullptr;
}

Node* TopNode(const ZxMAPIFolderTree& tree, const std::string& name) {
    for (const auto& node : tree.GetTopLevel())
        if (node->displayName == name) return node.get();
    return nullptr;
}

} // namespace

TEST_F(PairsTest, TopLevelListsStoresByNameAndProvider) {
    struct Case {
        const char* name;
        standin::ProviderKind kind;
        bool isDefault;
        bool listed;
        uint32_t flags;
    };
    const Case cases[] = {
        {"Personal Folders", standin::ProviderKind::PersonalFolders, true, true, 0x6001},
        {"Mailbox - Ann Smith", standin::ProviderKind::Other, false, true, 0x2001},
        {"Public Folders", standin::ProviderKind::ExchangePublic, false, true, 0xA001},
        {"Shared folders", standin::ProviderKind::SharedFolders, false, true, 0x2001},
        {"Hidden provider", standin::ProviderKind::Excluded, false, false, 0},
        {"SystemMailbox{1F2E}", standin::ProviderKind::Other, false, false, 0},
        {"SMTP (ann@example.com)", standin::ProviderKind::Other, false, false, 0},
        {"System Attendant", standin::ProviderKind::Other, false, false, 0},
        {"SsystemAufsicht", standin::ProviderKind::Other, false, false, 0},
        {"Archive of SMTP (old)", standin::ProviderKind::Other, false, true, 0x2001},
        {"systemmailbox{lower case}", standin::ProviderKind::Other, false, true, 0x2001},
    };
    for (const Case& c : cases) {
        standin::StoreSpec storeDesc;
        storeDesc.displayName = c.name;
        storeDesc.kind = c.kind;
        storeDesc.isDefault = c.isDefault;
        storeDesc.storeFilePath = "C:\\shared.zxb";
        standin::AddStore(storeDesc);
    }
    standin::StoreSpec shortProvider; // a provider id that is not 16 bytes long is some other provider
    shortProvider.displayName = "Odd provider";
    shortProvider.overrideProvider = true;
    shortProvider.providerBytes = standin::ProviderBytes(standin::ProviderKind::Excluded).substr(0, 15);
    standin::AddStore(shortProvider);

    ZxMAPIFolderTree tree(NewSession());
    tree.FillTopLevel();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Node* node = TopNode(tree, c.name);
        ASSERT_EQ(node != nullptr, c.listed);
        if (!node) continue;
        EXPECT_EQ(node->flags, c.flags);
        EXPECT_TRUE(node->hasSubfolders);
        EXPECT_FALSE(node->entryId.HasData());
        EXPECT_EQ(Raw(tree.GetStoreEntryId(node->storeIndex)), standin::StoreByName(c.name));
    }
    ASSERT_NE(TopNode(tree, "Odd provider"), nullptr);
    EXPECT_EQ(TopNode(tree, "Odd provider")->flags, 0x2001u);
    // Listed in table order.
    std::vector<std::string> order;
    for (const auto& node : tree.GetTopLevel()) order.push_back(node->displayName);
    EXPECT_EQ(order, (std::vector<std::string>{"Personal Folders", "Mailbox - Ann Smith", "Public Folders",
                                               "Shared folders", "Archive of SMTP (old)", "systemmailbox{lower case}",
                                               "Odd provider"}));

    // Filling again while nodes exist reads nothing.
    standin::ResetCounters();
    tree.FillTopLevel();
    EXPECT_EQ(standin::TotalCalls(), 0);
}

TEST_F(PairsTest, ChildrenAreReadOnceWithKindsAndSpecialFolders) {
    MakeProfile();
    ZxMAPIFolderTree tree(NewSession());
    tree.FillTopLevel();
    Node& store = *TopNode(tree, "Personal Folders");

    standin::ResetCounters();
    EXPECT_TRUE(tree.ReadChildrenOnce(store));
    EXPECT_EQ(standin::CallCount("IMAPIFolder::GetHierarchyTable"), 1);
    EXPECT_EQ(Raw(store.entryId), standin::IpmSubtree(m_pst));
    EXPECT_TRUE(store.childrenRead);

    const struct {
        const char* name;
        uint32_t flags;
        int image;
    } expected[] = {
        {"Inbox", 0x101, 108},   {"Outbox", 0x201, 112},  {"Sent Items", 0x801, 106}, {"Deleted Items", 0x401, 113},
        {"Calendar", 0x10, 104}, {"Contacts", 0x8, 105},  {"Drafts", 0x1, 114},      {"Journal", 0x4, 109},
        {"Notes", 0x20, 111},    {"Tasks", 0x2, 115},
    };
    ASSERT_EQ(store.children.Size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const Node* child = Child(store, e.name);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->flags, e.flags);
        EXPECT_EQ(ZxMAPIFolderTree::GetImageId(child->flags), e.image);
        EXPECT_EQ(child->storeIndex, store.storeIndex);
        EXPECT_FALSE(child->childrenRead);
        standin::FolderView view;
        ASSERT_TRUE(standin::GetFolder(Raw(child->entryId), &view));
        EXPECT_EQ(view.name, e.name);
    }
    EXPECT_TRUE(Child(store, "Calendar")->hasSubfolders);
    EXPECT_FALSE(Child(store, "Tasks")->hasSubfolders);

    // A second expansion, and an expansion of a folder of the same store, open nothing again.
    standin::ResetCounters();
    EXPECT_FALSE(tree.ReadChildrenOnce(store));
    EXPECT_EQ(standin::TotalCalls(), 0);
    Node& calendar = *Child(store, "Calendar");
    EXPECT_TRUE(tree.ReadChildrenOnce(calendar));
    EXPECT_EQ(standin::CallCount("IMAPISession::OpenMsgStore"), 0);
    ASSERT_EQ(calendar.children.Size(), 1u);
    EXPECT_EQ(calendar.children.At(0).flags, 0x10u); // special folders are marked only below the store
    EXPECT_FALSE(tree.ReadChildrenOnce(calendar));
    EXPECT_EQ(standin::CallCount("IMAPIFolder::GetHierarchyTable"), 1);
}

TEST_F(PairsTest, KindOfAFolderFollowsItsClassPrefix) {
    const struct {
        const char* cls; // nullptr: the folder has no class
        uint32_t flags;
    } cases[] = {
        {"IPF.Note", 0x1},          {"IPF.Note.Custom", 0x1},    {"IPF.Contact.Special", 0x8},
        {"ipf.appointment", 0x10},  {"IPF.StickyNote", 0x20},    {"IPF.Task", 0x2},
        {"IPF.Journal", 0x4},       {"IPM.Something", 0x1},      {nullptr, 0x1},
    };
    standin::StoreSpec storeDesc;
    storeDesc.standardFolders = false;
    const standin::Bytes store = standin::AddStore(storeDesc);
    for (const auto& c : cases) {
        const standin::Bytes f = standin::AddFolder(standin::IpmSubtree(store), c.cls ? c.cls : "(none)", "");
        if (c.cls) standin::SetFolderProp(f, PR_CONTAINER_CLASS_A, standin::Value::String(c.cls));
    }
    ZxMAPIFolderTree tree(NewSession());
    tree.FillTopLevel();
    Node& top = tree.GetTopLevel().At(0);
    tree.ReadChildrenOnce(top);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cls ? c.cls : "(none)");
        const Node* child = Child(top, c.cls ? c.cls : "(none)");
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->flags, c.flags);
    }
}

TEST_F(PairsTest, ImageOfANodeByItsFlags) {
    const struct {
        uint32_t flags;
        int image;
    } cases[] = {
        {0x6001, 101}, {0x2001, 102}, {0xA001, 102}, {0x801, 106}, {0x401, 113}, {0x101, 108}, {0x201, 112},
        {0x1, 114},    {0x2, 115},    {0x4, 109},    {0x8, 105},   {0x10, 104},  {0x20, 111},  {0x0, 114},
    };
    for (const auto& c : cases) EXPECT_EQ(ZxMAPIFolderTree::GetImageId(c.flags), c.image) << std::hex << c.flags;
}

TEST_F(PairsTest, PublicFoldersMarkTheirRootsAndEveryFolderInside) {
    MakeProfile();
    const standin::Bytes subtreeId = standin::IpmSubtree(m_public);
    // Let the non-IPM subtree show below the store node, as some servers list it.
    standin::SetStoreProp(m_public, PR_IPM_SUBTREE_ENTRYID, standin::Value::Binary(standin::RootFolder(m_public)));
    ZxMAPIFolderTree tree(NewSession());
    tree.FillTopLevel();
    Node& store = *TopNode(tree, "Public Folders");
    tree.ReadChildrenOnce(store);
    const Node* nonIpm = Child(store, "NON_IPM_SUBTREE");
    const Node* subtree = Child(store, "IPM_SUBTREE");
    ASSERT_NE(nonIpm, nullptr);
    ASSERT_NE(subtree, nullptr);
    EXPECT_EQ(nonIpm->flags, 0x28001u);
    EXPECT_EQ(subtree->flags, 0x8001u);
    Node& ipm = *Child(store, "IPM_SUBTREE");
    tree.ReadChildrenOnce(ipm);
    const Node* all = Child(ipm, "All Public Folders");
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->flags, 0x8001u); // roots are recognised only right below the store node

    // The usual layout: the root of all public folders right below the store.
    standin::SetStoreProp(m_public, PR_IPM_SUBTREE_ENTRYID, standin::Value::Binary(subtreeId));
    ZxMAPIFolderTree fresh(NewSession());
    fresh.FillTopLevel();
    Node& store2 = *TopNode(fresh, "Public Folders");
    fresh.ReadChildrenOnce(store2);
    ASSERT_NE(Child(store2, "All Public Folders"), nullptr);
    Node& root = *Child(store2, "All Public Folders");
    EXPECT_EQ(root.flags, 0x18001u);
    fresh.ReadChildrenOnce(root);
    ASSERT_NE(Child(root, "Projects"), nullptr);
    EXPECT_EQ(Child(root, "Projects")->flags, 0x8008u);
    EXPECT_EQ(ZxMAPIFolderTree::GetImageId(Child(root, "Projects")->flags), 105);
}

TEST_F(PairsTest, FolderWithoutHierarchyHasNoChildrenAndNoError) {
    MakeProfile();
    standin::SetHierarchySupported(standin::FolderByPath("Personal Folders\\Calendar"), false);
    ZxMAPIFolderTree tree(NewSession());
    tree.FillTopLevel();
    Node& store = *TopNode(tree, "Personal Folders");
    tree.ReadChildrenOnce(store);
    Node& calendar = *Child(store, "Calendar");
    EXPECT_TRUE(tree.ReadChildrenOnce(calendar));
    EXPECT_TRUE(calendar.childrenRead);
    EXPECT_TRUE(calendar.children.IsEmpty());
}

TEST_F(PairsTest, ExpansionFailuresCarryTheirTextsAndPlaces) {
    enum Break { StoreUnopenable, NoSubtree, FolderUnopenable, NoHierarchyTable, RowsUnreadable };
    const struct {
        const char* what;
        Break how;
        std::string text;
        const char* function;
        int line;
    } cases[] = {
        {"store does not open", StoreUnopenable, AnsiOf(L"Nie można otworzyć wybranej skrzynki pocztowej."),
         "FolderPickers::ZxMAPIFolderTreeCtrl::OpenMsgStore", 246},
        {"no IPM subtree", NoSubtree, AnsiOf(L"Nie można pobrać identyfikatora głównego foldera."),
         "FolderPickers::ZxMAPIFolderTreeCtrl::OnTvnItemexpanding", 306},
        {"folder does not open", FolderUnopenable, AnsiOf(L"Nie można otworzyć wybranego foldera."),
         "FolderPickers::ZxMAPIFolderTreeCtrl::ReadSubfolders", 378},
        {"no hierarchy table", NoHierarchyTable, "Failed to enumerate child folders.",
         "FolderPickers::ZxMAPIFolderTreeCtrl::ReadSubfolders", 389},
        {"rows unreadable", RowsUnreadable, "Failed to read child folders.",
         "FolderPickers::ZxMAPIFolderTreeCtrl::ReadSubfolders", 402},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        standin::Reset("Outlook");
        MakeProfile();
        standin::StoreSpec broken;
        broken.displayName = "Broken";
        broken.unopenable = c.how == StoreUnopenable;
        const standin::Bytes brokenId = standin::AddStore(broken);
        if (c.how == NoSubtree) standin::RemoveStoreProp(brokenId, PR_IPM_SUBTREE_ENTRYID);
        {
            ZxMAPIFolderTree tree(NewSession());
            tree.FillTopLevel();
            Node& store = *TopNode(tree, "Broken");
            const bool inFolder = c.how == FolderUnopenable || c.how == NoHierarchyTable || c.how == RowsUnreadable;
            if (inFolder) tree.ReadChildrenOnce(store);
            Node& target = inFolder ? *Child(store, "Calendar") : store;
            if (c.how == FolderUnopenable) standin::FailCall("IMsgStore::OpenEntry", 1, MAPI_E_NOT_FOUND);
            if (c.how == NoHierarchyTable) standin::FailCall("IMAPIFolder::GetHierarchyTable", 1, MAPI_E_CALL_FAILED);
            if (c.how == RowsUnreadable) standin::FailCall("HrQueryAllRows", 1, MAPI_E_TABLE_TOO_BIG);
            try {
                tree.ReadChildrenOnce(target);
                ADD_FAILURE() << "no exception";
            } catch (const Error::ZxExceptionMAPI& e) {
                EXPECT_EQ(e.GetText(), c.text);
                EXPECT_EQ(e.GetFunctionName(), c.function);
                EXPECT_EQ(e.GetLine(), c.line);
                EXPECT_EQ(e.GetFileName(), "MAPIFolderTreeCtrl");
            }
            EXPECT_TRUE(target.children.IsEmpty());
            standin::ClearFaults();
            // The tree stays usable: another store still expands.
            Node& mailbox = *TopNode(tree, "Mailbox - Ann Smith");
            EXPECT_TRUE(tree.ReadChildrenOnce(mailbox));
            EXPECT_NE(Child(mailbox, "Inbox"), nullptr);
        }
    }
}

TEST_F(PairsTest, DisplayPathsAndAnswers) {
    MakeProfile();
    ZxMAPIFolderTree tree(NewSession());
    tree.FillTopLevel();
    Node& store = *TopNode(tree, "Personal Folders");
    tree.ReadChildrenOnce(store);
    Node& calendar = *Child(store, "Calendar");
    tree.ReadChildrenOnce(calendar);
    const Node& team = calendar.children.At(0);

    EXPECT_EQ(ZxMAPIFolderTree::GetDisplayPath(store), "Personal Folders");
    EXPECT_EQ(ZxMAPIFolderTree::GetDisplayPath(calendar), "Personal Folders\\Calendar");
    EXPECT_EQ(ZxMAPIFolderTree::GetDisplayPath(team), "Personal Folders\\Calendar\\Team");

    const CMAPIFolderDesc answer = tree.MakeAnswer(&team);
    EXPECT_EQ(answer.GetDisplayText(), "Personal Folders\\Calendar\\Team");
    EXPECT_EQ(Raw(answer.GetEntryId()), standin::FolderByPath("Personal Folders\\Calendar\\Team"));
    EXPECT_EQ(Raw(answer.GetStoreEntryId()), m_pst);
    EXPECT_EQ(answer.GetFlags(), 0x10u);
    const CMAPIFolderDesc copy = answer;
    EXPECT_EQ(copy.GetDisplayText(), answer.GetDisplayText());
    EXPECT_EQ(Raw(copy.GetStoreEntryId()), m_pst);

    const CMAPIFolderDesc none = tree.MakeAnswer(nullptr);
    EXPECT_FALSE(none.GetEntryId().HasData());
    EXPECT_TRUE(none.GetDisplayText().empty());
    EXPECT_EQ(none.GetFlags(), 0u);

    // The chosen folder opens in its store, also when another store is open meanwhile.
    Node& mailbox = *TopNode(tree, "Mailbox - Ann Smith");
    tree.ReadChildrenOnce(mailbox);
    ZxIMAPIFolder opened;
    tree.OpenChosenFolder(team, opened);
    ASSERT_TRUE(opened);
    ZxSBinary id;
    ASSERT_EQ(opened.GetPropBinary(PR_ENTRYID, id), S_OK);
    EXPECT_EQ(Raw(id), standin::FolderByPath("Personal Folders\\Calendar\\Team"));

    // A folder deleted since it was listed leaves the answer's folder empty.
    standin::DeleteFolder(standin::FolderByPath("Personal Folders\\Calendar\\Team"));
    tree.OpenChosenFolder(team, opened);
    EXPECT_FALSE(opened);
}

TEST_F(PairsTest, OneStoreIsOpenAtATime) {
    MakeProfile();
    ZxMAPIFolderTree tree(NewSession());
    tree.FillTopLevel();
    Node& pst = *TopNode(tree, "Personal Folders");
    Node& mailbox = *TopNode(tree, "Mailbox - Ann Smith");
    standin::ResetCounters();
    tree.ReadChildrenOnce(pst);
    tree.ReadChildrenOnce(*Child(pst, "Calendar"));
    EXPECT_EQ(standin::CallCount("IMAPISession::OpenMsgStore"), 1);
    tree.ReadChildrenOnce(mailbox);
    EXPECT_EQ(standin::CallCount("IMAPISession::OpenMsgStore"), 2);
    // The mailbox's special folders are its own.
    EXPECT_EQ(Child(mailbox, "Inbox")->flags, 0x101u);
    EXPECT_EQ(Child(mailbox, "Sent Items")->flags, 0x801u);
    tree.ReadChildrenOnce(*Child(pst, "Contacts"));
    EXPECT_EQ(standin::CallCount("IMAPISession::OpenMsgStore"), 3);
    EXPECT_EQ(standin::CallCount("IMsgStore::GetReceiveFolder"), 3);
}
