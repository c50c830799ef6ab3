#include "addin/ZxMerrowlinkExtApp.h"

#include "addin/TypeLibrary.h"

CZxBrackenmeadowSyncExtApp::CZxBrackenmeadowSyncExtApp() : m_resourceLoader("ZxMerrowlinkResPL.dll") {}

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
    m_resourceLoader.Load(); // a missing satellite is no error: the module's own resources serve
    return true;
}

int CZxBrackenmeadowSyncExtApp::ExitInstance() {
    m_resourceLoader.Unload();
    zx::com::ReleaseModuleTypeInfos();
    return 0;
}
