#include "addin/PageControl.h"

#include <olectl.h>

#include "addin/Dispatch.h"
#include "addin/OutlookIds.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/EntryPoint.h"

using Microsoft::WRL::ComPtr;

namespace {

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
// OLEMISC_SETCLIENTSITEFIRST, as the classes are registered.
constexpr DWORD kMiscStatus = 0x20191;

} // namespace

void* CPageControl::QueryControlInterface(REFIID iid) noexcept {
    if (iid == IID_PropertyPage) return static_cast<PropertyPage*>(this);
    if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
    if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IPersistStreamInit || iid == IID_IPersist) return static_cast<IPersistStreamInit*>(this);
    return nullptr;
}

void CPageControl::MarkDirty() noexcept {
    m_dirty = true;
    NotifyStatusChange();
}

void CPageControl::NotifyStatusChange() noexcept {
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

HRESULT CPageControl::GetPageInfo(BSTR*, long*) { return E_NOTIMPL; }

HRESULT CPageControl::get_Dirty(VARIANT_BOOL* dirty) {
    if (!dirty) return E_POINTER;
    *dirty = m_dirty ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CPageControl::Apply() {
    ZX_ENTER_MODULE();
    HRESULT hr = E_FAIL;
    (void)Error::GuardEntryPoint(Error::kOptionsPage, [&] { hr = SavePage() ? S_OK : E_FAIL; });
    return hr;
}

// ---- IOleObject ----------------------------------------------------------------------------------

HRESULT CPageControl::SetClientSite(IOleClientSite* site) {
    m_clientSite = site;
    return S_OK;
}

HRESULT CPageControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    return m_clientSite.CopyTo(site);
}

HRESULT CPageControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT CPageControl::Close(DWORD) {
    InPlaceDeactivate();
    if (m_adviseHolder) m_adviseHolder->SendOnClose();
    return S_OK;
}

HRESULT CPageControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT CPageControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CPageControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT CPageControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT CPageControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT position) {
    ZX_ENTER_MODULE();
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
            return ActivateInPlace(false, activeSite, parent, position);
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(true, activeSite, parent, position);
        case OLEIVERB_HIDE:
            if (PageWindow()) ShowWindow(PageWindow(), SW_HIDE);
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT CPageControl::ActivateInPlace(bool uiActivate, IOleClientSite* activeSite, HWND parent, LPCRECT position) {
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

        // The window, and with it what the page shows; its own failures are shown by the page.
        hr = Error::GuardEntryPoint(Error::kOptionsPage, [&]() -> HRESULT {
            CreatePageWindow(container);
            return S_OK;
        });
        if (FAILED(hr) || !PageWindow()) {
            inPlaceSite->OnInPlaceDeactivate();
            m_frame.Reset();
            m_document.Reset();
            return E_FAIL;
        }
        m_inPlaceSite = inPlaceSite;
        SetWindowPos(PageWindow(), nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(PageWindow(), SW_SHOW);
    }
    if (uiActivate && !m_uiActive) {
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        if (m_frame) m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        if (m_document) m_document->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
    }
    return S_OK;
}

HRESULT CPageControl::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(m_clsid, verbs); }

HRESULT CPageControl::Update() { return S_OK; }

HRESULT CPageControl::IsUpToDate() { return S_OK; }

HRESULT CPageControl::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CPageControl::GetUserType(DWORD form, LPOLESTR* type) {
    return OleRegGetUserType(m_clsid, form, type);
}

HRESULT CPageControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    m_extent = *size;
    return S_OK;
}

HRESULT CPageControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = m_extent;
    return S_OK;
}

HRESULT CPageControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!m_adviseHolder) {
        const HRESULT hr = CreateOleAdviseHolder(&m_adviseHolder);
        if (FAILED(hr)) return hr;
    }
    return m_adviseHolder->Advise(sink, connection);
}

HRESULT CPageControl::Unadvise(DWORD connection) {
    return m_adviseHolder ? m_adviseHolder->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT CPageControl::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    return m_adviseHolder ? m_adviseHolder->EnumAdvise(advises) : S_OK;
}

HRESULT CPageControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

HRESULT CPageControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleInPlaceObject, IOleInPlaceActiveObject ---------------------------------------------------

HRESULT CPageControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = PageWindow();
    return *window ? S_OK : E_FAIL;
}

HRESULT CPageControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT CPageControl::InPlaceDeactivate() {
    if (!m_inPlaceSite) return S_OK;
    UIDeactivate();
    DestroyPageWindow();
    const ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
    m_frame.Reset();
    m_document.Reset();
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT CPageControl::UIDeactivate() {
    if (!m_uiActive) return S_OK;
    m_uiActive = false;
    if (m_frame) m_frame->SetActiveObject(nullptr, nullptr);
    if (m_document) m_document->SetActiveObject(nullptr, nullptr);
    if (m_inPlaceSite) m_inPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT CPageControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (PageWindow())
        SetWindowPos(PageWindow(), nullptr, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT CPageControl::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT CPageControl::TranslateAccelerator(LPMSG message) {
    // Tab, arrows and mnemonics move within the page as in a dialog.
    const HWND page = PageWindow();
    if (!message || !page || message->message < WM_KEYFIRST || message->message > WM_KEYLAST) return S_FALSE;
    if (message->hwnd != page && !IsChild(page, message->hwnd)) return S_FALSE;
    return IsDialogMessageA(page, message) ? S_OK : S_FALSE;
}

HRESULT CPageControl::OnFrameWindowActivate(BOOL) { return S_OK; }

HRESULT CPageControl::OnDocWindowActivate(BOOL) { return S_OK; }

HRESULT CPageControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

HRESULT CPageControl::EnableModeless(BOOL) { return S_OK; }

// ---- IPersistStreamInit ----------------------------------------------------------------------------

HRESULT CPageControl::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }

HRESULT CPageControl::IsDirty() { return S_FALSE; }

HRESULT CPageControl::Load(LPSTREAM) { return S_OK; }

HRESULT CPageControl::Save(LPSTREAM, BOOL) { return S_OK; }

HRESULT CPageControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

HRESULT CPageControl::InitNew() { return S_OK; }
