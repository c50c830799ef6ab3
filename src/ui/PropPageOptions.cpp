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
    m_autoSync.Load(session.GetProfileName());
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

INT_PTR CALLBACK CPropPageOptions::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* page = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        auto* self = page ? reinterpret_cast<CPropPageOptions*>(page->lParam) : nullptr;
        if (!self) return FALSE;
        self->Attach(window);
        return self->GuardedDispatch(message, wParam, lParam);
    }
    // Every later message goes the framework's way (it also unbinds the window at its end).
    return DialogProc(window, message, wParam, lParam);
}

INT_PTR CPropPageOptions::DoModalSheet(HWND parent) {
    PROPSHEETPAGEA pages[2] = {};
    PROPSHEETPAGEA& page = pages[0];
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = ZxFindResourceHandle(MAKEINTRESOURCEA(kTemplateId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!page.hInstance) ZX_THROW_COMMON_HERE(ERROR_RESOURCE_NAME_NOT_FOUND, "Failed to find the dialog template.");
    page.pszTemplate = MAKEINTRESOURCEA(kTemplateId);
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    pages[1] = m_autoSync.SheetPage();

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
