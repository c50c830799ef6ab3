#include "addin/ZxMerrowlinkAddin.h"

#include "ui/AppMessageBox.h"
#include "addin/Commands.h"
#include "addin/MerrowlinkExtension.h"
#include "addin/OutlookEventSinkApplicationImpl.h"
#include "addin/OutlookEventSinkExplorerImpl.h"
#include "addin/OutlookEventSinkExplorersImpl.h"
#include "addin/OutlookIds.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "mapi/MAPIModule.h"
#include "ui/ResourceSource.h"
#include "resources/ResourceIds.h"

#include <olectl.h>

using Microsoft::WRL::ComPtr;
using Outlook::CDispatchDriver;

namespace {

constexpr unsigned kErrorBoxStyle = MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST;
constexpr unsigned kRibbonMarkupId = 5014;

// The handlers of the connection methods: Outlook must keep the add-in loaded whatever failed.
template <class F>
void GuardLoad(F&& step) {
    try {
        step();
    } catch (const Error::ZxException& e) {
        e.ShowErrorBox(kErrorBoxStyle);
    } catch (const Outlook::CComError& e) {
        ZxAppMessageBox(e.GetText());
    } catch (...) {
        ZxAppMessageBox("Failed to load Orvanta Merrowlink Addin.");
    }
}

template <class F>
void Swallow(F&& step) {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

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
    GuardLoad([&] { Connect(application); });
    return S_OK;
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
    GuardLoad([&] {
        if (!m_application) return;
        const CDispatchDriver explorer = m_application.GetObject("ActiveExplorer", Outlook::IID__Explorer);
        if (explorer) GetGlobalObjects().m_extension->Initialize(explorer);
    });
    return S_OK;
}

HRESULT CZxMerrowlinkAddin::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) {
    ZX_ENTER_MODULE();
    Swallow([] { GetGlobalObjects().m_extension->Uninitialize(); });
    Swallow([&] { m_sinks->RemoveAll(); });
    Swallow([&] { m_application.Reset(); });
    return S_OK;
}

HRESULT CZxMerrowlinkAddin::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }

HRESULT CZxMerrowlinkAddin::OnBeginShutdown(SAFEARRAY**) { return S_OK; }

// ---- IRibbonExtensibility ----------------------------------------------------------------------

HRESULT CZxMerrowlinkAddin::GetCustomUI(BSTR ribbonId, BSTR* markup) {
    ZX_ENTER_MODULE();
    try {
        const std::string id = Outlook::ToAnsi(ribbonId ? ribbonId : L"");
        if (::lstrcmpiA(id.c_str(), "Microsoft.Outlook.Explorer") != 0) return S_OK;
        if (!markup) return E_POINTER;
        // The satellite's markup when it has one, else the module's own.
        HMODULE module = ZxFindResourceHandle(MAKEINTRESOURCEA(kRibbonMarkupId), "XML");
        HRSRC resource = module ? ::FindResourceA(module, MAKEINTRESOURCEA(kRibbonMarkupId), "XML") : nullptr;
        if (!resource) return S_OK;
        HGLOBAL loaded = ::LoadResource(module, resource);
        const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
        const DWORD size = ::SizeofResource(module, resource);
        if (!bytes) return S_OK;
        const std::wstring text = Outlook::ToWide(std::string(bytes, size));
        *markup = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    } catch (...) {
    }
    return S_OK;
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
    if (!image) return S_OK;
    // Not a shared icon: the picture destroys it.
    HMODULE module = ZxFindResourceHandle(MAKEINTRESOURCEA(IDI_SYNC_BUTTON), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (!module) return S_OK;
    zx::unique_hicon icon(static_cast<HICON>(
        ::LoadImageA(module, MAKEINTRESOURCEA(IDI_SYNC_BUTTON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    if (!icon) return S_OK;
    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_ICON;
    description.icon.hicon = icon.get();
    IPictureDisp* picture = nullptr;
    if (SUCCEEDED(::OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(&picture))) &&
        picture) {
        (void)icon.release(); // the picture destroys it
        *image = picture;
    }
    return S_OK;
}
