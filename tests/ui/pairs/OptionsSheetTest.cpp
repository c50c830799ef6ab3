// The options sheet as the user meets it: "Program settings" with its one page, pairs added through the
// pair dialog and picker, removed, saved on OK and dropped on Cancel; read back from the list view and
// the settings file.
#include "WindowTestSupport.h"

#include <shellapi.h>

#include "base/LogFile.h"
#include "base/Version.h"
#include "config/Settings.h"
#include "engine/SettingsLoad.h"
#include "ui/MAPIFolderPicker.h"
#include "ui/PropPageOptions.h"

namespace {

constexpr int kTree = FolderPickers::ZxMAPIFolderPicker::kTreeId;

std::string SettingsBytes() {
    std::string bytes;
    ReadWholeFile(CSettings("Outlook").GetFilePath(), bytes);
    return bytes;
}

CRefCountPtr<CAssocDesc> StoredPair(const std::string& path1, const std::string& path2, int32_t flags) {
    CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
    for (int side = 0; side < 2; ++side) {
        const std::string& path = side == 0 ? path1 : path2;
        const standin::Bytes id = standin::FolderByPath(path);
        standin::FolderView view;
        standin::GetFolder(id, &view);
        CFolderDesc folder;
        folder.SetFolderEntryId(Zx(id));
        folder.SetStoreEntryId(Zx(view.store));
        folder.SetFolderName(path);
        folder.SetFolderFlags(flags);
        if (side == 0)
            pair->SetFolder1(folder);
        else
            pair->SetFolder2(folder);
    }
    return pair;
}

HWND PageOf(HWND sheet) { return PropSheet_GetCurrentPageHwnd(sheet); }
HWND ListOf(HWND sheet) { return GetDlgItem(PageOf(sheet), COptionsPage::IdList); }

int SelectedRow(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

} // namespace

TEST_F(WindowTest, UserAddsAPairThroughSheetDialogAndPicker) {
    CPropPageOptions page;
    page.SetSession(m_session);
    UiScript script;
    HWND sheet = nullptr, pairDialog = nullptr;
    auto pick = [&](int browse, const std::string& path) {
        script.Then("browse", [&, browse] {
                  UiScript::Click(pairDialog, browse);
                  return true;
              })
            .Then("pick", [&, path] {
                const HWND picker = FindDialogWith(kTree, pairDialog);
                if (!picker) return false;
                EXPECT_NE(UiScript::ExpandAndSelect(GetDlgItem(picker, kTree), path), nullptr);
                UiScript::Click(picker, IDOK);
                return true;
            })
            .Then("picked", [&] { return FindDialogWith(kTree, pairDialog) == nullptr; });
    };
    script
        .Then("sheet shows with an empty list",
              [&] {
                  sheet = UiScript::FindWindowByCaption("Program settings");
                  if (!sheet || !PageOf(sheet)) return false;
                  EXPECT_EQ(ListView_GetItemCount(ListOf(sheet)), 0);
                  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(PageOf(sheet), COptionsPage::IdRemove)));
                  EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, 0x3021))) << "no Apply button";
                  UiScript::Click(PageOf(sheet), COptionsPage::IdAdd);
                  return true;
              })
        .Then("pair dialog shows", [&] {
            pairDialog = UiScript::FindWindowByCaption("New synchronized group");
            return pairDialog != nullptr;
        });
    pick(5006, "Personal Folders\\Calendar");
    pick(5007, "Mailbox - Ann Smith\\Calendar");
    script
        .Then("confirm the pair",
              [&] {
                  UiScript::Click(pairDialog, IDOK);
                  return true;
              })
        .Then("the list shows it selected",
              [&] {
                  if (UiScript::FindWindowByCaption("New synchronized group")) return false;
                  const HWND list = ListOf(sheet);
                  // The focus comes back once the sheet is active again (a step of the message loop after
                  // the dialog is gone); a list that never gets it fails the script's step.
                  if (GetFocus() != list) return false;
                  EXPECT_EQ(UiScript::ListRows(list),
                            (std::vector<std::string>{"Personal Folders\\Calendar|Mailbox - Ann Smith\\Calendar"}));
                  EXPECT_EQ(SelectedRow(list), 0);
                  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(PageOf(sheet), COptionsPage::IdRemove)));
                  EXPECT_TRUE(SettingsBytes().empty()) << "nothing is saved before OK";
                  UiScript::Click(sheet, IDOK);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { page.DoModalSheet(); }));
    EXPECT_TRUE(page.IsConfirmed()) << "OK confirms the sheet";

    CSettings stored("Outlook");
    ZxShowNotices(LoadSettings(stored));
    ASSERT_EQ(stored.GetAssocs().size(), 1u);
    const CAssocDesc& pair = *stored.GetAssocs()[0];
    EXPECT_EQ(pair.GetFolder1().GetFolderName(), "Personal Folders\\Calendar");
    EXPECT_EQ(Raw(pair.GetFolder1().GetFolderEntryId()), standin::FolderByPath("Personal Folders\\Calendar"));
    EXPECT_EQ(Raw(pair.GetFolder2().GetStoreEntryId()), m_mailbox);
    EXPECT_EQ(pair.GetFolder2().GetFolderFlags(), 0x10);
}

TEST_F(WindowTest, RemovalsFollowTheSelectionRulesAndCancelKeepsTheFile) {
    {
        CSettings settings("Outlook");
        settings.GetAssocs().push_back(StoredPair("Personal Folders\\Calendar", "Mailbox - Ann Smith\\Calendar", 0x10));
        settings.GetAssocs().push_back(StoredPair("Personal Folders\\Notes", "Mailbox - Ann Smith\\Notes", 0x20));
        settings.GetAssocs().push_back(StoredPair("Personal Folders\\Tasks", "Mailbox - Ann Smith\\Tasks", 0x2));
        ASSERT_TRUE(settings.Save());
    }
    const std::string before = SettingsBytes();
    ZxImageList images(ZxResourceModule::SharedNames());
    images.LoadImageSet();
    CPropPageOptions page;
    page.SetSession(m_session);
    UiScript script;
    HWND sheet = nullptr;
    script
        .Then("three rows with the images of their kinds, the first selected",
              [&] {
                  sheet = UiScript::FindWindowByCaption("Program settings");
                  if (!sheet || !PageOf(sheet)) return false;
                  const HWND list = ListOf(sheet);
                  EXPECT_EQ(ListView_GetItemCount(list), 3);
                  const int expected[] = {104, 111, 115};
                  for (int row = 0; row < 3; ++row) {
                      LVITEMA item{};
                      item.mask = LVIF_IMAGE;
                      item.iItem = row;
                      SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
                      EXPECT_EQ(item.iImage, images.GetImageIndex(expected[row])) << row;
                  }
                  EXPECT_EQ(SelectedRow(list), 0);
                  EXPECT_EQ(UiScript::Text(GetDlgItem(PageOf(sheet), COptionsPage::IdVersion)),
                            CFileVersionInfo(nullptr).GetVersionText(3));
                  UiScript::Click(PageOf(sheet), COptionsPage::IdRemove);
                  return true;
              })
        .Then("removing the first selects the new first",
              [&] {
                  const HWND list = ListOf(sheet);
                  if (ListView_GetItemCount(list) != 2) return false;
                  EXPECT_EQ(UiScript::ListRows(list)[0], "Personal Folders\\Notes|Mailbox - Ann Smith\\Notes");
                  EXPECT_EQ(SelectedRow(list), 0);
                  ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                  UiScript::Click(PageOf(sheet), COptionsPage::IdRemove);
                  return true;
              })
        .Then("removing the last selects the one before it",
              [&] {
                  const HWND list = ListOf(sheet);
                  if (ListView_GetItemCount(list) != 1) return false;
                  EXPECT_EQ(SelectedRow(list), 0);
                  UiScript::Click(PageOf(sheet), COptionsPage::IdRemove);
                  return true;
              })
        .Then("removing the only row leaves Remove disabled",
              [&] {
                  const HWND list = ListOf(sheet);
                  if (ListView_GetItemCount(list) != 0) return false;
                  EXPECT_EQ(SelectedRow(list), -1);
                  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(PageOf(sheet), COptionsPage::IdRemove)));
                  UiScript::Click(PageOf(sheet), COptionsPage::IdLogFile);
                  return true;
              })
        .Then("no log file yet",
              [&] {
                  if (m_boxes.Shown().empty()) return false;
                  EXPECT_EQ(m_boxes.Shown().back().text, "Log file does not exist.");
                  EXPECT_EQ(m_boxes.Shown().back().type & MB_ICONMASK, static_cast<unsigned>(MB_ICONINFORMATION));
                  UiScript::Click(sheet, IDCANCEL);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { page.DoModalSheet(); }));
    EXPECT_EQ(SettingsBytes(), before) << "Cancel saves nothing";
    EXPECT_FALSE(page.IsConfirmed());
}

// "Log file" with a log that no program on the machine opens (no association for its kind of file):
// the user is told which file and the shell's answer, and the sheet stays.
TEST_F(WindowTest, LogFileThatNoProgramOpensIsNamedWithTheShellsAnswer) {
    const std::string log = GetLogFile().GetFilePath();
    ASSERT_TRUE(WriteWholeFile(log, "a log\r\n"));
    // The log's kind of file names a class without any verb, as on a machine without a viewer for it.
    std::string previous;
    bool hadClass = false;
    {
        char value[260] = {};
        LONG size = sizeof value;
        hadClass = RegQueryValueA(HKEY_CLASSES_ROOT, ".log", value, &size) == ERROR_SUCCESS;
        previous = value;
    }
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".log", REG_SZ, "ZxTest.NoViewer", 0), ERROR_SUCCESS);
    const auto restore = zx::scope_exit([&] {
        if (hadClass)
            RegSetValueA(HKEY_CLASSES_ROOT, ".log", REG_SZ, previous.c_str(), 0);
        else
            RegDeleteKeyA(HKEY_CLASSES_ROOT, ".log");
    });
    CPropPageOptions page;
    page.SetSession(m_session);
    UiScript script;
    HWND sheet = nullptr;
    script
        .Then("Log file",
              [&] {
                  sheet = UiScript::FindWindowByCaption("Program settings");
                  if (!sheet || !PageOf(sheet)) return false;
                  UiScript::Click(PageOf(sheet), COptionsPage::IdLogFile);
                  return true;
              })
        .Then("the file and the shell's answer are named",
              [&] {
                  if (m_boxes.Shown().empty()) return false;
                  EXPECT_EQ(m_boxes.Shown().back().text,
                            "Cannot open log file '" + log + "' (" + std::to_string(SE_ERR_NOASSOC) + ").");
                  EXPECT_EQ(m_boxes.Shown().back().caption, "Orvanta Merrowlink Addin");
                  EXPECT_TRUE(IsWindowVisible(sheet));
                  UiScript::Click(sheet, IDCANCEL);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { page.DoModalSheet(); }));
    EXPECT_EQ(m_boxes.Shown().size(), 1u);
}

// Pairs that cannot be written must not vanish at the next Synchronize: OK tells the user with the
// file's path and the sheet stays open with its rows; once the file can be written, OK saves and closes.
TEST_F(WindowTest, OkThatCannotSaveTellsTheUserAndKeepsTheSheetOpen) {
    {
        CSettings settings("Outlook");
        settings.GetAssocs().push_back(StoredPair("Personal Folders\\Calendar", "Mailbox - Ann Smith\\Calendar", 0x10));
        ASSERT_TRUE(settings.Save());
    }
    const std::string path = CSettings("Outlook").GetFilePath();
    const std::string folder = path.substr(0, path.rfind('\\'));
    CPropPageOptions page;
    page.SetSession(m_session);
    UiScript script;
    HWND sheet = nullptr;
    script
        .Then("the settings file cannot be written (a file took the place of its folder); OK",
              [&] {
                  sheet = UiScript::FindWindowByCaption("Program settings");
                  if (!sheet || !PageOf(sheet)) return false;
                  UiScript::Click(PageOf(sheet), COptionsPage::IdRemove);
                  EXPECT_TRUE(DeleteFileA(path.c_str()));
                  EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
                  EXPECT_TRUE(WriteWholeFile(folder, "not a folder"));
                  UiScript::Click(sheet, IDOK);
                  return true;
              })
        .Then("the user is told, and the sheet stays with its rows",
              [&] {
                  if (m_boxes.Shown().empty()) return false;
                  EXPECT_EQ(m_boxes.Shown().back().text,
                            "Cannot write the settings file '" + path + "'. The folder pairs were not saved.");
                  EXPECT_EQ(m_boxes.Shown().back().caption, "Orvanta Merrowlink Addin");
                  EXPECT_TRUE(IsWindow(sheet) && IsWindowVisible(sheet));
                  EXPECT_EQ(ListView_GetItemCount(ListOf(sheet)), 0);
                  EXPECT_FALSE(page.IsConfirmed());
                  EXPECT_TRUE(DeleteFileA(folder.c_str()));
                  UiScript::Click(sheet, IDOK);
                  return true;
              });
    EXPECT_TRUE(script.Run([&] { page.DoModalSheet(); }));
    EXPECT_TRUE(page.IsConfirmed());
    EXPECT_EQ(m_boxes.Shown().size(), 1u);
    CSettings stored("Outlook");
    ZxShowNotices(LoadSettings(stored));
    EXPECT_TRUE(stored.GetAssocs().empty());
}
