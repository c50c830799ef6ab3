#include "ui/PropPageAutoSync.h"

#include <algorithm>
#include <cstdlib>

#include "base/Errors.h"
#include "base/Resource.h"
#include "base/StringTable.h"
#include "resources/StringIds.h"
#include "base/AppMessageBox.h"
#include "ui/ResourceSource.h"

CPropPageAutoSync::CPropPageAutoSync() : ZxDialog(kTemplateId, nullptr) {}

void CPropPageAutoSync::LoadOptions(const std::string& profileName) {
    m_profileName = profileName;
    m_options = CAutoSyncOptions::Load(profileName);
}

PROPSHEETPAGEA CPropPageAutoSync::SheetPage() { return MakeSheetPage(); }

BOOL CPropPageAutoSync::OnInitDialog() {
    CheckDlgButton(GetHwnd(), IdInterval, m_options.interval ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(GetHwnd(), IdMinutes, static_cast<UINT>(m_options.minutes), FALSE);
    SendMessageA(GetItem(IdMinutes), EM_LIMITTEXT, 4, 0);
    CheckDlgButton(GetHwnd(), IdAtStart, m_options.atStart ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(GetHwnd(), IdAfterChange, m_options.afterChange ? BST_CHECKED : BST_UNCHECKED);
    UpdateMinutes();
    m_shown = true;
    return TRUE;
}

void CPropPageAutoSync::FitToWidth() {
    // Made for the sheet's width; Outlook's Options dialog may give the page less. What would reach past
    // the right margin ends there, and a wrapped text gets the lines it then needs.
    const HWND page = GetHwnd();
    RECT client{};
    GetClientRect(page, &client);
    RECT margin{7, 0, 0, 0};
    MapDialogRect(page, &margin);
    const int right = client.right - margin.left;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box{};
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&box), 2);
        if (box.right <= right || box.left >= right) continue;
        int height = box.bottom - box.top;
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT) {
            char text[512] = {};
            GetWindowTextA(child, text, sizeof text);
            RECT need{0, 0, right - box.left, 0};
            const zx::unique_window_dc dc(child);
            const zx::select_object_scope font(dc.get(), reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
            DrawTextA(dc.get(), text, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            height = std::max(height, static_cast<int>(need.bottom));
        }
        SetWindowPos(child, nullptr, 0, 0, right - box.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CPropPageAutoSync::UpdateMinutes() {
    EnableWindow(GetItem(IdMinutes), IsDlgButtonChecked(GetHwnd(), IdInterval) == BST_CHECKED);
}

bool CPropPageAutoSync::ReadControls(CAutoSyncOptions& options) const {
    CAutoSyncOptions read;
    read.interval = IsDlgButtonChecked(GetHwnd(), IdInterval) == BST_CHECKED;
    read.atStart = IsDlgButtonChecked(GetHwnd(), IdAtStart) == BST_CHECKED;
    read.afterChange = IsDlgButtonChecked(GetHwnd(), IdAfterChange) == BST_CHECKED;
    BOOL number = FALSE;
    const UINT minutes = GetDlgItemInt(GetHwnd(), IdMinutes, &number, FALSE);
    if (!number || minutes < CAutoSyncOptions::kMinMinutes || minutes > CAutoSyncOptions::kMaxMinutes) {
        // Minutes that do not count leave the interval as it was when it is off.
        if (read.interval) {
            ZxAppMessageBox(ZxLoadString(IDS_AUTOSYNC_MINUTES_RANGE).c_str(), MB_OK | MB_ICONWARNING);
            return false;
        }
        read.minutes = m_options.minutes;
    } else {
        read.minutes = static_cast<int>(minutes);
    }
    options = read;
    return true;
}

bool CPropPageAutoSync::SaveOptions() {
    CAutoSyncOptions options;
    if (!ReadControls(options)) return false;
    if (!options.Save(m_profileName)) {
        // Automatic runs would otherwise stay as they were without a word.
        ZxAppMessageBox(ZxFormat(ZxLoadString(IDS_AUTOSYNC_NOT_SAVED).c_str(), CAutoSyncOptions::FilePath(m_profileName).c_str()));
        return false;
    }
    m_options = options;
    return true;
}

INT_PTR CPropPageAutoSync::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) == BN_CLICKED && id == IdInterval) UpdateMinutes();
        const bool changed = (HIWORD(wParam) == BN_CLICKED && (id == IdInterval || id == IdAtStart || id == IdAfterChange)) ||
                             (HIWORD(wParam) == EN_CHANGE && id == IdMinutes);
        if (changed && m_shown) OnOptionsChanged();
        if (changed) return FALSE;
    }
    if (message == WM_SIZE) FitToWidth();
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->code == static_cast<UINT>(PSN_KILLACTIVE)) {
            CAutoSyncOptions options;
            SetWindowLongPtrA(GetHwnd(), DWLP_MSGRESULT, ReadControls(options) ? FALSE : TRUE);
            return TRUE;
        }
        if (header && header->code == static_cast<UINT>(PSN_APPLY)) {
            // Options that are not valid or a file that cannot be written keep the sheet open, as the
            // pairs' page does.
            SetWindowLongPtrA(GetHwnd(), DWLP_MSGRESULT, SaveOptions() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
            return TRUE;
        }
    }
    return ZxDialog::OnMessage(message, wParam, lParam);
}
