#include "ui/MAPIFolderPicker.h"

#include "base/AppMessageBox.h"

namespace FolderPickers {

ZxMAPIFolderPicker::ZxMAPIFolderPicker(const ZxIMAPISession& session, HWND parent)
    : ZxLoadedDialog(ZxResourceModule::SharedNames(), kTemplateId, parent), m_tree(session) {}

BOOL ZxMAPIFolderPicker::OnInitDialog() {
    if (!m_title.empty()) SetWindowTextA(GetHwnd(), m_title.c_str());
    m_tree.Attach(GetItem(kTreeId));
    m_answer = CMAPIFolderDesc();
    m_folder.Reset();
    return TRUE;
}

INT_PTR ZxMAPIFolderPicker::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == static_cast<UINT_PTR>(kTreeId)) {
            // The tree speaks ANSI or Unicode as its parent asks; both carry the same fields used here.
            if (header->code == TVN_ITEMEXPANDINGA || header->code == TVN_ITEMEXPANDINGW) {
                const bool cancel = m_tree.OnItemExpanding(*reinterpret_cast<const NMTREEVIEWA*>(lParam));
                SetWindowLongPtrA(GetHwnd(), DWLP_MSGRESULT, cancel ? TRUE : FALSE);
                return TRUE;
            }
            if (header->code == static_cast<UINT>(NM_DBLCLK)) {
                const DWORD pos = GetMessagePos();
                if (m_tree.IsOnItem(POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))})) {
                    OnOK();
                    SetWindowLongPtrA(GetHwnd(), DWLP_MSGRESULT, TRUE);
                    return TRUE;
                }
            }
        }
    }
    return ZxLoadedDialog::OnMessage(message, wParam, lParam);
}

void ZxMAPIFolderPicker::OnOK() {
    ZxMAPIFolderTree::CFolderDesc* node = m_tree.GetSelectedNode();
    // Nothing chosen yet: there is no folder to answer with.
    if (!node) {
        SetFocus(m_tree.GetHwnd());
        return;
    }
    const CMAPIFolderDesc answer = m_tree.MakeAnswer(node);
    if (answer.GetFlags() & kNodeStore) {
        ZxAppMessageBox(GetResourceModule().LoadStringById(kStoreChosenText));
        SetFocus(m_tree.GetHwnd());
        return;
    }
    if (answer.GetFlags() & (kNodePublicRoot | kNodeNonIpmSubtree)) {
        ZxAppMessageBox(GetResourceModule().LoadStringById(kPublicRootChosenText));
        SetFocus(m_tree.GetHwnd());
        return;
    }
    m_answer = answer;
    m_tree.OpenChosenFolder(*node, m_folder);
    EndDialog(IDOK);
}

} // namespace FolderPickers
