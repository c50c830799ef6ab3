#pragma once
// Reading a tree view as a user sees it: an item's text, and the item under a parent that shows a text.
// Used by the window tests, the stand-in Outlook's user actions and the windows' benchmark.
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace standin {

// The text an item shows (at most 259 characters).
inline std::string TreeItemText(HWND tree, HTREEITEM item) {
    char text[260] = {};
    TVITEMA tvi{};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
    return text;
}

// The first child of `parent` (a root item for null or TVI_ROOT) that shows `text`; null when none does.
inline HTREEITEM TreeChildNamed(HWND tree, HTREEITEM parent, const std::string& text) {
    HTREEITEM item = parent && parent != TVI_ROOT ? TreeView_GetChild(tree, parent) : TreeView_GetRoot(tree);
    for (; item; item = TreeView_GetNextSibling(tree, item))
        if (TreeItemText(tree, item) == text) return item;
    return nullptr;
}

} // namespace standin
