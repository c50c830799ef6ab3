// The pair dialog as the user meets it: Browse opens the real picker on each side; the kind and
// same-folder refusals, the note and the OK checks are read back from the window and its boxes.
#include "WindowTestSupport.h"

#include "base/StringTable.h"
#include "ui/DlgEditAssoc.h"
#include "ui/MAPIFolderPicker.h"
#include "ui/ResourceLoader.h"

namespace {

constexpr int kTree = FolderPickers::ZxMAPIFolderPicker::kTreeId;

// Steps that pick `path` in the picker opened by the Browse button `browse` of the pair dialog.
void Browse(UiScript& script, HWND& dialog, int browse, const std::string& path, std::string* pickerTitle = nullptr) {
    script
        .Then("browse",
              [&dialog, browse] {
                  UiScript::Click(dialog, browse);
                  return true;
              })
        .Then("pick in the tree", [&dialog, path, pickerTitle] {
            const HWND picker = FindDialogWith(kTree, dialog);
            if (!picker) return false;
            if (pickerTitle) *pickerTitle = UiScript::Text(picker);
            EXPECT_NE(UiScript::ExpandAndSelect(GetDlgItem(picker, kTree), path), nullptr) << path;
            UiScript::Click(picker, IDOK);
            return true;
        })
        .Then("picker closed", [&dialog] { return FindDialogWith(kTree, dialog) == nullptr; });
}

} // namespace

TEST_F(WindowTest, PairDialogRefusesMismatchedKindsAndShowsTheNote) {
    CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
    CDlgEditAssoc dialog(m_session, "Outlook", pair, nullptr);
    UiScript script;
    HWND window = nullptr;
    script
        .Then("dialog shows",
              [&] {
                  window = UiScript::FindWindowByCaption("New synchronized group");
                  if (!window) return false;
                  EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, CDlgEditAssoc::IdNote)));
                  EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, CDlgEditAssoc::IdNoteIcon)));
                  EXPECT_NE(SendDlgItemMessageA(window, CDlgEditAssoc::IdNoteIcon, STM_GETICON, 0, 0), 0);
                  return true;
              })
        .Then("OK with nothing chosen",
              [&] {
                  UiScript::Click(window, IDOK);
                  return true;
              })
        .Then("asks for folder 1", [&] {
            if (m_boxes.Shown().empty()) return false;
            EXPECT_EQ(m_boxes.Shown().back().text, "Choose the first folder for synchronization!");
            return true;
        });
    Browse(script, window, CDlgEditAssoc::IdBrowse1, "Personal Folders\\Contacts");
    Browse(script, window, CDlgEditAssoc::IdBrowse2, "Personal Folders\\Calendar");
    script.Then("kinds refused", [&] {
        EXPECT_EQ(UiScript::Text(GetDlgItem(window, CDlgEditAssoc::IdFolder1)), "Personal Folders\\Contacts");
        EXPECT_EQ(UiScript::Text(GetDlgItem(window, CDlgEditAssoc::IdFolder2)), "");
        EXPECT_EQ(m_boxes.Shown().back().text,
                  "Folder 1 contains 'Contact', folder 2 contains 'Calendar'.\nChoose folders of the same type.");
        EXPECT_EQ(m_boxes.Shown().back().caption, "Orvanta Merrowlink Addin");
        return true;
    });
    Browse(script, window, CDlgEditAssoc::IdBrowse2, "Personal Folders\\Contacts");
    script.Then("same folder refused", [&] {
        EXPECT_EQ(m_boxes.Shown().back().text, "You have selected the same folder twice. To synchronize data between "
                                               "folders you must choose two different folders.");
        EXPECT_EQ(UiScript::Text(GetDlgItem(window, CDlgEditAssoc::IdFolder2)), "");
        return true;
    });
    Browse(script, window, CDlgEditAssoc::IdBrowse2, "Mailbox - Ann Smith\\Contacts");
    script
        .Then("note shown for two folders never synchronized",
              [&] {
                  EXPECT_EQ(UiScript::Text(GetDlgItem(window, CDlgEditAssoc::IdFolder2)), "Mailbox - Ann Smith\\Contacts");
                  EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, CDlgEditAssoc::IdNote)));
                  EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, CDlgEditAssoc::IdNoteIcon)));
                  UiScript::Click(window, IDOK);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); }));
    EXPECT_EQ(pair->GetFolder1().GetFolderName(), "Personal Folders\\Contacts");
    EXPECT_EQ(pair->GetFolder2().GetFolderName(), "Mailbox - Ann Smith\\Contacts");
    EXPECT_EQ(pair->GetFolder1().GetFolderFlags(), 0x8);
    EXPECT_TRUE(pair->GetFolder2().GetStore());
}

// The first side's picker asks in the add-in's own words (its string table, here translated by the
// satellite so that it differs from the shared template's caption); the second keeps the template's.
TEST_F(WindowTest, PairDialogTitlesThePickerOfEachSide) {
    ZxResourceLoader satellite("ZxMerrowlinkResPL.dll");
    ASSERT_TRUE(satellite.Load());
    const std::string asked = ZxLoadString(5049);
    ASSERT_EQ(asked, "Wybierz folder");
    const struct {
        int browse;
        std::string title;
    } cases[] = {{CDlgEditAssoc::IdBrowse1, asked}, {CDlgEditAssoc::IdBrowse2, "Select a folder"}};
    for (const auto& c : cases) {
        CDlgEditAssoc dialog(m_session, "Outlook", MakeRefCounted<CAssocDesc>(), nullptr);
        UiScript script;
        HWND window = nullptr;
        std::string title;
        script.Then("dialog shows", [&] {
            window = UiScript::FindWindowByCaption("New synchronized group");
            return window != nullptr;
        });
        Browse(script, window, c.browse, "Personal Folders\\Contacts", &title);
        script.Then("close", [&] {
            UiScript::Click(window, IDCANCEL);
            return true;
        });
        EXPECT_TRUE(script.Run([&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); })) << c.browse;
        EXPECT_EQ(title, c.title) << c.browse;
    }
}
