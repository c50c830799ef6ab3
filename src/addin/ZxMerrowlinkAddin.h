#pragma once
// The add-in object Outlook creates from class ZxMerrowlinkAddin: the Office connection interface, the
// ribbon interface and the add-in's own dispatch interface, whose methods are the ribbon's callbacks.
#include <windows.h>
#include <wrl/client.h>

#include "HostInterfaces.h"
#include "ZxMerrowlinkExt.h"
#include "addin/ComObject.h"
#include "addin/Dispatch.h"
#include "addin/OutlookEventSinksContainer.h"
#include "addin/TypeLibrary.h"

class CZxMerrowlinkAddin
    : public zx::com::CComObjectRoot,
      public zx::com::CDispatchImpl<IZxMerrowlinkAddin, &IID_IZxMerrowlinkAddin, zx::com::TypeLibResource::Own>,
      public zx::com::CDispatchImpl<_IDTExtensibility2, &IID__IDTExtensibility2, zx::com::TypeLibResource::Host>,
      public zx::com::CDispatchImpl<IRibbonExtensibility, &IID_IRibbonExtensibility, zx::com::TypeLibResource::Host> {
public:
    explicit CZxMerrowlinkAddin(IUnknown* outer = nullptr);
    ~CZxMerrowlinkAddin() override;

    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    ZX_COM_DELEGATING_IUNKNOWN

    // _IDTExtensibility2
    STDMETHODIMP OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch* addInInst,
                              SAFEARRAY** custom) override;
    STDMETHODIMP OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) override;
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY** custom) override;
    STDMETHODIMP OnStartupComplete(SAFEARRAY** custom) override;
    STDMETHODIMP OnBeginShutdown(SAFEARRAY** custom) override;

    // IRibbonExtensibility
    STDMETHODIMP GetCustomUI(BSTR ribbonId, BSTR* markup) override;

    // IZxMerrowlinkAddin
    STDMETHODIMP OnRibbonLoad(IDispatch* ribbonUI) override;
    STDMETHODIMP OnOptionsBtnClicked(IDispatch* control) override;
    STDMETHODIMP OnSyncButtonClicked(IDispatch* control) override;
    STDMETHODIMP GetSyncBtnImage(IDispatch* control, IPictureDisp** image) override;

protected:
    void* InternalQueryInterface(REFIID iid) noexcept override;

private:
    void Connect(IDispatch* application);

    Outlook::CDispatchDriver m_application;
    CRefCountPtr<Outlook::COutlookEventSinksContainer> m_sinks;
    Microsoft::WRL::ComPtr<IUnknown> m_ribbon;
};
