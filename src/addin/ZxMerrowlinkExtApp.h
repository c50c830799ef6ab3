#pragma once
// The module's application object: resource module, start and finish of the module. (The application's
// name, the caption of its boxes, is kZxAppName of base/AppMessageBox.h.)
//
// Nothing here runs inside DllMain: loading the satellite library or touching COM under the loader lock
// can deadlock the process. InitInstance runs at the first call into the module (every export and every
// method Outlook calls on the add-in object enter through ZX_ENTER_MODULE), and ExitInstance runs when
// DllCanUnloadNow answers that the module may go.
#include <windows.h>

#include <string>

#include "ui/ResourceLoader.h"

class CZxBrackenmeadowSyncExtApp {
public:
    static CZxBrackenmeadowSyncExtApp& Instance();

    // Runs InitInstance once until ExitInstance.
    void EnsureInitialized();
    void Finish();

    bool InitInstance();
    int ExitInstance();

private:
    CZxBrackenmeadowSyncExtApp();

    bool m_initialized = false;
    // The satellite "ZxMerrowlinkResPL.dll" beside the module replaces the module's own texts, dialogs,
    // pictures and ribbon markup while it is loaded.
    ZxResourceLoader m_resourceLoader;
};

#define ZX_ENTER_MODULE() CZxBrackenmeadowSyncExtApp::Instance().EnsureInitialized()
