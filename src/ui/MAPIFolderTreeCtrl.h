#pragma once
// The folder picker's tree control: shows the nodes of ZxMAPIFolderTree in a tree view, reads a node's
// children when the user first expands it (under a wait cursor) and tells which item was chosen.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/ImageList.h"
#include "ui/MAPIFolderTree.h"

namespace FolderPickers {

class ZxMAPIFolderTreeCtrl : public ZxMAPIFolderTree {
public:
    // Builds the image list from the shared resource libraries (throws when neither loads).
    explicit ZxMAPIFolderTreeCtrl(const ZxIMAPISession& session);

    // Takes over an existing tree view: gives it the folder images and lists the profile's stores.
    void Attach(HWND tree);
    HWND GetHwnd() const { return m_tree; }

    // TVN_ITEMEXPANDING: reads and inserts the children the first time. True when the expansion is to be
    // cancelled (a failure was shown and the item lost its expand button).
    bool OnItemExpanding(const NMTREEVIEWA& notify);
    // Whether a point of the screen lies on an item's icon, label or state icon.
    bool IsOnItem(POINT screen) const;

    // The node of the selected item; null with no selection.
    CFolderDesc* GetSelectedNode() const;

private:
    // Inserts the nodes under `parent` (which has no items yet) in the order TVI_SORT gives, sorted once.
    void InsertSorted(const IListT<CFolderDesc>& nodes, HTREEITEM parent);
    void InsertNode(CFolderDesc& node, HTREEITEM parent);
    void RemoveExpandButton(HTREEITEM item);

    HWND m_tree = nullptr;
    ZxImageList m_images;
};

} // namespace FolderPickers
