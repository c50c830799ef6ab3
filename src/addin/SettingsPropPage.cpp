#include "addin/SettingsPropPage.h"

#include <commctrl.h>

#include "addin/MerrowlinkExtension.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "ui/Dpi.h"

namespace {

// Distances of the first-show layout from the right and bottom edges of the page, in pixels at 96 DPI
// (scaled to the page's DPI).
constexpr int kRightMargin = 15;
constexpr int kListBottomMargin = 150;
constexpr int kButtonRowTop = 140;
constexpr int kButtonGap = 5;
constexpr int kLogFileTop = 110;
constexpr int kVersionTop = 35;
constexpr int kLinkTop = 18;

RECT ChildRect(HWND parent, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveChild(HWND parent, int id, int left, int top, int width = -1, int height = -1) {
    const HWND child = GetDlgItem(parent, id);
    if (!child) return;
    const RECT rect = ChildRect(parent, child);
    SetWindowPos(child, nullptr, left, top, width < 0 ? rect.right - rect.left : width,
                 height < 0 ? rect.bottom - rect.top : height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

CSettingsPropPage::CSettingsPropPage(IUnknown* outer)
    : CComObjectRoot(outer), COptionsPage(kTemplateId, nullptr), CPageControl(CLSID_SettingsPropPage) {}

CSettingsPropPage::~CSettingsPropPage() = default;

HRESULT CSettingsPropPage::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    return CreatePageControl<CSettingsPropPage>(outer, iid, out);
}

void* CSettingsPropPage::InternalQueryInterface(REFIID iid) noexcept {
    if (iid == IID_ISettingsPropPage || iid == IID_IDispatch) return static_cast<ISettingsPropPage*>(this);
    return QueryControlInterface(iid);
}

// ---- the page's window ---------------------------------------------------------------------------

BOOL CSettingsPropPage::OnInitDialog() {
    // The window stays up whatever failed, with what was filled in before the failure.
    (void)Error::GuardEntryPoint(Error::kOptionsPage, [&] {
        const CRefCountPtr<CMerrowlinkExtension>& controller = GetGlobalObjects().m_extension;
        const ZxIMAPISession session = controller ? controller->GetSession() : ZxIMAPISession();
        // The place this failure has always been reported with.
        constexpr Error::ZxFixedPlace kNoSession{"SettingsPropPage", "CSettingsPropPage::OnInitDialog", 27};
        if (!session) ZX_THROW_TEXT_AT(kNoSession, "Failed to get MAPI session!");
        LoadPairs(session);
        m_loaded = true;
        SetDlgItemTextA(GetHwnd(), IdVersion, m_versionText.c_str());
        InitPage(false);
    });
    return TRUE;
}

INT_PTR CSettingsPropPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOWWINDOW && wParam && !m_laidOut) LayOut();
    return COptionsPage::OnMessage(message, wParam, lParam);
}

void CSettingsPropPage::LayOut() {
    m_laidOut = true;
    const HWND page = GetHwnd();
    RECT client{};
    GetClientRect(page, &client);
    const int width = client.right, height = client.bottom;
    const UINT dpi = ZxGetWindowDpi(page);
    const auto px = [dpi](int at96) { return ZxScale(at96, dpi); };
    auto rectOf = [page](int id) { return ChildRect(page, GetDlgItem(page, id)); };

    const RECT list = rectOf(IdList);
    MoveChild(page, IdList, list.left, list.top, width - list.left - px(kRightMargin),
              height - list.top - px(kListBottomMargin));
    // The two columns keep sharing the list's width (they were made for the template's width).
    RECT listClient{};
    GetClientRect(GetDlgItem(page, IdList), &listClient);
    for (int column = 0; column < 2; ++column) ListView_SetColumnWidth(GetDlgItem(page, IdList), column, listClient.right / 2);
    const RECT remove = rectOf(IdRemove);
    const int removeLeft = width - (remove.right - remove.left) - px(kRightMargin);
    MoveChild(page, IdRemove, removeLeft, height - px(kButtonRowTop));
    const RECT add = rectOf(IdAdd);
    MoveChild(page, IdAdd, removeLeft - (add.right - add.left) - px(kButtonGap), height - px(kButtonRowTop));
    const RECT logFile = rectOf(IdLogFile);
    MoveChild(page, IdLogFile, width - (logFile.right - logFile.left) - px(kRightMargin), height - px(kLogFileTop));
    MoveChild(page, IdVersionLabel, rectOf(IdVersionLabel).left, height - px(kVersionTop));
    MoveChild(page, IdVersion, rectOf(IdVersion).left, height - px(kVersionTop));
    MoveChild(page, IdHomeLink, rectOf(IdHomeLink).left, height - px(kLinkTop));
}

void CSettingsPropPage::RunHandler(void (COptionsPage::*handler)()) {
    (void)Error::GuardEntryPoint(Error::kOptionsPage, [&] { (this->*handler)(); });
}

void CSettingsPropPage::OnPairsChanged() { MarkDirty(); }

void CSettingsPropPage::CreatePageWindow(HWND parent) {
    SetParentWindow(parent);
    Create();
}

void CSettingsPropPage::DestroyPageWindow() { EndDialog(IDCANCEL); } // a modeless page window is destroyed

// ---- PropertyPage --------------------------------------------------------------------------------

bool CSettingsPropPage::SavePage() {
    // A page that never read the stored pairs must not replace them with its empty list; a file that
    // could not be written is a failure, and the user is told with its path.
    return m_loaded && m_pairs.SaveOrTell();
}

