#pragma once
// What an add-in page inside Outlook's Options dialog is to its container: a windowed ActiveX control
// whose window is a dialog of the add-in, and Outlook's PropertyPage. Outlook makes the control from
// its ProgID, gives it a client site, activates it in place on the tab, asks Dirty and calls Apply.
// Without ATL, the control interfaces a container calls are written out here once; each page class
// adds its window, its Apply and the COM identity (ZX_COM_DELEGATING_IUNKNOWN) on top.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <wrl/client.h>

#include "HostInterfaces.h"
#include "addin/ComObject.h"
#include "addin/TypeLibrary.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/EntryPoint.h"

class CPageControl : public zx::com::CDispatchImpl<PropertyPage, &IID_PropertyPage, zx::com::TypeLibResource::Host>,
                     public IOleObject,
                     public IOleInPlaceObject,
                     public IOleInPlaceActiveObject,
                     public IPersistStreamInit {
public:
    // `clsid`: the class the control is registered as (its verbs and user type are read from there).
    explicit CPageControl(const CLSID& clsid) noexcept : m_clsid(clsid) {}
    virtual ~CPageControl() = default;
    CPageControl(const CPageControl&) = delete;
    CPageControl& operator=(const CPageControl&) = delete;

    // PropertyPage
    STDMETHODIMP GetPageInfo(BSTR* helpFile, long* helpContext) override;
    STDMETHODIMP get_Dirty(VARIANT_BOOL* dirty) override;
    // Saves what the page shows (SavePage): S_OK, or E_FAIL when it could not, and Outlook keeps its dialog up.
    STDMETHODIMP Apply() override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow (of IOleInPlaceObject and IOleInPlaceActiveObject)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG message) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IPersistStreamInit (the page keeps nothing in its container's stream)
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;

protected:
    // The control interfaces above for iid (without AddRef), or nullptr.
    void* QueryControlInterface(REFIID iid) noexcept;

    // Makes the page's window as a child of `parent`; may throw (the user is then told, and the
    // activation fails).
    virtual void CreatePageWindow(HWND parent) = 0;
    // Destroys the window made by CreatePageWindow.
    virtual void DestroyPageWindow() = 0;
    virtual HWND PageWindow() const = 0;
    // Outlook's Apply or OK: true when what the page shows was saved (the user is told why not); may throw.
    virtual bool SavePage() = 0;

    // The user changed the page: Outlook is told (to enable its Apply button) and will ask Dirty.
    void MarkDirty() noexcept;
    bool IsPageDirty() const { return m_dirty; }

private:
    HRESULT ActivateInPlace(bool uiActivate, IOleClientSite* activeSite, HWND parent, LPCRECT position);
    // Tells Outlook's PropertyPageSite (found through the client site or its container) that the page
    // changed; a site that is missing or fails is no matter.
    void NotifyStatusChange() noexcept;

    const CLSID m_clsid;
    bool m_dirty = false;
    bool m_uiActive = false;
    SIZEL m_extent{};
    Microsoft::WRL::ComPtr<IOleClientSite> m_clientSite;
    Microsoft::WRL::ComPtr<IOleInPlaceSite> m_inPlaceSite;
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> m_frame;
    Microsoft::WRL::ComPtr<IOleInPlaceUIWindow> m_document;
    Microsoft::WRL::ComPtr<IOleAdviseHolder> m_adviseHolder;
};

// The class factory's creation of page control `Page`: a page that cannot be built (its construction
// throws when the shared resource libraries are missing) shows why and answers E_FAIL.
template <class Page>
HRESULT CreatePageControl(IUnknown* outer, REFIID iid, void** out) {
    ZX_ENTER_MODULE();
    HRESULT hr = E_FAIL;
    (void)Error::GuardEntryPoint(Error::kOptionsPage, [&] { hr = zx::com::CreateComObject<Page>(outer, iid, out); });
    return hr;
}
