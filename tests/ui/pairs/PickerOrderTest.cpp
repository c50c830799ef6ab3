// The picker's children in the order a tree view's TVI_SORT gives them, reached without inserting each
// one sorted: the order is checked against a real tree control, and a folder with 20 000 subfolders
// is expanded through the picker's own window.
#include "WindowTestSupport.h"

#include <chrono>
#include <cstdio>
#include <set>

#include "pictures/TreeItems.h"
#include "ui/MAPIFolderPicker.h"
#include "ui/TreeSortOrder.h"

using FolderPickers::ZxMAPIFolderPicker;

namespace {

std::vector<std::string> ChildTexts(HWND tree, HTREEITEM parent) {
    std::vector<std::string> texts;
    for (HTREEITEM i = TreeView_GetChild(tree, parent); i; i = TreeView_GetNextSibling(tree, i))
        texts.push_back(standin::TreeItemText(tree, i));
    return texts;
}

std::wstring Wide(const std::string& text) {
    wchar_t buffer[260] = {};
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer, 260);
    return buffer;
}

} // namespace

TEST(TreeSortOrderTest, MatchesATreeViewThatInsertsEachTextSorted) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&init);
    // Letter case, accents (code page 1252), digits, punctuation, blanks, an empty text and runs of
    // equal texts, in no particular order.
    const std::vector<std::string> texts = {
        "Sent Items", "inbox", "Inbox", "\xC4rger", "Zebra", "\xE4hnlich", "Folder 10", "Folder 9", "folder 2",
        "-dash", "_under", "co-op", "coop", "Same", "", "Same", "Archive", " space", "Same", "archive", "Same",
        "\xC9t\xE9", "Ete", "etc", "Z", "a", "Inbox", "10", "9", "1-2", "Tasks", "tasks", "TASKS", "Same"};

    zx::unique_hwnd tree(CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                         GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(tree);
    for (size_t i = 0; i < texts.size(); ++i) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_SORT;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(texts[i].c_str());
        insert.item.lParam = static_cast<LPARAM>(i);
        ASSERT_NE(SendMessageA(tree.get(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)), 0);
    }
    std::vector<size_t> shown;
    for (HTREEITEM i = TreeView_GetRoot(tree.get()); i; i = TreeView_GetNextSibling(tree.get(), i)) {
        TVITEMA tvi{};
        tvi.mask = TVIF_PARAM;
        tvi.hItem = i;
        SendMessageA(tree.get(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
        shown.push_back(static_cast<size_t>(tvi.lParam));
    }
    EXPECT_EQ(ZxTreeSortOrder(texts), shown);
    EXPECT_TRUE(ZxTreeSortOrder({}).empty());
}

TEST_F(WindowTest, PickerExpandsTwentyThousandSubfoldersInTheTreesOrder) {
    const standin::Bytes big = standin::AddFolder(standin::FolderByPath("Personal Folders\\Inbox"), "Big", "IPF.Note");
    ASSERT_FALSE(big.empty());
    constexpr int kCount = 20000;
    std::set<std::string> added;
    unsigned seed = 12345;
    for (int i = 0; added.size() < static_cast<size_t>(kCount); ++i) {
        seed = seed * 1103515245u + 12345u; // a fixed shuffle: the store's table is in creation order
        const unsigned n = (seed >> 8) % 1000000u;
        static const char* const kForms[] = {"Project %06u", "project %06u", "\xC9t\xE9 %06u", "_%06u archive"};
        char name[64];
        std::snprintf(name, sizeof name, kForms[i % 4], n);
        if (!added.insert(name).second) continue;
        ASSERT_FALSE(standin::AddFolder(big, name, "IPF.Note").empty());
    }

    ZxMAPIFolderPicker picker(m_session, nullptr);
    UiScript script;
    std::vector<std::string> shown;
    double seconds = 0;
    script.Then("expand the folder and read its children", [&] {
        const HWND dialog = FindDialogWith(ZxMAPIFolderPicker::kTreeId);
        if (!dialog) return false;
        const HWND tree = GetDlgItem(dialog, ZxMAPIFolderPicker::kTreeId);
        const auto start = std::chrono::steady_clock::now();
        const HTREEITEM item = UiScript::ExpandAndSelect(tree, "Personal Folders\\Inbox\\Big");
        EXPECT_NE(item, nullptr);
        if (item) TreeView_Expand(tree, item, TVE_EXPAND);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (item) shown = ChildTexts(tree, item);
        UiScript::Click(dialog, IDCANCEL);
        return true;
    });
    EXPECT_TRUE(script.Run([&] { picker.DoModal(); }));
    std::printf("[ figures  ] %zu subfolders expanded in %.2f s\n", added.size(), seconds);

    ASSERT_EQ(shown.size(), added.size());
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()), added);
    for (size_t i = 1; i < shown.size(); ++i)
        ASSERT_LE(lstrcmpW(Wide(shown[i - 1]).c_str(), Wide(shown[i]).c_str()), 0)
            << "'" << shown[i - 1] << "' before '" << shown[i] << "'";
}
