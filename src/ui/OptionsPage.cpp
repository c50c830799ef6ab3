#include "ui/OptionsPage.h"

#include <algorithm>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "base/LogFile.h"
#include "base/Resource.h"
#include "base/StringTable.h"
#include "base/Version.h"
#include "resources/StringIds.h"
#include "base/AppMessageBox.h"
#include "ui/DlgEditAssoc.h"
#include "ui/Dpi.h"
#include "ui/HyperLink.h"
#include "ui/ResourceSource.h"

COptionsPage::COptionsPage(UINT templateId, HWND parent)
    : ZxDialog(templateId, parent), m_images(ZxResourceModule::SharedNames()) {}

void COptionsPage::LoadPairs(const ZxIMAPISession& session) {
    m_session = session;
    m_pairs.Load(session);
    m_versionText = CFileVersionInfo(ZxGetThisModule()).GetVersionText(3);
    m_images.LoadImageSet();
}

void COptionsPage::InitPage(bool allLinks) {
    const HWND page = GetHwnd();

    // The band is as high as the hidden placeholder the template keeps for it.
    RECT place{};
    GetWindowRect(GetItem(IdHeaderPlace), &place);
    const UINT dpi = ZxGetWindowDpi(page);
    const zx::unique_hbitmap bitmap(ZxLoadModuleBitmapForDpi(kHeaderBitmap, dpi));
    m_header.SetHeader(page, place.bottom - place.top, ZxLoadString(IDS_OPTIONS_HEADER), bitmap.get(),
                       RGB(0xFF, 0xFF, 0xFF));

    const struct {
        int id;
        unsigned url;
    } links[] = {{IdHomeLink, IDS_HOME_PAGE_URL}, {IdSharedFoldersLink, IDS_SHARED_FOLDERS_URL},
                 {IdFreeToolsLink, IDS_FREE_TOOLS_URL}};
    for (const auto& link : links) {
        if (!allLinks && link.id != IdHomeLink) continue;
        auto control = std::make_unique<ZxHyperLink>();
        control->SubclassWindow(GetItem(link.id));
        control->SetURL(ZxLoadString(link.url), std::string());
        m_links.push_back(std::move(control));
    }

    SeparateVersionFromItsLabel();

    const HWND list = List();
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    RECT client{};
    GetClientRect(list, &client);
    const int half = (client.right - client.left) / 2;
    const std::string captions[] = {ZxLoadString(IDS_FOLDER_1), ZxLoadString(IDS_FOLDER_2)};
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNA col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = half;
        col.pszText = const_cast<char*>(captions[column].c_str());
        col.iSubItem = column;
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col));
    }
    m_images.SetDpi(dpi);
    ListView_SetImageList(list, m_images.GetHandle(), LVSIL_SMALL);

    for (const CRefCountPtr<CAssocDesc>& pair : m_pairs.GetPairs()) AppendRow(pair);
    FitColumns();
    if (ListView_GetItemCount(list) > 0) SelectRow(0);
    UpdateRemoveButton();
}

namespace {

// The label in front of the version: the nearest control to its left on the same line (one of the
// templates numbers it, the other does not).
HWND VersionLabel(HWND page, HWND version) {
    RECT own{};
    GetWindowRect(version, &own);
    HWND found = nullptr;
    LONG nearest = LONG_MIN;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box{};
        GetWindowRect(child, &box);
        if (child == version || box.left >= own.left || box.right > own.right || box.bottom <= own.top ||
            box.top >= own.bottom)
            continue;
        if (box.right > nearest) {
            nearest = box.right;
            found = child;
        }
    }
    return found;
}

} // namespace

void COptionsPage::FitColumns() {
    // The columns share the list's width in halves. A column whose longest folder name does not fit
    // takes what the other column's names leave free, so that a long name is cut only when both are long.
    const HWND list = List();
    RECT client{};
    GetClientRect(list, &client);
    const int total = client.right - client.left;
    int imageWidth = 0, imageHeight = 0;
    if (HIMAGELIST images = ListView_GetImageList(list, LVSIL_SMALL))
        ImageList_GetIconSize(images, &imageWidth, &imageHeight);
    const int margin = ZxScale(12, ZxGetWindowDpi(list)); // the cell's padding on both sides
    int need[2] = {0, 0};
    const int rows = ListView_GetItemCount(list);
    for (int column = 0; column < 2; ++column) {
        for (int row = 0; row < rows; ++row) {
            char cell[512] = {};
            ListView_GetItemText(list, row, column, cell, sizeof cell);
            need[column] = std::max(need[column], ListView_GetStringWidth(list, cell));
        }
        need[column] += margin + (column == 0 ? imageWidth : 0);
    }
    int width[2] = {total / 2, total / 2};
    for (int column = 0; column < 2; ++column) {
        const int other = 1 - column;
        const int spare = width[other] - need[other];
        if (need[column] > width[column] && spare > 0) {
            const int given = std::min(need[column] - width[column], spare);
            width[column] += given;
            width[other] -= given;
        }
    }
    for (int column = 0; column < 2; ++column)
        if (ListView_GetColumnWidth(list, column) != width[column]) ListView_SetColumnWidth(list, column, width[column]);
}

void COptionsPage::SeparateVersionFromItsLabel() {
    // The version sits right after its label; dialog units rounded to pixels at some scalings make the
    // two overlap by a pixel, or leave the label a pixel short of its text: the label gets the width
    // its text needs, and the version starts where the label ends.
    const HWND version = GetItem(IdVersion);
    if (const HWND label = VersionLabel(GetHwnd(), version)) {
        RECT box{};
        GetWindowRect(label, &box);
        char text[64] = {};
        GetWindowTextA(label, text, sizeof text);
        SIZE extent{};
        {
            const zx::unique_window_dc dc(label);
            const zx::select_object_scope font(dc.get(), reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
            GetTextExtentPoint32A(dc.get(), text, lstrlenA(text), &extent);
        }
        if (extent.cx > box.right - box.left) {
            POINT topLeft{box.left, box.top};
            ScreenToClient(GetHwnd(), &topLeft);
            SetWindowPos(label, nullptr, topLeft.x, topLeft.y, extent.cx, box.bottom - box.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    RECT own{};
    GetWindowRect(version, &own);
    for (HWND child = GetWindow(GetHwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT label{}, both{};
        GetWindowRect(child, &label);
        if (child == version || label.left >= own.left || !IntersectRect(&both, &label, &own)) continue;
        POINT topLeft{label.right, own.top};
        ScreenToClient(GetHwnd(), &topLeft);
        SetWindowPos(version, nullptr, topLeft.x, topLeft.y, own.right - label.right, own.bottom - own.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(version, &own);
    }
}

void COptionsPage::AppendRow(const CRefCountPtr<CAssocDesc>& pair) {
    if (!pair || !CPairList::HasRow(*pair)) return;
    const HWND list = List();
    const std::string name1 = pair->GetFolder1().GetFolderName(), name2 = pair->GetFolder2().GetFolderName();
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<char*>(name1.c_str());
    item.iImage = m_images.GetImageIndex(static_cast<unsigned>(CPairList::GetRowImageId(*pair)));
    item.lParam = reinterpret_cast<LPARAM>(pair.Get());
    const int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return;
    LVITEMA sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(name2.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
}

void COptionsPage::SelectRow(int row) {
    ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(List(), row, FALSE);
}

void COptionsPage::UpdateRemoveButton() {
    EnableWindow(GetItem(IdRemove), ListView_GetSelectedCount(List()) > 0);
}

bool COptionsPage::AddPair() {
    CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
    CDlgEditAssoc dialog(m_session, m_pairs.GetProfileName(), pair, GetHwnd());
    if (dialog.DoModal() != IDOK) return false;
    AppendRow(pair);
    m_pairs.Append(pair);
    FitColumns();
    SelectRow(ListView_GetItemCount(List()) - 1);
    SetFocus(List());
    UpdateRemoveButton();
    return true;
}

bool COptionsPage::RemoveSelectedPair() {
    const HWND list = List();
    const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0) return false;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    m_pairs.Remove(reinterpret_cast<const CAssocDesc*>(item.lParam));
    ListView_DeleteItem(list, row);
    FitColumns();
    const int next = CPairList::GetRowAfterRemoval(row, ListView_GetItemCount(list));
    if (next >= 0) SelectRow(next);
    SetFocus(list);
    UpdateRemoveButton();
    return true;
}

void COptionsPage::ShowLogFile() {
    const std::string path = GetLogFile().GetFilePath();
    if (!PathFileExistsA(path.c_str())) {
        ZxAppMessageBox(ZxLoadString(IDS_LOG_MISSING), MB_OK | MB_ICONINFORMATION);
        return;
    }
    const INT_PTR code =
        reinterpret_cast<INT_PTR>(ShellExecuteA(GetHwnd(), "open", path.c_str(), "", "", SW_SHOWNORMAL));
    if (code <= 32)
        ZxAppMessageBox(ZxFormat(ZxLoadString(IDS_CANNOT_OPEN_LOG).c_str(), path.c_str(), static_cast<int>(code)));
}

void COptionsPage::OnAdd() {
    if (AddPair()) OnPairsChanged();
}

void COptionsPage::OnRemove() {
    if (RemoveSelectedPair()) OnPairsChanged();
}

INT_PTR COptionsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(GetHwnd(), &paint);
        m_header.Draw(dc);
        EndPaint(GetHwnd(), &paint);
        return TRUE;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case IdAdd:
                RunHandler(&COptionsPage::OnAdd);
                return TRUE;
            case IdRemove:
                RunHandler(&COptionsPage::OnRemove);
                return TRUE;
            case IdLogFile:
                ShowLogFile();
                return TRUE;
            default:
                break;
            }
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == static_cast<UINT_PTR>(IdList) && header->code == LVN_ITEMCHANGED) {
            UpdateRemoveButton();
            return TRUE;
        }
        break;
    }
    default:
        break;
    }
    return ZxDialog::OnMessage(message, wParam, lParam);
}
