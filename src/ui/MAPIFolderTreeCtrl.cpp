#include "ui/MAPIFolderTreeCtrl.h"

#include "base/Errors.h"
#include "base/Resource.h"
#include "ui/Dpi.h"
#include "ui/TreeSortOrder.h"

namespace FolderPickers {

ZxMAPIFolderTreeCtrl::ZxMAPIFolderTreeCtrl(const ZxIMAPISession& session)
    : ZxMAPIFolderTree(session), m_images(ZxResourceModule::SharedNames()) {}

void ZxMAPIFolderTreeCtrl::Attach(HWND tree) {
    m_tree = tree;
    m_images.SetDpi(ZxGetWindowDpi(tree));
    m_images.LoadImageSet();
    TreeView_SetImageList(m_tree, m_images.GetHandle(), TVSIL_NORMAL);
    FillTopLevel();
    if (TreeView_GetCount(m_tree) == 0) InsertSorted(m_topLevel, TVI_ROOT);
}

void ZxMAPIFolderTreeCtrl::InsertSorted(const IListT<CFolderDesc>& nodes, HTREEITEM parent) {
    std::vector<std::string> texts;
    texts.reserve(nodes.Size());
    for (const auto& node : nodes) texts.push_back(node->displayName);
    for (size_t index : ZxTreeSortOrder(texts)) InsertNode(nodes.At(index), parent);
}

void ZxMAPIFolderTreeCtrl::InsertNode(CFolderDesc& node, HTREEITEM parent) {
    const int image = m_images.GetImageIndex(static_cast<unsigned>(GetImageId(node.flags)));
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST; // the callers insert in sorted order
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(node.displayName.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.cChildren = node.hasSubfolders ? 1 : 0;
    insert.item.lParam = reinterpret_cast<LPARAM>(&node);
    SendMessageA(m_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
}

void ZxMAPIFolderTreeCtrl::RemoveExpandButton(HTREEITEM item) {
    TVITEMA tvi{};
    tvi.mask = TVIF_CHILDREN;
    tvi.hItem = item;
    tvi.cChildren = 0;
    SendMessageA(m_tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
}

bool ZxMAPIFolderTreeCtrl::OnItemExpanding(const NMTREEVIEWA& notify) {
    if (!(notify.action & TVE_EXPAND)) return false;
    const HTREEITEM item = notify.itemNew.hItem;
    auto* node = reinterpret_cast<CFolderDesc*>(notify.itemNew.lParam);
    if (!node) return false;

    const HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const auto restore = zx::scope_exit([previous] { SetCursor(previous); });
    try {
        const bool readNow = ReadChildrenOnce(*node);
        if (!node->children.IsEmpty()) {
            if (!TreeView_GetChild(m_tree, item)) InsertSorted(node->children, item);
        } else if (readNow) {
            RemoveExpandButton(item);
        }
    } catch (const Error::ZxException& e) {
        e.ShowErrorBox(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
        RemoveExpandButton(item);
        return true;
    }
    return false;
}

bool ZxMAPIFolderTreeCtrl::IsOnItem(POINT screen) const {
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(m_tree, &hit.pt);
    const HTREEITEM item = TreeView_HitTest(m_tree, &hit);
    return item && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)) != 0;
}

ZxMAPIFolderTree::CFolderDesc* ZxMAPIFolderTreeCtrl::GetSelectedNode() const {
    const HTREEITEM item = TreeView_GetSelection(m_tree);
    if (!item) return nullptr;
    TVITEMA tvi{};
    tvi.mask = TVIF_PARAM;
    tvi.hItem = item;
    if (!SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi))) return nullptr;
    return reinterpret_cast<CFolderDesc*>(tvi.lParam);
}

} // namespace FolderPickers
