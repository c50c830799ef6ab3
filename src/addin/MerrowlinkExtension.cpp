#include "addin/MerrowlinkExtension.h"

#include "addin/OutlookIds.h"
#include "base/Errors.h"
#include "base/Version.h"

using Microsoft::WRL::ComPtr;
using Outlook::CDispatchDriver;

CMerrowlinkExtension::CMerrowlinkExtension()
    : m_commandBars(new Toolbars::COutlookCommandBars()), m_autoSync(std::make_unique<CAutoSync>()) {}

CMerrowlinkExtension::~CMerrowlinkExtension() = default;

int CMerrowlinkExtension::MajorVersion() const {
    const CVersionNumber version(m_application.GetString("Version").c_str(), ".,");
    return version.empty() ? 0 : version.front();
}

void CMerrowlinkExtension::Initialize(const CDispatchDriver& explorer) {
    if (m_initialized) return;
    m_initialized = true;

    m_application = explorer.GetObject("Application", Outlook::IID__Application);
    try {
        const CDispatchDriver nameSpace = m_application.GetObject("Session", Outlook::IID__NameSpace);
        const zx::unique_variant object = nameSpace.Call("MAPIOBJECT");
        if (object.vt == VT_UNKNOWN || object.vt == VT_DISPATCH) m_session = object.punkVal;
    } catch (...) {
    }
    if (!m_session) {
        ComPtr<IUnknown> component;
        if (SUCCEEDED(::CoCreateInstance(Outlook::CLSID_SessionProvider, nullptr, CLSCTX_ALL, IID_IUnknown,
                                         reinterpret_cast<void**>(component.GetAddressOf())))) {
            ::OleRun(component.Get());
            ComPtr<Outlook::ISessionProvider> provider;
            if (SUCCEEDED(component->QueryInterface(Outlook::IID_ISessionProvider,
                                                    reinterpret_cast<void**>(provider.GetAddressOf())))) {
                ComPtr<IUnknown> object;
                const HRESULT hr = provider->GetSessionObject(&object);
                if (FAILED(hr)) throw Error::ZxComError::FromErrorInfo(hr, Outlook::IID_ISessionProvider);
                m_session = object.Get();
            }
        }
    }
    // Reported without a place, as it always was.
    constexpr Error::ZxFixedPlace kNoPlace{nullptr, nullptr, 0};
    if (!m_session) ZX_THROW_TEXT_AT(kNoPlace, "Failed to obtain MAPI session.");

    m_autoSync->Start(m_session);
    if (MajorVersion() < 14) m_commandBars->InstallButtons(explorer);
}

void CMerrowlinkExtension::Uninitialize() {
    try {
        if (!m_initialized) return;
        m_initialized = false;
        // A run under way ends here, cleanly, while the session is still there.
        m_autoSync->Stop();
        bool commandBars = false;
        try {
            commandBars = MajorVersion() < 14;
        } catch (...) {
        }
        if (commandBars) {
            try {
                m_commandBars->RemoveHandlers();
            } catch (...) {
            }
        }
        m_application.Reset();
        m_session.Reset();
    } catch (...) {
    }
}

CGlobalObjects::CGlobalObjects() : m_extension(new CMerrowlinkExtension()) {}

CGlobalObjects& GetGlobalObjects() {
    static CGlobalObjects objects;
    return objects;
}
