// The folder picker as the user meets it: a real dialog from the shared resource library, its tree
// expanded, selected and confirmed through Win32 messages.
#include "WindowTestSupport.h"

#include "ui/ImageList.h"
#include "ui/DlgEditAssoc.h"
#include "ui/MAPIFolderPicker.h"
#include "ui/PropPageOptions.h"

using FolderPickers::ZxMAPIFolderPicker;

namespace {

HWND Tree(HWND picker) { return GetDlgItem(picker, ZxMAPIFolderPicker::kTreeId); }

int ItemImage(HWND tree, HTREEITEM item) {
    TVITEMA tvi{};
    tvi.mask = TVIF_IMAGE | TVIF_CHILDREN;
    tvi.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
    return tvi.iImage;
}

bool HasExpandButton(HWND tree, HTREEITEM item) {
    TVITEMA tvi{};
    tvi.mask = TVIF_CHILDREN;
    tvi.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
    return tvi.cChildren != 0;
}

} // namespace

TEST_F(WindowTest, PickerListsStoresWithTheirImagesAndAnswersTheChosenFolder) {
    ZxImageList images(ZxResourceModule::SharedNames());
    ASSERT_TRUE(images.LoadImageSet());
    ZxMAPIFolderPicker picker(m_session, nullptr);
    picker.SetTitle("Choose one");
    UiScript script;
    HWND dialog = nullptr;
    script
        .Then("picker shows",
              [&] {
                  dialog = FindDialogWith(ZxMAPIFolderPicker::kTreeId);
                  return dialog != nullptr;
              })
        .Then("stores listed, sorted, with images",
              [&] {
                  EXPECT_EQ(UiScript::Text(dialog), "Choose one");
                  const HWND tree = Tree(dialog);
                  std::vector<std::string> top;
                  for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i)) {
                      char text[260] = {};
                      TVITEMA tvi{};
                      tvi.mask = TVIF_TEXT;
                      tvi.hItem = i;
                      tvi.pszText = text;
                      tvi.cchTextMax = sizeof text;
                      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
                      top.push_back(text);
                  }
                  EXPECT_EQ(top, (std::vector<std::string>{"Mailbox - Ann Smith", "Personal Folders", "Public Folders"}));
                  EXPECT_EQ(ItemImage(tree, UiScript::TreeItem(tree, TVI_ROOT, "Personal Folders")),
                            images.GetImageIndex(101));
                  EXPECT_EQ(ItemImage(tree, UiScript::TreeItem(tree, TVI_ROOT, "Mailbox - Ann Smith")),
                            images.GetImageIndex(102));
                  standin::ResetCounters();
                  const HTREEITEM store = UiScript::TreeItem(tree, TVI_ROOT, "Personal Folders");
                  TreeView_Expand(tree, store, TVE_EXPAND);
                  TreeView_Expand(tree, store, TVE_COLLAPSE);
                  TreeView_Expand(tree, store, TVE_EXPAND);
                  EXPECT_EQ(standin::CallCount("IMAPIFolder::GetHierarchyTable"), 1); // read once
                  EXPECT_EQ(TreeView_GetCount(tree), 3u + 10u);
                  EXPECT_EQ(ItemImage(tree, UiScript::TreeItem(tree, store, "Inbox")), images.GetImageIndex(108));
                  EXPECT_EQ(ItemImage(tree, UiScript::TreeItem(tree, store, "Calendar")), images.GetImageIndex(104));
                  EXPECT_EQ(ItemImage(tree, UiScript::TreeItem(tree, store, "Notes")), images.GetImageIndex(111));
                  EXPECT_TRUE(HasExpandButton(tree, UiScript::TreeItem(tree, store, "Calendar")));
                  EXPECT_FALSE(HasExpandButton(tree, UiScript::TreeItem(tree, store, "Tasks")));
                  return true;
              })
        .Then("a store is refused with string 164",
              [&] {
                  TreeView_SelectItem(Tree(dialog), UiScript::TreeItem(Tree(dialog), TVI_ROOT, "Personal Folders"));
                  UiScript::Click(dialog, IDOK);
                  return true;
              })
        .Then("the picker stays open",
              [&] {
                  if (m_boxes.Shown().empty()) return false;
                  EXPECT_EQ(m_boxes.Shown()[0].caption, "Orvanta Merrowlink Addin");
                  EXPECT_EQ(m_boxes.Shown()[0].text, picker.GetResourceModule().LoadStringById(164));
                  EXPECT_FALSE(m_boxes.Shown()[0].text.empty());
                  EXPECT_TRUE(IsWindowVisible(dialog));
                  EXPECT_EQ(GetFocus(), Tree(dialog));
                  return true;
              })
        .Then("a folder two levels down is chosen",
              [&] {
                  EXPECT_NE(UiScript::ExpandAndSelect(Tree(dialog), "Personal Folders\\Calendar\\Team"), nullptr);
                  UiScript::Click(dialog, IDOK);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { EXPECT_EQ(picker.DoModal(), IDOK); }));
    EXPECT_EQ(picker.GetSelectedDesc().GetDisplayText(), "Personal Folders\\Calendar\\Team");
    EXPECT_EQ(picker.GetSelectedDesc().GetFlags(), 0x10u);
    EXPECT_EQ(Raw(picker.GetSelectedDesc().GetStoreEntryId()), m_pst);
    ZxSBinary id;
    ASSERT_TRUE(picker.GetSelectedFolder());
    picker.GetSelectedFolder().GetPropBinary(PR_ENTRYID, id);
    EXPECT_EQ(Raw(id), standin::FolderByPath("Personal Folders\\Calendar\\Team"));
}

TEST_F(WindowTest, PickerRefusesPublicRootsAndAcceptsADoubleClick) {
    standin::SetStoreProp(m_public, PR_IPM_SUBTREE_ENTRYID, standin::Value::Binary(standin::FolderByPath("Public Folders")));
    ZxMAPIFolderPicker picker(m_session, nullptr);
    UiScript script;
    HWND dialog = nullptr;
    script
        .Then("picker shows",
              [&] {
                  dialog = FindDialogWith(ZxMAPIFolderPicker::kTreeId);
                  return dialog != nullptr;
              })
        .Then("the root of all public folders is refused",
              [&] {
                  EXPECT_NE(UiScript::ExpandAndSelect(Tree(dialog), "Public Folders\\All Public Folders"), nullptr);
                  UiScript::Click(dialog, IDOK);
                  return true;
              })
        .Then("with string 165",
              [&] {
                  if (m_boxes.Shown().empty()) return false;
                  EXPECT_EQ(m_boxes.Shown()[0].text, picker.GetResourceModule().LoadStringById(165));
                  return true;
              })
        .Then("a double click on a folder's label chooses it",
              [&] {
                  const HWND tree = Tree(dialog);
                  const HTREEITEM item = UiScript::ExpandAndSelect(tree, "Public Folders\\All Public Folders\\Projects");
                  EXPECT_NE(item, nullptr);
                  RECT r{};
                  *reinterpret_cast<HTREEITEM*>(&r) = item;
                  SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
                  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                  ClientToScreen(tree, &p);
                  SetCursorPos(p.x, p.y);
                  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
                  PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
                  PostMessageA(tree, WM_LBUTTONUP, 0, at);
                  PostMessageA(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                  PostMessageA(tree, WM_LBUTTONUP, 0, at);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { EXPECT_EQ(picker.DoModal(), IDOK); }));
    EXPECT_EQ(picker.GetSelectedDesc().GetDisplayText(), "Public Folders\\All Public Folders\\Projects");
    EXPECT_EQ(picker.GetSelectedDesc().GetFlags(), 0x8008u);
}

TEST_F(WindowTest, PickerShowsAFailedExpansionAndStaysUsable) {
    standin::StoreSpec broken;
    broken.displayName = "Archive";
    broken.unopenable = true;
    standin::AddStore(broken);
    ZxMAPIFolderPicker picker(m_session, nullptr);
    UiScript script;
    HWND dialog = nullptr;
    script
        .Then("picker shows",
              [&] {
                  dialog = FindDialogWith(ZxMAPIFolderPicker::kTreeId);
                  return dialog != nullptr;
              })
        .Then("expanding the store that cannot be opened",
              [&] {
                  const HWND tree = Tree(dialog);
                  const HTREEITEM archive = UiScript::TreeItem(tree, TVI_ROOT, "Archive");
                  TreeView_Expand(tree, archive, TVE_EXPAND);
                  EXPECT_EQ(m_boxes.Shown().size(), 1u);
                  if (!m_boxes.Shown().empty()) {
                      EXPECT_EQ(m_boxes.Shown()[0].caption, "Error");
                      EXPECT_EQ(m_boxes.Shown()[0].type, 0x50010u);
                      EXPECT_NE(m_boxes.Shown()[0].text.find(AnsiOf(L"Nie można otworzyć wybranej skrzynki pocztowej.")),
                                std::string::npos)
                          << m_boxes.Shown()[0].text;
                  }
                  EXPECT_FALSE(HasExpandButton(tree, archive));
                  EXPECT_EQ(TreeView_GetChild(tree, archive), nullptr);
                  // The picker goes on working.
                  EXPECT_NE(UiScript::ExpandAndSelect(tree, "Mailbox - Ann Smith\\Contacts"), nullptr);
                  UiScript::Click(dialog, IDOK);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { EXPECT_EQ(picker.DoModal(), IDOK); }));
    EXPECT_EQ(picker.GetSelectedDesc().GetDisplayText(), "Mailbox - Ann Smith\\Contacts");
}

TEST_F(WindowTest, CancelledPickerAnswersNothing) {
    ZxMAPIFolderPicker picker(m_session, nullptr);
    UiScript script;
    script.Then("cancel", [&] {
        const HWND dialog = FindDialogWith(ZxMAPIFolderPicker::kTreeId);
        if (!dialog) return false;
        UiScript::ExpandAndSelect(GetDlgItem(dialog, ZxMAPIFolderPicker::kTreeId), "Personal Folders\\Calendar");
        UiScript::Click(dialog, IDCANCEL);
        return true;
    });
    EXPECT_TRUE(script.Run([&] { EXPECT_EQ(picker.DoModal(), IDCANCEL); }));
    EXPECT_FALSE(picker.GetSelectedFolder());
    EXPECT_TRUE(picker.GetSelectedDesc().GetDisplayText().empty());
}

// The tree selects its first item when it takes the focus, so OK finds nothing selected only when the
// profile offers nothing to choose: OK then answers nothing and tells nothing, the picker stays with the
// tree in focus, and Cancel ends it without an answer.
TEST_F(WindowTest, OkWithNothingSelectedKeepsThePickerOpen) {
    for (const standin::Bytes& store : {m_pst, m_mailbox, m_public}) standin::RemoveStore(store);
    ZxMAPIFolderPicker picker(m_session, nullptr);
    UiScript script;
    HWND dialog = nullptr;
    script
        .Then("OK with no tree item selected",
              [&] {
                  dialog = FindDialogWith(ZxMAPIFolderPicker::kTreeId);
                  if (!dialog) return false;
                  EXPECT_EQ(TreeView_GetCount(Tree(dialog)), 0u);
                  EXPECT_EQ(TreeView_GetSelection(Tree(dialog)), nullptr);
                  SetFocus(GetDlgItem(dialog, IDOK));
                  UiScript::Click(dialog, IDOK);
                  return true;
              })
        .Then("the picker stays, the tree takes the focus",
              [&] {
                  if (GetFocus() != Tree(dialog)) return false;
                  EXPECT_TRUE(IsWindowVisible(dialog));
                  EXPECT_TRUE(m_boxes.Shown().empty());
                  UiScript::Click(dialog, IDCANCEL);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { EXPECT_EQ(picker.DoModal(), IDCANCEL); }));
    EXPECT_FALSE(picker.GetSelectedFolder());
    EXPECT_TRUE(picker.GetSelectedDesc().GetDisplayText().empty());
}

TEST_F(PairsTest, WindowsOfThePairsNeedTheSharedResourceLibraries) {
    // Neither library is in the program's folder or on the search path here.
    MakeProfile();
    const ZxIMAPISession session = Session();
    const std::string expected = "Failed to load resource from modules: 'ZxRes.dll, ZxResEN.dll'";
    const std::function<void()> builds[] = {
        [&] { FolderPickers::ZxMAPIFolderPicker picker(session, nullptr); },
        [&] { CDlgEditAssoc dialog(session, "Outlook", MakeRefCounted<CAssocDesc>(), nullptr); },
        [&] { CPropPageOptions page; },
    };
    for (const auto& build : builds) {
        try {
            build();
            ADD_FAILURE() << "built without the shared resource libraries";
        } catch (const Error::ZxExceptionText& e) {
            EXPECT_EQ(e.GetText(), expected);
        }
    }
}
