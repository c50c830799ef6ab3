// The pair configuration's windows as the user meets them, filled as a user would fill them: no two
// controls overlap, every text fits its control and nothing lies outside its window, at the DPI the
// screen has (the suite runs again at 144 and 192 DPI). scripts/screenshots photographs them here.
#include "Screenshot.h"
#include "WindowTestSupport.h"

#include "pictures/WindowLayout.h"

#include "config/Settings.h"
#include "ui/DlgEditAssoc.h"
#include "ui/MAPIFolderPicker.h"
#include "ui/PropPageOptions.h"

namespace {

constexpr int kTree = FolderPickers::ZxMAPIFolderPicker::kTreeId;

void StorePair(CSettings& settings, const std::string& path1, const std::string& path2, int32_t flags) {
    CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
    for (int side = 0; side < 2; ++side) {
        const std::string& path = side == 0 ? path1 : path2;
        standin::FolderView view;
        standin::GetFolder(standin::FolderByPath(path), &view);
        CFolderDesc folder;
        folder.SetFolderEntryId(Zx(view.entryId));
        folder.SetStoreEntryId(Zx(view.store));
        folder.SetFolderName(path);
        folder.SetFolderFlags(flags);
        if (side == 0)
            pair->SetFolder1(folder);
        else
            pair->SetFolder2(folder);
    }
    settings.GetAssocs().push_back(pair);
}

// Checks the window and, when scripts/screenshots asks, photographs it.
void ExpectFinished(HWND window, const std::string& picture) {
    EXPECT_EQ(standin::FindLayoutFaults(window), std::vector<std::string>());
    if (!ScreenshotFolder().empty()) EXPECT_TRUE(SaveWindowPicture(window, picture));
}

} // namespace

class WindowLayoutTest : public WindowTest {};

TEST_F(WindowLayoutTest, FolderPickerLooksFinished) {
    FolderPickers::ZxMAPIFolderPicker picker(m_session, nullptr);
    UiScript script;
    script.Then("two levels open", [&] {
        const HWND dialog = FindDialogWith(kTree);
        if (!dialog) return false;
        const HWND tree = GetDlgItem(dialog, kTree);
        UiScript::ExpandAndSelect(tree, "Public Folders\\All Public Folders");
        UiScript::ExpandAndSelect(tree, "Mailbox - Ann Smith\\Inbox");
        UiScript::ExpandAndSelect(tree, "Personal Folders\\Calendar\\Team");
        TreeView_EnsureVisible(tree, UiScript::TreeItem(tree, TVI_ROOT, "Mailbox - Ann Smith"));
        ExpectFinished(dialog, "folder-picker");
        UiScript::Click(dialog, IDCANCEL);
        return true;
    });
    EXPECT_TRUE(script.Run([&] { picker.DoModal(); }));
}

TEST_F(WindowLayoutTest, PairDialogLooksFinished) {
    CDlgEditAssoc dialog(m_session, "Outlook", MakeRefCounted<CAssocDesc>(), nullptr);
    UiScript script;
    HWND window = nullptr;
    auto pick = [&](int browse, const std::string& path) {
        script.Then("browse", [&, browse] {
                  window = UiScript::FindWindowByCaption("New synchronized group");
                  if (!window) return false;
                  UiScript::Click(window, browse);
                  return true;
              })
            .Then("pick", [&, path] {
                const HWND picker = FindDialogWith(kTree, window);
                if (!picker) return false;
                UiScript::ExpandAndSelect(GetDlgItem(picker, kTree), path);
                UiScript::Click(picker, IDOK);
                return true;
            })
            .Then("picked", [&] { return FindDialogWith(kTree, window) == nullptr; });
    };
    pick(CDlgEditAssoc::IdBrowse1, "Personal Folders\\Calendar");
    pick(CDlgEditAssoc::IdBrowse2, "Mailbox - Ann Smith\\Calendar");
    script.Then("picture", [&] {
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, CDlgEditAssoc::IdNote)));
        ExpectFinished(window, "pair-dialog");
        UiScript::Click(window, IDCANCEL);
        return true;
    });
    EXPECT_TRUE(script.Run([&] { dialog.DoModal(); }));
}

TEST_F(WindowLayoutTest, OptionsSheetLooksFinished) {
    {
        CSettings settings("Outlook");
        StorePair(settings, "Personal Folders\\Calendar", "Mailbox - Ann Smith\\Calendar", 0x10);
        StorePair(settings, "Personal Folders\\Contacts", "Public Folders\\All Public Folders\\Projects", 0x8);
        StorePair(settings, "Personal Folders\\Tasks", "Mailbox - Ann Smith\\Tasks", 0x2);
        ASSERT_TRUE(settings.Save());
    }
    CPropPageOptions page;
    page.SetSession(m_session);
    UiScript script;
    script.Then("picture", [&] {
        const HWND sheet = UiScript::FindWindowByCaption("Program settings");
        if (!sheet || !PropSheet_GetCurrentPageHwnd(sheet)) return false;
        EXPECT_EQ(ListView_GetItemCount(GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet), COptionsPage::IdList)), 3);
        ExpectFinished(sheet, "options-sheet");
        UiScript::Click(sheet, IDCANCEL);
        return true;
    });
    EXPECT_TRUE(script.Run([&] { page.DoModalSheet(); }));
}
