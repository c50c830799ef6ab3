// The module's exports: class objects of the object map, unload check, registration as a COM server
// and as an Outlook add-in.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "ZxMerrowlinkExt.h"
#include "addin/AutoSyncPropPage.h"
#include "addin/ComModule.h"
#include "addin/SettingsPropPage.h"
#include "addin/ZxMerrowlinkAddin.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/AppMessageBox.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "base/Resource.h"
#include "base/StringTable.h"

using zx::com::CRegistryRow;
using zx::com::KeyRemoval;

namespace {

constexpr const char* kAppId = "{8FAEC7EF-7EE7-492B-84FB-1C586F754EFF}";
constexpr const char* kOleMisc = "131473";
constexpr const char* kAddInKey = "Software\\Microsoft\\Office\\Outlook\\AddIns\\ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi";
constexpr const char* kAddInsKey = "Software\\Microsoft\\Office\\Outlook\\AddIns";
constexpr const char* kAddInKeyName = "ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi";
constexpr const char* kExtensionsKey = "Software\\Microsoft\\Exchange\\Client\\Extensions";
constexpr const char* kSetupExtension = "4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX";

constexpr CRegistryRow kApplicationScript[] = {
    {"AppID", nullptr, nullptr, KeyRemoval::Keep},
    {"AppID\\%APPID%", "", "ZxBrackenmeadowSyncExt"},
    {"AppID\\ZxBrackenmeadowSyncExt.DLL", "AppID", "%APPID%"},
};

#define ZX_ADDIN_CLSID "{74952BBD-F13F-4D84-BD7D-7B7C9C3D5DC6}"
#define ZX_PAGE_CLSID "{DDEAD34E-9EAC-4753-AE56-7F384C84CDFF}"
#define ZX_AUTOSYNC_PAGE_CLSID "{0A38B994-6C7A-4F22-BC39-91E693CF75F5}"
#define ZX_LIBID "{299BA055-60DE-4785-97EF-BA277BAA2CB5}"

constexpr CRegistryRow kAddinScript[] = {
    {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1", "", "ZxMerrowlinkAddin Class"},
    {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1\\CLSID", "", ZX_ADDIN_CLSID},
    {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi", "", "ZxMerrowlinkAddin Class"},
    {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi\\CLSID", "", ZX_ADDIN_CLSID},
    {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi\\CurVer", "", "ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1"},
    {"CLSID", nullptr, nullptr, KeyRemoval::Keep},
    {"CLSID\\" ZX_ADDIN_CLSID, "", "ZxMerrowlinkAddin Class", KeyRemoval::Replace},
    {"CLSID\\" ZX_ADDIN_CLSID "\\ProgID", "", "ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1"},
    {"CLSID\\" ZX_ADDIN_CLSID "\\VersionIndependentProgID", "", "ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi"},
    {"CLSID\\" ZX_ADDIN_CLSID "\\Programmable", nullptr, nullptr, KeyRemoval::Replace},
    {"CLSID\\" ZX_ADDIN_CLSID "\\InprocServer32", "", "%MODULE%"},
    {"CLSID\\" ZX_ADDIN_CLSID "\\InprocServer32", "ThreadingModel", "Apartment"},
    {"CLSID\\" ZX_ADDIN_CLSID "\\TypeLib", "", ZX_LIBID},
};

// A page control of Outlook's Options dialog: its ProgIDs (versioned, version-independent), class name
// and class id.
#define ZX_PAGE_CONTROL_SCRIPT(VERSIONED, INDEPENDENT, NAME, CLSID_TEXT)                                      \
    {                                                                                                       \
        {VERSIONED, "", NAME}, {VERSIONED "\\CLSID", "", CLSID_TEXT}, {INDEPENDENT, "", NAME},                 \
        {INDEPENDENT "\\CLSID", "", CLSID_TEXT}, {INDEPENDENT "\\CurVer", "", VERSIONED},                     \
        {"CLSID", nullptr, nullptr, KeyRemoval::Keep},                                                      \
        {"CLSID\\" CLSID_TEXT, "", NAME, KeyRemoval::Replace},                                              \
        {"CLSID\\" CLSID_TEXT, "AppID", "%APPID%"},                                                         \
        {"CLSID\\" CLSID_TEXT "\\ProgID", "", VERSIONED},                                                   \
        {"CLSID\\" CLSID_TEXT "\\VersionIndependentProgID", "", INDEPENDENT},                               \
        {"CLSID\\" CLSID_TEXT "\\Programmable", nullptr, nullptr, KeyRemoval::Replace},                     \
        {"CLSID\\" CLSID_TEXT "\\InprocServer32", "", "%MODULE%"},                                          \
        {"CLSID\\" CLSID_TEXT "\\InprocServer32", "ThreadingModel", "Apartment"},                           \
        {"CLSID\\" CLSID_TEXT "\\Control", nullptr, nullptr, KeyRemoval::Replace},                          \
        {"CLSID\\" CLSID_TEXT "\\ToolboxBitmap32", "", "%MODULE%, 5053", KeyRemoval::Replace},              \
        {"CLSID\\" CLSID_TEXT "\\MiscStatus", "", "0"},                                                     \
        {"CLSID\\" CLSID_TEXT "\\MiscStatus\\1", "", "%OLEMISC%"},                                          \
        {"CLSID\\" CLSID_TEXT "\\TypeLib", "", ZX_LIBID},                                                   \
        {"CLSID\\" CLSID_TEXT "\\Version", "", "1.0"},                                                      \
    }

// The options page of Outlook's Options dialog.
constexpr CRegistryRow kSettingsPageScript[] =
    ZX_PAGE_CONTROL_SCRIPT("ZxBrackenmeadowSyncExt.SettingsPropPa.1", "ZxBrackenmeadowSyncExt.SettingsPropPage",
                           "SettingsPropPage Class", ZX_PAGE_CLSID);

// The page "Automatic synchronization" of Outlook's Options dialog.
constexpr CRegistryRow kAutoSyncPageScript[] =
    ZX_PAGE_CONTROL_SCRIPT("ZxBrackenmeadowSyncExt.AutoSyncPropPa.1", "ZxBrackenmeadowSyncExt.AutoSyncPropPage",
                           "AutoSyncPropPage Class", ZX_AUTOSYNC_PAGE_CLSID);

zx::com::CObjectMapEntry g_objectMap[] = {
    {CLSID_ZxMerrowlinkAddin, &CZxMerrowlinkAddin::CreateInstance, kAddinScript},
    {CLSID_SettingsPropPage, &CSettingsPropPage::CreateInstance, kSettingsPageScript},
    {CLSID_AutoSyncPropPage, &CAutoSyncPropPage::CreateInstance, kAutoSyncPageScript},
};

std::wstring ModulePathW() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(ZxGetThisModule(), path, MAX_PATH);
    return std::wstring(path, n < MAX_PATH ? n : 0);
}

zx::com::CRegistryReplacements Replacements() {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(ZxGetThisModule(), path, MAX_PATH);
    return {{"MODULE", std::string(path, n < MAX_PATH ? n : 0)}, {"APPID", kAppId}, {"OLEMISC", kOleMisc}};
}

HRESULT RegisterObjectMap() {
    const auto replacements = Replacements();
    for (const auto& entry : g_objectMap) {
        const HRESULT hr = zx::com::RegisterScript(HKEY_CLASSES_ROOT, entry.script, replacements);
        if (FAILED(hr)) return hr;
    }
    Microsoft::WRL::ComPtr<ITypeLib> library;
    const std::wstring path = ModulePathW();
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    std::wstring file = path;
    std::wstring directory = path.substr(0, path.find_last_of(L"\\/") + 1);
    return ::RegisterTypeLib(library.Get(), file.data(), directory.empty() ? nullptr : directory.data());
}

HRESULT UnregisterObjectMap() {
    const auto replacements = Replacements();
    for (const auto& entry : g_objectMap) {
        const HRESULT hr = zx::com::UnregisterScript(HKEY_CLASSES_ROOT, entry.script, replacements);
        if (FAILED(hr)) return hr;
    }
    // A library that is not registered is what unregistration wants (Wine answers E_INVALIDARG for it).
    zx::unique_bstr registered;
    if (FAILED(::QueryPathOfRegTypeLib(LIBID_ZxBrackenmeadowSyncExtLib, 1, 0, 0x409, registered.put()))) return S_OK;
    const HRESULT hr = ::UnRegisterTypeLib(LIBID_ZxBrackenmeadowSyncExtLib, 1, 0, 0x409, SYS_WIN64);
    if (hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_CANTLOADLIBRARY) return S_OK;
    return hr;
}

// The old Exchange client extension entry gives way to the setup extension value; any failure is ignored.
void WriteExchangeExtension() {
    (void)Error::GuardEntryPoint(Error::kResultOnly, [] {
        zx::unique_hkey key;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kExtensionsKey, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
            return;
        ::RegDeleteValueA(key.get(), kZxAppName);
        ::RegSetValueExA(key.get(), "Outlook Setup Extension", 0, REG_SZ, reinterpret_cast<const BYTE*>(kSetupExtension),
                         static_cast<DWORD>(std::char_traits<char>::length(kSetupExtension) + 1));
    });
}

void SetStringValue(HKEY key, const char* name, const char* text) {
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(std::char_traits<char>::length(text) + 1));
}

// Outlook's entry for the add-in: loaded at start-up. Throws ZxExceptionCommon.
void WriteAddInKey() {
    zx::unique_hkey key;
    LONG rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAddInKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS)
        ZX_THROW_COMMON_HERE(static_cast<DWORD>(rc), std::string("Failed to create registry key '") + kAddInKey + "'");
    const DWORD loadBehavior = 3;
    rc = ::RegSetValueExA(key.get(), "LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&loadBehavior),
                          sizeof loadBehavior);
    if (rc != ERROR_SUCCESS)
        ZX_THROW_COMMON_HERE(static_cast<DWORD>(rc), std::string("Failed to set registry value at key '") + kAddInKey + "'");
    SetStringValue(key.get(), "Description", kZxAppName);
    SetStringValue(key.get(), "FriendlyName", kZxAppName);
}

// Throws ZxExceptionCommon when the parent of Outlook's entry cannot be opened (its text names the entry).
void DeleteAddInKey() {
    zx::unique_hkey key;
    const LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAddInsKey, 0, KEY_READ | KEY_WRITE, key.put());
    if (rc != ERROR_SUCCESS)
        ZX_THROW_COMMON_HERE(static_cast<DWORD>(rc), std::string("Failed to create registry key '") + kAddInKey + "'");
    ::RegDeleteKeyA(key.get(), kAddInKeyName);
}

// Takes back whatever a failed registration wrote: COM and Outlook must never find half of it. What
// cannot be removed stays; the failure itself has been reported.
void UndoRegistration() noexcept {
    (void)Error::GuardEntryPoint(Error::kResultOnly, [] {
        (void)UnregisterObjectMap();
        (void)zx::com::UnregisterScript(HKEY_CLASSES_ROOT, kApplicationScript, Replacements());
        DeleteAddInKey();
    });
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    // Only what is safe under the loader lock: no library loads, no COM.
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return Error::GuardEntryPointOr(Error::kResultOnly, S_FALSE, [] {
        if (zx::com::ModuleLockCount() > 0) return S_FALSE;
        CZxBrackenmeadowSyncExtApp::Instance().Finish();
        return S_OK;
    });
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return Error::GuardEntryPoint(Error::kResultOnly, [&] {
        ZX_ENTER_MODULE();
        return zx::com::GetClassObject(g_objectMap, clsid, iid, out);
    });
}

STDAPI DllRegisterServer() {
    return Error::GuardEntryPoint(Error::kRegistration, [] {
        ZX_ENTER_MODULE();
        auto undo = zx::scope_exit([] { UndoRegistration(); });
        const auto replacements = Replacements();
        HRESULT hr = zx::com::RegisterScript(HKEY_CLASSES_ROOT, kApplicationScript, replacements);
        if (FAILED(hr)) return hr;
        hr = RegisterObjectMap();
        if (FAILED(hr)) return hr;
        // A failure here is shown in the error box and answered with E_FAIL, before the extension entry.
        WriteAddInKey();
        undo.release();
        WriteExchangeExtension();
        return S_OK;
    });
}

STDAPI DllUnregisterServer() {
    return Error::GuardEntryPoint(Error::kRegistration, [] {
        ZX_ENTER_MODULE();
        const auto replacements = Replacements();
        HRESULT hr = zx::com::UnregisterScript(HKEY_CLASSES_ROOT, kApplicationScript, replacements);
        if (FAILED(hr)) return hr;
        hr = UnregisterObjectMap();
        if (FAILED(hr)) return hr;
        // A failure here is shown in the error box; unregistration goes on.
        (void)Error::GuardEntryPoint(Error::kRegistration, DeleteAddInKey);
        WriteExchangeExtension();
        return S_OK;
    });
}

} // extern "C"
