#include "addin/ZxMerrowlinkExtApp.h"

#include "addin/AppMessageBox.h"
#include "addin/TypeLibrary.h"
#include "base/StringTable.h"

namespace {
constexpr const char* kSatelliteName = "ZxMerrowlinkResPL.dll";
}

CZxBrackenmeadowSyncExtApp& CZxBrackenmeadowSyncExtApp::Instance() {
    static CZxBrackenmeadowSyncExtApp app;
    return app;
}

void CZxBrackenmeadowSyncExtApp::EnsureInitialized() {
    if (m_initialized) return;
    m_initialized = true;
    InitInstance();
}

void CZxBrackenmeadowSyncExtApp::Finish() {
    if (!m_initialized) return;
    m_initialized = false;
    ExitInstance();
}

bool CZxBrackenmeadowSyncExtApp::InitInstance() {
    m_appName = kZxApplicationName;
    // The satellite beside the module replaces the module's own texts, dialogs, pictures and ribbon markup.
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(ZxGetThisModule(), path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        std::string file(path, n);
        const std::string::size_type slash = file.find_last_of("\\/");
        file = (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + kSatelliteName;
        if (::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
            m_resourceModule = ::LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
            if (m_resourceModule) m_previousStringModule = ZxSetStringModule(m_resourceModule);
        }
    }
    return true;
}

int CZxBrackenmeadowSyncExtApp::ExitInstance() {
    if (m_resourceModule) {
        ZxSetStringModule(m_previousStringModule);
        ::FreeLibrary(m_resourceModule);
        m_resourceModule = nullptr;
        m_previousStringModule = nullptr;
    }
    zx::com::ReleaseModuleTypeInfos();
    return 0;
}

HMODULE CZxBrackenmeadowSyncExtApp::GetResourceModule() const {
    return m_resourceModule ? m_resourceModule : ZxGetThisModule();
}
