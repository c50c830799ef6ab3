#include "ui/DlgEditAssoc.h"

#include "base/StringTable.h"
#include "resources/StringIds.h"
#include "base/AppMessageBox.h"
#include "ui/MAPIFolderPicker.h"

CDlgEditAssoc::CDlgEditAssoc(const ZxIMAPISession& session, const std::string& profileName,
                             CRefCountPtr<CAssocDesc> pair, HWND parent)
    : ZxDialog(kTemplateId, parent),
      m_session(session),
      m_resources(new ZxResourceModule(ZxResourceModule::SharedNames())),
      m_icon(m_resources->LoadIconById(kNoteIcon)),
      m_editor(session, profileName, std::move(pair)) {}

BOOL CDlgEditAssoc::OnInitDialog() {
    SendDlgItemMessageA(GetHwnd(), IdNoteIcon, STM_SETICON, reinterpret_cast<WPARAM>(m_icon.get()), 0);
    UpdateNote();
    return TRUE;
}

INT_PTR CDlgEditAssoc::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IdBrowse1) {
            Browse(0);
            return TRUE;
        }
        if (LOWORD(wParam) == IdBrowse2) {
            Browse(1);
            return TRUE;
        }
    }
    return ZxDialog::OnMessage(message, wParam, lParam);
}

void CDlgEditAssoc::TakeFieldTexts() {
    for (int side = 0; side < 2; ++side) {
        const HWND field = GetItem(side == 0 ? IdFolder1 : IdFolder2);
        std::string text(static_cast<size_t>(GetWindowTextLengthA(field)) + 1, '\0');
        text.resize(static_cast<size_t>(GetWindowTextA(field, text.data(), static_cast<int>(text.size()))));
        m_editor.SetText(side, text);
    }
}

void CDlgEditAssoc::Browse(int side) {
    TakeFieldTexts();
    FolderPickers::ZxMAPIFolderPicker picker(m_session, GetHwnd());
    // Only the first side names what it asks for; the second keeps the picker's own title.
    if (side == 0) picker.SetTitle(ZxLoadString(IDS_SELECT_FOLDER));
    if (picker.DoModal() != IDOK) return;
    std::string refusal;
    if (!m_editor.Choose(side, picker.GetSelectedFolder(), picker.GetSelectedDesc(), refusal)) {
        ZxAppMessageBox(refusal);
        return;
    }
    SetDlgItemTextA(GetHwnd(), IdFolder1, m_editor.GetText(0).c_str());
    SetDlgItemTextA(GetHwnd(), IdFolder2, m_editor.GetText(1).c_str());
    UpdateNote();
}

void CDlgEditAssoc::UpdateNote() {
    const int show = m_editor.IsNoteShown() ? SW_SHOW : SW_HIDE;
    ShowWindow(GetItem(IdNoteIcon), show);
    ShowWindow(GetItem(IdNote), show);
}

void CDlgEditAssoc::OnOK() {
    TakeFieldTexts();
    if (const unsigned missing = m_editor.CheckOk()) {
        ZxAppMessageBox(ZxLoadString(missing));
        return;
    }
    EndDialog(IDOK);
}
