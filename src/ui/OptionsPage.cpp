#include "ui/OptionsPage.h"

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
    const zx::unique_hbitmap bitmap(ZxLoadModuleBitmap(kHeaderBitmap));
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
    ListView_SetImageList(list, m_images.GetHandle(), LVSIL_SMALL);

    for (const CRefCountPtr<CAssocDesc>& pair : m_pairs.GetPairs()) AppendRow(pair);
    if (ListView_GetItemCount(list) > 0) SelectRow(0);
    UpdateRemoveButton();
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
