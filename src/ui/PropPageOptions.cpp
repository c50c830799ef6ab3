#include "ui/PropPageOptions.h"

#include <commctrl.h>

#include "base/Errors.h"
#include "base/StringTable.h"
#include "resources/StringIds.h"
#include "ui/Dpi.h"
#include "ui/ResourceSource.h"

CPropPageOptions::CPropPageOptions() : COptionsPage(kTemplateId, nullptr) {}

void CPropPageOptions::SetSession(const ZxIMAPISession& session) {
    LoadPairs(session);
    m_autoSync.LoadOptions(session.GetProfileName());
}

BOOL CPropPageOptions::OnInitDialog() {
    SetDlgItemTextA(GetHwnd(), IdVersion, m_versionText.c_str());
    InitPage(true);
    return TRUE;
}

INT_PTR CPropPageOptions::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->code == static_cast<UINT>(PSN_APPLY)) {
            // The sheet has no Apply button: this is its OK. What PropertySheetA answers for OK differs
            // between implementations, so the confirmation is recorded here.
            // Pairs that could not be written would be gone at the next Synchronize: the user is told
            // and the sheet stays open with them.
            const bool saved = m_pairs.SaveOrTell();
            m_confirmed = saved;
            SetWindowLongPtrA(GetHwnd(), DWLP_MSGRESULT, saved ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
            return TRUE;
        }
    }
    return COptionsPage::OnMessage(message, wParam, lParam);
}

INT_PTR CPropPageOptions::DoModalSheet(HWND parent) {
    PROPSHEETPAGEA pages[2] = {MakeSheetPage(), m_autoSync.SheetPage()};

    const std::string caption = ZxLoadString(IDS_PROGRAM_SETTINGS);
    PROPSHEETHEADERA sheet{};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    sheet.hwndParent = parent;
    sheet.pszCaption = caption.c_str();
    sheet.nPages = 2;
    sheet.ppsp = pages;
    const ZxSystemDpiAwareScope awareness; // as every modal window of the add-in (Dpi.h)
    return PropertySheetA(&sheet);
}
