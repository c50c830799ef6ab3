#include "OptionsDialog.h"

#include <ole2.h>
#include <olectl.h>
#include <commctrl.h>
#include <wrl/client.h>

#include <cstdio>

#include "HostText.h"
#include "HostInterfaces.h" // Outlook's PropertyPage as the add-in declares it; Outlook calls it by its vtable
#include "OutlookWorld.h"
#include "StandinObject.h"
#include "base/Resource.h"

using Microsoft::WRL::ComPtr;

namespace outlook {
namespace {

constexpr char kDialogClass[] = "ZxStandinOutlookOptions";
constexpr char kPageHolderClass[] = "ZxStandinOutlookPageHolder";
// Measures at 96 DPI (scaled to the screen's DPI when the dialog is made).
constexpr int kMarginAt96 = 10, kButtonWidthAt96 = 75, kButtonHeightAt96 = 23, kButtonGapAt96 = 6;
// The tab's page area: what Outlook gives an add-in page.
constexpr int kPageWidthAt96 = 470, kPageHeightAt96 = 440;

class COptionsDialog;

// The container's side of one page: client site, in-place site, frame and container object. The
// container object answers Outlook's PropertyPageSite, whose OnStatusChange enables Apply.
class CPageSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IOleContainer {
public:
    CPageSite(COptionsDialog& dialog, HWND holder, std::string title);

    HWND Holder() const { return m_holder; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        const long left = --m_refs;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        if (!container) return E_POINTER;
        *container = static_cast<IOleContainer*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = m_holder;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        m_inPlace = true;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        m_inPlace = false;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        m_active = object;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
    // IParseDisplayName, IOleContainer
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP EnumObjects(DWORD, IEnumUnknown** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP LockContainer(BOOL) override { return S_OK; }

    bool InPlace() const { return m_inPlace; }
    IOleInPlaceActiveObject* ActiveObject() const { return m_active.Get(); }

private:
    ~CPageSite() = default;

    COptionsDialog& m_dialog;
    HWND m_holder;
    long m_refs = 1;
    bool m_inPlace = false;
    ComPtr<IOleInPlaceActiveObject> m_active;
    ComPtr<CStandinObject> m_pageSite; // Outlook's PropertyPageSite of this page
};

struct HostedPage {
    std::string progId;
    std::string title;
    HWND holder = nullptr;
    ComPtr<CPageSite> site;
    ComPtr<IOleObject> control;
    ComPtr<PropertyPage> page;
};

class COptionsDialog {
public:
    explicit COptionsDialog(const OptionsDialogCallbacks& callbacks) : m_callbacks(callbacks) {}

    void Run(const std::vector<std::pair<std::string, std::string>>& pages);
    void OnStatusChange(const std::string& title) {
        Print(title + ": PropertyPageSite.OnStatusChange");
        EnableWindow(GetDlgItem(m_window, kOptionsApplyId), TRUE);
    }
    void Print(const std::string& line) const { m_callbacks.print("[options dialog] " + line); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void MakeWindow(const std::vector<std::pair<std::string, std::string>>& pages);
    void Host(HostedPage& page);
    // Asks every page whether it changed and applies those that did; true when none failed.
    bool ApplyPages();
    void ShowTab(int index);
    void Close(const char* how);
    void ReleasePages();

    OptionsDialogCallbacks m_callbacks;
    HWND m_owner = nullptr; // Outlook's window
    HWND m_window = nullptr;
    HWND m_tabs = nullptr;
    zx::unique_hfont m_font;
    std::vector<HostedPage> m_pages;
    bool m_done = false;
};

CPageSite::CPageSite(COptionsDialog& dialog, HWND holder, std::string title) : m_dialog(dialog), m_holder(holder) {
    // A new object's own reference is handed over (MinGW's ComPtr::Attach would add one).
    *m_pageSite.ReleaseAndGetAddressOf() = new CStandinObject("PropertyPageSite", {kPropertyPageSiteIid});
    COptionsDialog* owner = &m_dialog;
    m_pageSite->AddMember("OnStatusChange", 0x2100, [owner, title](const Args&, bool, VARIANT*) {
        owner->OnStatusChange(title);
        return S_OK;
    });
}

HRESULT CPageSite::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IOleContainer || iid == IID_IParseDisplayName)
        *out = static_cast<IOleContainer*>(this);
    else if (iid == kPropertyPageSiteIid)
        return m_pageSite->QueryInterface(iid, out); // the dialog's own object, as Outlook's container gives it
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT CPageSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                    LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !document || !position || !clip) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    GetClientRect(m_holder, position);
    *clip = *position;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(m_holder, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

void COptionsDialog::Run(const std::vector<std::pair<std::string, std::string>>& pages) {
    MakeWindow(pages);
    if (!m_window) {
        Print("cannot be shown");
        return;
    }
    for (HostedPage& page : m_pages) Host(page);
    ShowTab(0);
    // Modal: Outlook's window takes no input while its Options dialog is up.
    const bool ownerWasEnabled = m_owner && IsWindowEnabled(m_owner);
    if (ownerWasEnabled) EnableWindow(m_owner, FALSE);
    ShowWindow(m_window, SW_SHOW);
    UpdateWindow(m_window);
    Print("shown with " + std::to_string(m_pages.size()) + " page(s)");

    // The dialog's own modal loop; the page gets the keys first, as an active in-place object does.
    MSG msg;
    while (!m_done) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (m_callbacks.nobodyLeft && m_callbacks.nobodyLeft()) {
                Close("cancelled: no window action left");
                break;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool handled = false;
        const int current = TabCtrl_GetCurSel(m_tabs);
        if (current >= 0 && current < static_cast<int>(m_pages.size()) && m_pages[current].site) {
            IOleInPlaceActiveObject* active = m_pages[current].site->ActiveObject();
            handled = active && active->TranslateAccelerator(&msg) == S_OK;
        }
        if (!handled && !IsDialogMessageA(m_window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    ReleasePages();
    if (ownerWasEnabled) EnableWindow(m_owner, TRUE);
    if (m_window) DestroyWindow(m_window);
    m_window = nullptr;
}

void COptionsDialog::MakeWindow(const std::vector<std::pair<std::string, std::string>>& pages) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA dialogClass{};
    dialogClass.lpfnWndProc = WindowProc;
    dialogClass.hInstance = instance;
    dialogClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    dialogClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    dialogClass.lpszClassName = kDialogClass;
    RegisterClassA(&dialogClass); // a second opening finds it registered
    WNDCLASSA holderClass{};
    holderClass.lpfnWndProc = DefWindowProcA;
    holderClass.hInstance = instance;
    holderClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    holderClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    holderClass.lpszClassName = kPageHolderClass;
    RegisterClassA(&holderClass);

    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    m_font.reset(CreateFontIndirectA(&metrics.lfMessageFont));

    // Tab area around the page, buttons below it. Outlook's dialog is a dialog template: its measures
    // grow with the screen's DPI, and so do these (given at 96 DPI).
    int dpi = 96;
    if (const HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    const auto px = [dpi](int at96) { return MulDiv(at96, dpi, 96); };
    const int kMargin = px(kMarginAt96), kButtonWidth = px(kButtonWidthAt96), kButtonHeight = px(kButtonHeightAt96),
              kButtonGap = px(kButtonGapAt96);
    RECT tabArea{0, 0, px(kPageWidthAt96), px(kPageHeightAt96)};
    const int tabWidth = px(kPageWidthAt96 + 8), tabHeight = px(kPageHeightAt96 + 30);
    const int clientWidth = kMargin * 2 + tabWidth;
    const int clientHeight = kMargin * 3 + tabHeight + kButtonHeight;
    RECT frame{0, 0, clientWidth, clientHeight};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    m_owner = GetActiveWindow();
    m_window = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kDialogClass, kOptionsCaption, style, 40, 40,
                               frame.right - frame.left, frame.bottom - frame.top, m_owner, nullptr, instance, this);
    if (!m_window) return;

    m_tabs = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                             kMargin, kMargin, tabWidth, tabHeight, m_window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kOptionsTabId)), instance, nullptr);
    SendMessageA(m_tabs, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    for (const auto& [progId, title] : pages) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(title.c_str());
        SendMessageA(m_tabs, TCM_INSERTITEMA, m_pages.size(), reinterpret_cast<LPARAM>(&item));
        HostedPage page;
        page.progId = progId;
        page.title = title;
        m_pages.push_back(std::move(page));
    }
    // The pages lie over the tab control's display area, as siblings after it (so they are drawn above it).
    RECT display{kMargin, kMargin, kMargin + tabWidth, kMargin + tabHeight};
    TabCtrl_AdjustRect(m_tabs, FALSE, &display);
    tabArea = display;
    for (HostedPage& page : m_pages)
        page.holder = CreateWindowExA(WS_EX_CONTROLPARENT, kPageHolderClass, page.title.c_str(),
                                      WS_CHILD | WS_CLIPCHILDREN, tabArea.left, tabArea.top,
                                      tabArea.right - tabArea.left, tabArea.bottom - tabArea.top, m_window, nullptr,
                                      instance, nullptr);

    struct Button {
        int id;
        const char* text;
    } buttons[] = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}, {kOptionsApplyId, "&Apply"}};
    int left = clientWidth - kMargin - 3 * kButtonWidth - 2 * kButtonGap;
    for (const Button& button : buttons) {
        const HWND control = CreateWindowExA(
            0, WC_BUTTONA, button.text,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | (button.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), left,
            clientHeight - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, m_window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
        left += kButtonWidth + kButtonGap;
    }
    EnableWindow(GetDlgItem(m_window, kOptionsApplyId), FALSE);
}

// The activation a container makes: the client site first (the control asks for it), a fresh state, the
// size, then in-place activation in the page's holder window.
void COptionsDialog::Host(HostedPage& page) {
    CLSID clsid{};
    const std::wstring progId = Wide(page.progId);
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(page.control.GetAddressOf()));
    Print(page.title + ": created " + HrText(hr));
    if (FAILED(hr)) return;
    *page.site.ReleaseAndGetAddressOf() = new CPageSite(*this, page.holder, page.title);

    DWORD misc = 0;
    page.control->GetMiscStatus(DVASPECT_CONTENT, &misc);
    if (misc & OLEMISC_SETCLIENTSITEFIRST) page.control->SetClientSite(page.site.Get());
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(page.control.As(&persist))) Print(page.title + ": InitNew " + HrText(persist->InitNew()));
    if (!(misc & OLEMISC_SETCLIENTSITEFIRST)) page.control->SetClientSite(page.site.Get());
    page.control->SetHostNames(L"Outlook", nullptr);

    RECT area{};
    GetClientRect(page.holder, &area);
    const HDC screen = GetDC(nullptr);
    SIZEL extent{MulDiv(area.right, 2540, GetDeviceCaps(screen, LOGPIXELSX)),
                 MulDiv(area.bottom, 2540, GetDeviceCaps(screen, LOGPIXELSY))};
    ReleaseDC(nullptr, screen);
    page.control->SetExtent(DVASPECT_CONTENT, &extent);
    hr = page.control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, page.site.Get(), 0, page.holder, &area);
    Print(page.title + ": in-place activation " + HrText(hr));
    if (FAILED(page.control->QueryInterface(IID_PropertyPage, reinterpret_cast<void**>(page.page.GetAddressOf()))))
        Print(page.title + ": no PropertyPage");
}

bool COptionsDialog::ApplyPages() {
    bool ok = true;
    for (HostedPage& page : m_pages) {
        if (!page.page) continue;
        VARIANT_BOOL dirty = VARIANT_FALSE;
        const HRESULT hr = page.page->get_Dirty(&dirty);
        Print(page.title + ": Dirty " + (FAILED(hr) ? HrText(hr) : dirty ? "true" : "false"));
        if (SUCCEEDED(hr) && dirty) {
            const HRESULT applied = page.page->Apply();
            Print(page.title + ": Apply " + HrText(applied));
            ok = ok && SUCCEEDED(applied);
        }
    }
    return ok;
}

void COptionsDialog::ShowTab(int index) {
    TabCtrl_SetCurSel(m_tabs, index);
    for (int i = 0; i < static_cast<int>(m_pages.size()); ++i)
        ShowWindow(m_pages[i].holder, i == index ? SW_SHOW : SW_HIDE);
}

void COptionsDialog::Close(const char* how) {
    Print(how);
    m_done = true;
    ShowWindow(m_window, SW_HIDE);
}

// The control's end as a container makes it: closed, its client site taken back, released.
void COptionsDialog::ReleasePages() {
    for (HostedPage& page : m_pages) {
        page.page.Reset();
        if (page.control) {
            page.control->Close(OLECLOSE_NOSAVE);
            page.control->SetClientSite(nullptr);
            page.control.Reset();
        }
        if (page.site) Print(page.title + std::string(": closed") + (page.site->InPlace() ? ", still in place" : ""));
        page.site.Reset();
    }
    m_pages.clear();
}

LRESULT CALLBACK COptionsDialog::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<COptionsDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && self->m_window == window) return self->OnMessage(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT COptionsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) break;
            switch (LOWORD(wParam)) {
                case IDOK:
                    Print("OK");
                    if (ApplyPages()) Close("closed");
                    return 0;
                case IDCANCEL:
                    Close("cancelled");
                    return 0;
                case kOptionsApplyId:
                    Print("Apply");
                    ApplyPages();
                    EnableWindow(GetDlgItem(m_window, kOptionsApplyId), FALSE);
                    return 0;
                default:
                    break;
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->hwndFrom == m_tabs && header->code == TCN_SELCHANGE) {
                ShowTab(TabCtrl_GetCurSel(m_tabs));
                return 0;
            }
            break;
        }
        case WM_CLOSE:
            Close("cancelled");
            return 0;
        default:
            break;
    }
    return DefWindowProcA(m_window, message, wParam, lParam);
}

} // namespace

void RunOptionsDialog(const std::vector<std::pair<std::string, std::string>>& pages, const OptionsDialogCallbacks& callbacks) {
    COptionsDialog dialog(callbacks);
    dialog.Run(pages);
}

} // namespace outlook
