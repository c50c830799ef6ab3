#pragma once
// The options page inside Outlook's Options dialog: a windowed ActiveX control (class SettingsPropPage)
// whose window is the dialog template IDD_OUTLOOK_OPTIONS_PAGE, and which implements Outlook's
// PropertyPage. Outlook makes it from its ProgID, gives it a client site, activates it in place on the tab, asks Dirty and calls Apply.
// Without ATL, the control interfaces a container calls are written out here on the module's COM base.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <wrl/client.h>

#include "HostInterfaces.h"
#include "ZxMerrowlinkExt.h"
#include "addin/ComObject.h"
#include "addin/TypeLibrary.h"
#include "resources/ResourceIds.h"
#include "ui/OptionsPage.h"

class CSettingsPropPage
    : public zx::com::CComObjectRoot,
      public COptionsPage,
      public zx::com::CDispatchImpl<ISettingsPropPage, &IID_ISettingsPropPage, zx::com::TypeLibResource::Own>,
      public zx::com::CDispatchImpl<PropertyPage, &IID_PropertyPage, zx::com::TypeLibResource::Host>,
      public IOleObject,
      public IOleInPlaceObject,
      public IOleInPlaceActiveObject,
      public IPersistStreamInit {
public:
    static constexpr UINT kTemplateId = IDD_OUTLOOK_OPTIONS_PAGE;

    // Throws when neither shared resource library loads.
    explicit CSettingsPropPage(IUnknown* outer = nullptr);
    ~CSettingsPropPage() override;

    // The class factory's creation; a page that cannot be built shows why and answers E_FAIL.
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    ZX_COM_DELEGATING_IUNKNOWN

    // PropertyPage
    STDMETHODIMP GetPageInfo(BSTR* helpFile, long* helpContext) override;
    STDMETHODIMP get_Dirty(VARIANT_BOOL* dirty) override;
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
    void* InternalQueryInterface(REFIID iid) noexcept override;

    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPairsChanged() override;
    void RunHandler(void (COptionsPage::*handler)()) override;

private:
    HRESULT ActivateInPlace(bool uiActivate, IOleClientSite* activeSite, HWND parent, LPCRECT position);
    // Once, at the first showing: the controls follow the size the container gave the page.
    void LayOut();
    // Tells Outlook's PropertyPageSite (found through the client site or its container) that the page
    // changed; a site that is missing or fails is no matter.
    void NotifyStatusChange() noexcept;

    bool m_dirty = false;
    bool m_laidOut = false;
    bool m_loaded = false; // the stored pairs were read: only then may Apply replace them
    bool m_uiActive = false;
    SIZEL m_extent{};
    Microsoft::WRL::ComPtr<IOleClientSite> m_clientSite;
    Microsoft::WRL::ComPtr<IOleInPlaceSite> m_inPlaceSite;
    Microsoft::WRL::ComPtr<IOleInPlaceFrame> m_frame;
    Microsoft::WRL::ComPtr<IOleInPlaceUIWindow> m_document;
    Microsoft::WRL::ComPtr<IOleAdviseHolder> m_adviseHolder;
};
