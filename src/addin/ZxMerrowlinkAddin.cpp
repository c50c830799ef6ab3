#include "addin/ZxMerrowlinkAddin.h"

#include "addin/Commands.h"
#include "addin/MerrowlinkExtension.h"
#include "addin/OutlookEventSinkApplicationImpl.h"
#include "addin/OutlookEventSinkExplorerImpl.h"
#include "addin/OutlookEventSinkExplorersImpl.h"
#include "addin/OutlookIds.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "base/TextConversion.h"
#include "base/LogFile.h"
#include "mapi/MAPIModule.h"
#include "ui/ResourceSource.h"
#include "resources/ResourceIds.h"

#include <olectl.h>

using Microsoft::WRL::ComPtr;
using Outlook::CDispatchDriver;

CZxMerrowlinkAddin::CZxMerrowlinkAddin(IUnknown* outer)
    : CComObjectRoot(outer), m_sinks(new Outlook::COutlookEventSinksContainer(false)) {}

CZxMerrowlinkAddin::~CZxMerrowlinkAddin() = default;

HRESULT CZxMerrowlinkAddin::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    return zx::com::CreateComObject<CZxMerrowlinkAddin>(outer, iid, out);
}

void* CZxMerrowlinkAddin::InternalQueryInterface(REFIID iid) noexcept {
    if (iid == IID_IZxMerrowlinkAddin || iid == IID_IDispatch) return static_cast<IZxMerrowlinkAddin*>(this);
    if (iid == IID__IDTExtensibility2) return static_cast<_IDTExtensibility2*>(this);
    if (iid == IID_IRibbonExtensibility) return static_cast<IRibbonExtensibility*>(this);
    return nullptr;
}

// ---- _IDTExtensibility2 ------------------------------------------------------------------------

HRESULT CZxMerrowlinkAddin::OnConnection(IDispatch* application, ext_ConnectMode, IDispatch*, SAFEARRAY**) {
    ZX_ENTER_MODULE();
    return Error::GuardEntryPoint(Error::kAddinConnection, [&] { Connect(application); });
}

void CZxMerrowlinkAddin::Connect(IDispatch* application) {
    ZxMAPIModule::Instance().SetMAPIInUse(true);
    auto* log = dynamic_cast<Error::ZxLogFileT<FreeThreadedModel>*>(&GetLogFile());
    if (!log || !log->IsOpen()) GetLogFile().Open(true);

    m_application = CDispatchDriver::Query(application, Outlook::IID__Application);
    const CDispatchDriver explorers = m_application.GetObject("Explorers", Outlook::IID__Explorers);
    bool watched = false;
    if (explorers.GetLong("Count") > 0) {
        CDispatchDriver explorer = m_application.GetObject("ActiveExplorer", Outlook::IID__Explorer);
        if (!explorer) {
            GetLogFile().LogInfo("No active explorer was found. Getting the first one from explorers collection.");
            explorer = explorers.GetObject("Item", Outlook::IID__Explorer, Outlook::MakeVariant(1L));
        }
        if (explorer) {
            ComPtr<Outlook::IZxOutlookEventSink> sink = Outlook::CreateEventSink<Outlook::COutlookEventSinkExplorerImpl>();
            VARIANT_BOOL advised = VARIANT_FALSE;
            sink->Advise(explorer.Get(), &advised);
            if (advised == VARIANT_TRUE) {
                m_sinks->Add(sink);
                watched = true;
            }
        }
    }
    if (!watched) {
        ComPtr<Outlook::IZxOutlookEventSink> sink = Outlook::CreateEventSink<Outlook::COutlookEventSinkExplorersImpl>();
        VARIANT_BOOL advised = VARIANT_FALSE;
        sink->Advise(explorers.Get(), &advised);
        m_sinks->Add(sink);
    }
    ComPtr<Outlook::IZxOutlookEventSink> sink = Outlook::CreateEventSink<Outlook::COutlookEventSinkApplicationImpl>();
    VARIANT_BOOL advised = VARIANT_FALSE;
    sink->Advise(m_application.Get(), &advised);
    m_sinks->Add(sink);
}

HRESULT CZxMerrowlinkAddin::OnStartupComplete(SAFEARRAY**) {
    ZX_ENTER_MODULE();
    return Error::GuardEntryPoint(Error::kAddinConnection, [&] {
        if (!m_application) return;
        const CDispatchDriver explorer = m_application.GetObject("ActiveExplorer", Outlook::IID__Explorer);
        if (explorer) GetGlobalObjects().m_extension->Initialize(explorer);
    });
}

HRESULT CZxMerrowlinkAddin::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) {
    ZX_ENTER_MODULE();
    // Each step runs whatever the one before it met.
    (void)Error::GuardEntryPoint(Error::kResultOnly, [] { GetGlobalObjects().m_extension->Uninitialize(); });
    (void)Error::GuardEntryPoint(Error::kResultOnly, [&] { m_sinks->RemoveAll(); });
    (void)Error::GuardEntryPoint(Error::kResultOnly, [&] { m_application.Reset(); });
    return S_OK;
}

HRESULT CZxMerrowlinkAddin::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }

HRESULT CZxMerrowlinkAddin::OnBeginShutdown(SAFEARRAY**) { return S_OK; }

// ---- IRibbonExtensibility ----------------------------------------------------------------------

HRESULT CZxMerrowlinkAddin::GetCustomUI(BSTR ribbonId, BSTR* markup) {
    ZX_ENTER_MODULE();
    // Outlook reads only the result: a failure leaves the explorer without the add-in's ribbon.
    return Error::GuardEntryPointOr(Error::kResultOnly, S_OK, [&]() -> HRESULT {
        const std::string id = ToAnsi(ribbonId ? ribbonId : L"");
        if (::lstrcmpiA(id.c_str(), "Microsoft.Outlook.Explorer") != 0) return S_OK;
        if (!markup) return E_POINTER;
        // The satellite's markup when it has one, else the module's own.
        HMODULE module = ZxFindResourceHandle(MAKEINTRESOURCEA(IDR_RIBBON_MARKUP), "XML");
        HRSRC resource = module ? ::FindResourceA(module, MAKEINTRESOURCEA(IDR_RIBBON_MARKUP), "XML") : nullptr;
        if (!resource) return S_OK;
        HGLOBAL loaded = ::LoadResource(module, resource);
        const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
        const DWORD size = ::SizeofResource(module, resource);
        if (!bytes) return S_OK;
        const std::wstring text = ToWide(std::string(bytes, size));
        *markup = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    });
}

// ---- IZxMerrowlinkAddin ------------------------------------------------------------------------

HRESULT CZxMerrowlinkAddin::OnRibbonLoad(IDispatch* ribbonUI) {
    m_ribbon.Reset();
    if (ribbonUI) ribbonUI->QueryInterface(Outlook::IID_IRibbonUI, reinterpret_cast<void**>(m_ribbon.GetAddressOf()));
    return S_OK;
}

HRESULT CZxMerrowlinkAddin::OnOptionsBtnClicked(IDispatch*) {
    ZX_ENTER_MODULE();
    Commands::Options();
    return S_OK;
}

HRESULT CZxMerrowlinkAddin::OnSyncButtonClicked(IDispatch*) {
    ZX_ENTER_MODULE();
    Commands::Synchronize();
    return S_OK;
}

HRESULT CZxMerrowlinkAddin::GetSyncBtnImage(IDispatch*, IPictureDisp** image) {
    ZX_ENTER_MODULE();
    // Without a picture the ribbon shows the button with its label only.
    return Error::GuardEntryPointOr(Error::kResultOnly, S_OK, [&] {
        if (!image) return S_OK;
        // Not a shared icon: the picture destroys it.
        HMODULE module =
            ZxFindResourceHandle(MAKEINTRESOURCEA(IDI_SYNC_BUTTON), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
        if (!module) return S_OK;
        zx::unique_hicon icon(static_cast<HICON>(
            ::LoadImageA(module, MAKEINTRESOURCEA(IDI_SYNC_BUTTON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
        if (!icon) return S_OK;
        PICTDESC description{};
        description.cbSizeofstruct = sizeof description;
        description.picType = PICTYPE_ICON;
        description.icon.hicon = icon.get();
        IPictureDisp* picture = nullptr;
        if (SUCCEEDED(::OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                                                 reinterpret_cast<void**>(&picture))) &&
            picture) {
            (void)icon.release(); // the picture destroys it
            *image = picture;
        }
        return S_OK;
    });
}
