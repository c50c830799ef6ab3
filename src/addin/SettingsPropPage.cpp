#include "addin/SettingsPropPage.h"

#include <commctrl.h>
#include <olectl.h>

#include "addin/Dispatch.h"
#include "addin/MerrowlinkExtension.h"
#include "addin/OutlookIds.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "ui/Dpi.h"

using Microsoft::WRL::ComPtr;

namespace {

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
// OLEMISC_SETCLIENTSITEFIRST, as the class is registered.
constexpr DWORD kMiscStatus = 0x20191;

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
    : CComObjectRoot(outer), COptionsPage(kTemplateId, nullptr) {}

CSettingsPropPage::~CSettingsPropPage() = default;

HRESULT CSettingsPropPage::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    ZX_ENTER_MODULE();
    HRESULT hr = E_FAIL;
    // The page's construction throws when the shared resource libraries are missing: the user is told.
    (void)Error::GuardEntryPoint(Error::kOptionsPage,
                                 [&] { hr = zx::com::CreateComObject<CSettingsPropPage>(outer, iid, out); });
    return hr;
}

void* CSettingsPropPage::InternalQueryInterface(REFIID iid) noexcept {
    if (iid == IID_ISettingsPropPage || iid == IID_IDispatch) return static_cast<ISettingsPropPage*>(this);
    if (iid == IID_PropertyPage) return static_cast<PropertyPage*>(this);
    if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
    if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IPersistStreamInit || iid == IID_IPersist) return static_cast<IPersistStreamInit*>(this);
    return nullptr;
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

void CSettingsPropPage::OnPairsChanged() {
    m_dirty = true;
    NotifyStatusChange();
}

void CSettingsPropPage::NotifyStatusChange() noexcept {
    try {
        if (!m_clientSite) return;
        // Outlook answers its page site from the client site's container.
        ComPtr<IUnknown> site;
        if (FAILED(m_clientSite->QueryInterface(Outlook::IID_PropertyPageSite, reinterpret_cast<void**>(site.GetAddressOf())))) {
            ComPtr<IOleContainer> container;
            if (FAILED(m_clientSite->GetContainer(&container)) || !container) return;
            if (FAILED(container->QueryInterface(Outlook::IID_PropertyPageSite,
                                                 reinterpret_cast<void**>(site.ReleaseAndGetAddressOf()))))
                return;
        }
        Outlook::CDispatchDriver::Query(site.Get(), Outlook::IID_PropertyPageSite).Call("OnStatusChange");
    } catch (...) {
        // Outlook then only misses the hint to enable its Apply button.
    }
}

// ---- PropertyPage --------------------------------------------------------------------------------

HRESULT CSettingsPropPage::GetPageInfo(BSTR*, long*) { return E_NOTIMPL; }

HRESULT CSettingsPropPage::get_Dirty(VARIANT_BOOL* dirty) {
    if (!dirty) return E_POINTER;
    *dirty = m_dirty ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CSettingsPropPage::Apply() {
    ZX_ENTER_MODULE();
    // A page that never read the stored pairs must not replace them with its empty list; a file that
    // could not be written is a failure, and the user is told with its path.
    HRESULT hr = E_FAIL;
    (void)Error::GuardEntryPoint(Error::kOptionsPage, [&] { hr = m_loaded && m_pairs.SaveOrTell() ? S_OK : E_FAIL; });
    return hr;
}

// ---- IOleObject ----------------------------------------------------------------------------------

HRESULT CSettingsPropPage::SetClientSite(IOleClientSite* site) {
    m_clientSite = site;
    return S_OK;
}

HRESULT CSettingsPropPage::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    return m_clientSite.CopyTo(site);
}

HRESULT CSettingsPropPage::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT CSettingsPropPage::Close(DWORD) {
    InPlaceDeactivate();
    if (m_adviseHolder) m_adviseHolder->SendOnClose();
    return S_OK;
}

HRESULT CSettingsPropPage::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT CSettingsPropPage::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CSettingsPropPage::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT CSettingsPropPage::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT CSettingsPropPage::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT position) {
    ZX_ENTER_MODULE();
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
            return ActivateInPlace(false, activeSite, parent, position);
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(true, activeSite, parent, position);
        case OLEIVERB_HIDE:
            if (GetHwnd()) ShowWindow(GetHwnd(), SW_HIDE);
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT CSettingsPropPage::ActivateInPlace(bool uiActivate, IOleClientSite* activeSite, HWND parent, LPCRECT position) {
    if (!m_inPlaceSite) {
        IOleClientSite* site = activeSite ? activeSite : m_clientSite.Get();
        if (!site) return E_UNEXPECTED;
        ComPtr<IOleInPlaceSite> inPlaceSite;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(inPlaceSite.GetAddressOf()))))
            return E_NOINTERFACE;
        if (inPlaceSite->CanInPlaceActivate() != S_OK) return E_FAIL;
        HRESULT hr = inPlaceSite->OnInPlaceActivate();
        if (FAILED(hr)) return hr;

        HWND container = nullptr;
        if (FAILED(inPlaceSite->GetWindow(&container)) || !container) container = parent;
        RECT place = position ? *position : RECT{};
        RECT clip = place;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        m_frame.Reset();
        m_document.Reset();
        if (SUCCEEDED(inPlaceSite->GetWindowContext(&m_frame, &m_document, &place, &clip, &frameInfo)) && position)
            place = *position;

        // The window, and with it the stored pairs; its own failures are shown by OnInitDialog.
        hr = Error::GuardEntryPoint(Error::kOptionsPage, [&]() -> HRESULT {
            SetParentWindow(container);
            Create();
            return S_OK;
        });
        if (FAILED(hr) || !GetHwnd()) {
            inPlaceSite->OnInPlaceDeactivate();
            m_frame.Reset();
            m_document.Reset();
            return E_FAIL;
        }
        m_inPlaceSite = inPlaceSite;
        SetWindowPos(GetHwnd(), nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(GetHwnd(), SW_SHOW);
    }
    if (uiActivate && !m_uiActive) {
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        if (m_frame) m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        if (m_document) m_document->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    }
    return S_OK;
}

HRESULT CSettingsPropPage::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(CLSID_SettingsPropPage, verbs); }

HRESULT CSettingsPropPage::Update() { return S_OK; }

HRESULT CSettingsPropPage::IsUpToDate() { return S_OK; }

HRESULT CSettingsPropPage::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_SettingsPropPage;
    return S_OK;
}

HRESULT CSettingsPropPage::GetUserType(DWORD form, LPOLESTR* type) {
    return OleRegGetUserType(CLSID_SettingsPropPage, form, type);
}

HRESULT CSettingsPropPage::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    m_extent = *size;
    return S_OK;
}

HRESULT CSettingsPropPage::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = m_extent;
    return S_OK;
}

HRESULT CSettingsPropPage::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!m_adviseHolder) {
        const HRESULT hr = CreateOleAdviseHolder(&m_adviseHolder);
        if (FAILED(hr)) return hr;
    }
    return m_adviseHolder->Advise(sink, connection);
}

HRESULT CSettingsPropPage::Unadvise(DWORD connection) {
    return m_adviseHolder ? m_adviseHolder->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT CSettingsPropPage::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    return m_adviseHolder ? m_adviseHolder->EnumAdvise(advises) : S_OK;
}

HRESULT CSettingsPropPage::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

HRESULT CSettingsPropPage::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleInPlaceObject, IOleInPlaceActiveObject ---------------------------------------------------

HRESULT CSettingsPropPage::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = GetHwnd();
    return *window ? S_OK : E_FAIL;
}

HRESULT CSettingsPropPage::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT CSettingsPropPage::InPlaceDeactivate() {
    if (!m_inPlaceSite) return S_OK;
    UIDeactivate();
    EndDialog(IDCANCEL); // a modeless page window is destroyed
    const ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
    m_frame.Reset();
    m_document.Reset();
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT CSettingsPropPage::UIDeactivate() {
    if (!m_uiActive) return S_OK;
    m_uiActive = false;
    if (m_frame) m_frame->SetActiveObject(nullptr, nullptr);
    if (m_document) m_document->SetActiveObject(nullptr, nullptr);
    if (m_inPlaceSite) m_inPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT CSettingsPropPage::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (GetHwnd())
        SetWindowPos(GetHwnd(), nullptr, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT CSettingsPropPage::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT CSettingsPropPage::TranslateAccelerator(LPMSG message) {
    // Tab, arrows and mnemonics move within the page as in a dialog.
    const HWND page = GetHwnd();
    if (!message || !page || message->message < WM_KEYFIRST || message->message > WM_KEYLAST) return S_FALSE;
    if (message->hwnd != page && !IsChild(page, message->hwnd)) return S_FALSE;
    return IsDialogMessageA(page, message) ? S_OK : S_FALSE;
}

HRESULT CSettingsPropPage::OnFrameWindowActivate(BOOL) { return S_OK; }

HRESULT CSettingsPropPage::OnDocWindowActivate(BOOL) { return S_OK; }

HRESULT CSettingsPropPage::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

HRESULT CSettingsPropPage::EnableModeless(BOOL) { return S_OK; }

// ---- IPersistStreamInit ----------------------------------------------------------------------------

HRESULT CSettingsPropPage::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }

HRESULT CSettingsPropPage::IsDirty() { return S_FALSE; }

HRESULT CSettingsPropPage::Load(LPSTREAM) { return S_OK; }

HRESULT CSettingsPropPage::Save(LPSTREAM, BOOL) { return S_OK; }

HRESULT CSettingsPropPage::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

HRESULT CSettingsPropPage::InitNew() { return S_OK; }
