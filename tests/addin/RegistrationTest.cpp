// Registration through Wine's own regsvr32, read back through the registry API.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "AddinTestSupport.h"
#include "base/Resource.h"

using namespace addintest;

namespace {

constexpr const char* kAddinClsid = "{74952BBD-F13F-4D84-BD7D-7B7C9C3D5DC6}";
constexpr const char* kPageClsid = "{DDEAD34E-9EAC-4753-AE56-7F384C84CDFF}";
constexpr const char* kAutoSyncPageClsid = "{0A38B994-6C7A-4F22-BC39-91E693CF75F5}";
constexpr const char* kAppId = "{8FAEC7EF-7EE7-492B-84FB-1C586F754EFF}";
constexpr const char* kLibId = "{299BA055-60DE-4785-97EF-BA277BAA2CB5}";
constexpr const char* kAddInKey = "Software\\Microsoft\\Office\\Outlook\\AddIns\\ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi";
constexpr const char* kExtensionsKey = "Software\\Microsoft\\Exchange\\Client\\Extensions";
constexpr const char* kSetupExtension = "4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX";

struct Expected {
    std::string key; // below HKEY_CLASSES_ROOT
    std::string value; // "" = default
    std::string data; // "MODULE" stands for the module's path
};

std::string Clsid(const char* clsid, const char* tail = "") { return std::string("CLSID\\") + clsid + tail; }

// The entries of a page control of Outlook's Options dialog.
struct PageClass {
    const char* clsid;
    const char* versioned; // ProgID
    const char* independent; // version-independent ProgID
    const char* name;
};
constexpr PageClass kPageClasses[] = {
    {kPageClsid, "ZxBrackenmeadowSyncExt.SettingsPropPa.1", "ZxBrackenmeadowSyncExt.SettingsPropPage",
     "SettingsPropPage Class"},
    {kAutoSyncPageClsid, "ZxBrackenmeadowSyncExt.AutoSyncPropPa.1", "ZxBrackenmeadowSyncExt.AutoSyncPropPage",
     "AutoSyncPropPage Class"},
};

void AppendPageEntries(const PageClass& page, const std::string& module, std::vector<Expected>& entries) {
    const char* id = page.clsid;
    const std::vector<Expected> own = {
        {page.versioned, "", page.name},
        {std::string(page.versioned) + "\\CLSID", "", id},
        {page.independent, "", page.name},
        {std::string(page.independent) + "\\CLSID", "", id},
        {std::string(page.independent) + "\\CurVer", "", page.versioned},
        {Clsid(id), "", page.name},
        {Clsid(id), "AppID", kAppId},
        {Clsid(id, "\\ProgID"), "", page.versioned},
        {Clsid(id, "\\VersionIndependentProgID"), "", page.independent},
        {Clsid(id, "\\InprocServer32"), "", module},
        {Clsid(id, "\\InprocServer32"), "ThreadingModel", "Apartment"},
        {Clsid(id, "\\TypeLib"), "", kLibId},
        {Clsid(id, "\\ToolboxBitmap32"), "", module + ", 5053"},
        {Clsid(id, "\\MiscStatus"), "", "0"},
        {Clsid(id, "\\MiscStatus\\1"), "", "131473"},
        {Clsid(id, "\\Version"), "", "1.0"},
    };
    entries.insert(entries.end(), own.begin(), own.end());
}

// The class and application entries, value by value.
std::vector<Expected> ClassesRootEntries() {
    const std::string module = AddinModulePath();
    std::vector<Expected> entries = {
        {std::string("AppID\\") + kAppId, "", "ZxBrackenmeadowSyncExt"},
        {"AppID\\ZxBrackenmeadowSyncExt.DLL", "AppID", kAppId},
        {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1", "", "ZxMerrowlinkAddin Class"},
        {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1\\CLSID", "", kAddinClsid},
        {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi", "", "ZxMerrowlinkAddin Class"},
        {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi\\CLSID", "", kAddinClsid},
        {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi\\CurVer", "", "ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1"},
        {Clsid(kAddinClsid), "", "ZxMerrowlinkAddin Class"},
        {Clsid(kAddinClsid, "\\ProgID"), "", "ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1"},
        {Clsid(kAddinClsid, "\\VersionIndependentProgID"), "", "ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi"},
        {Clsid(kAddinClsid, "\\InprocServer32"), "", module},
        {Clsid(kAddinClsid, "\\InprocServer32"), "ThreadingModel", "Apartment"},
        {Clsid(kAddinClsid, "\\TypeLib"), "", kLibId},
    };
    for (const PageClass& page : kPageClasses) AppendPageEntries(page, module, entries);
    return entries;
}

// Keys that carry no value of their own.
const std::vector<std::string> kBareKeys = {Clsid(kAddinClsid, "\\Programmable"), Clsid(kPageClsid, "\\Programmable"),
                                            Clsid(kPageClsid, "\\Control"), Clsid(kAutoSyncPageClsid, "\\Programmable"),
                                            Clsid(kAutoSyncPageClsid, "\\Control")};

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        const ProcessResult r = Regsvr32(false);
        ASSERT_FALSE(r.timedOut);
        ASSERT_EQ(r.exitCode, 0u) << r.output;
        ASSERT_TRUE(r.boxes.empty()) << r.boxes[0].text;
    }
    // The add-in stays registered for the other suites of this program.
    void TearDown() override { Regsvr32(false); }

    static std::vector<std::string> OwnEntries() {
        std::vector<std::string> all;
        for (const std::string& key :
             {std::string("AppID\\") + kAppId, std::string("AppID\\ZxBrackenmeadowSyncExt.DLL"),
              std::string("ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1"), std::string("ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi"),
              std::string("ZxBrackenmeadowSyncExt.SettingsPropPa.1"), std::string("ZxBrackenmeadowSyncExt.SettingsPropPage"),
              std::string("ZxBrackenmeadowSyncExt.AutoSyncPropPa.1"), std::string("ZxBrackenmeadowSyncExt.AutoSyncPropPage"),
              Clsid(kAddinClsid), Clsid(kPageClsid), Clsid(kAutoSyncPageClsid), std::string("TypeLib\\") + kLibId}) {
            for (const std::string& line : SnapshotTree(HKEY_CLASSES_ROOT, key)) all.push_back(line);
        }
        for (const std::string& line : SnapshotTree(HKEY_LOCAL_MACHINE, kAddInKey)) all.push_back(line);
        return all;
    }
};

TEST_F(Registration, WritesEveryClassAndApplicationEntry) {
    for (const Expected& e : ClassesRootEntries()) {
        bool found = false;
        const std::string data = ReadString(HKEY_CLASSES_ROOT, e.key, e.value, &found);
        EXPECT_TRUE(found) << e.key << " [" << e.value << "]";
        EXPECT_EQ(data, e.data) << e.key << " [" << e.value << "]";
    }
    for (const std::string& key : kBareKeys) EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}

TEST_F(Registration, WritesTheOutlookAddInKey) {
    DWORD behavior = 0, size = sizeof behavior, type = 0;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kAddInKey, "LoadBehavior", RRF_RT_ANY, &type, &behavior, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(behavior, 3u);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kAddInKey, "Description"), "Orvanta Merrowlink Addin");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kAddInKey, "FriendlyName"), "Orvanta Merrowlink Addin");
}

TEST_F(Registration, RegistersTheTypeLibraryFromTheModule) {
    const std::string key = std::string("TypeLib\\") + kLibId + "\\1.0";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key, ""), "ZxBrackenmeadowSyncExt 1.0 Type Library");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + "\\409\\win64", ""), AddinModulePath());
    // The dual interface is marshalled through the type library.
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "Interface\\{DEB2DCDA-F231-4028-9533-09B69E07FEBA}"));
}

TEST_F(Registration, RegisteringTwiceLeavesTheSameEntries) {
    const std::vector<std::string> first = OwnEntries();
    ASSERT_FALSE(first.empty());
    const ProcessResult again = Regsvr32(false);
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_EQ(OwnEntries(), first);
}

TEST_F(Registration, ReplacedClassKeysLoseForeignSubkeysOnRegistration) {
    // A stale subkey below a replaced class key is gone after registration; below a plain key it stays.
    const std::string replaced = Clsid(kAddinClsid) + "\\Stale";
    const std::string plain = "ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi\\Stale";
    for (const std::string& key : {replaced, plain}) {
        HKEY stale = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, key.c_str(), &stale), ERROR_SUCCESS) << key;
        RegCloseKey(stale);
    }
    EXPECT_EQ(Regsvr32(false).exitCode, 0u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, replaced));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, plain));
    RegDeleteKeyA(HKEY_CLASSES_ROOT, plain.c_str());
}

TEST_F(Registration, UnregisteringLeavesOnlyTheKeptKeys) {
    HKEY foreign = nullptr;
    // Another product's subkey below a removable key keeps that key.
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "ZxBrackenmeadowSyncExt.SettingsPropPage\\Foreign", &foreign), ERROR_SUCCESS);
    RegCloseKey(foreign);

    const ProcessResult r = Regsvr32(true);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.boxes.empty());
    for (const Expected& e : ClassesRootEntries())
        EXPECT_FALSE(ValueExists(HKEY_CLASSES_ROOT, e.key, e.value)) << e.key << " [" << e.value << "]";
    for (const char* key : {"ZxBrackenmeadowSyncExt.ZxMerrowlinkAd.1", "ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi",
                            "ZxBrackenmeadowSyncExt.SettingsPropPa.1", "ZxBrackenmeadowSyncExt.AutoSyncPropPa.1",
                            "ZxBrackenmeadowSyncExt.AutoSyncPropPage", "AppID\\ZxBrackenmeadowSyncExt.DLL"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Clsid(kAddinClsid)));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Clsid(kPageClsid)));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Clsid(kAutoSyncPageClsid)));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("AppID\\") + kAppId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibId));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAddInKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Outlook\\AddIns"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "ZxBrackenmeadowSyncExt.SettingsPropPage\\Foreign"));
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "ZxBrackenmeadowSyncExt.SettingsPropPage");
}

// What is not registered (a second unregistration, or one after a registration that failed and took
// itself back, as an uninstaller may run it) is what unregistration wants: it succeeds quietly.
TEST_F(Registration, UnregisteringWhatIsNotRegisteredSucceeds) {
    for (int round = 1; round <= 2; ++round) {
        const ProcessResult r = Regsvr32(true);
        EXPECT_FALSE(r.timedOut) << round;
        EXPECT_EQ(r.exitCode, 0u) << round;
        EXPECT_TRUE(r.boxes.empty()) << round << ": " << r.boxes[0].text;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibId)) << round;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, Clsid(kAddinClsid))) << round;
    }
}

TEST_F(Registration, UnregisteringWithoutTheAddInKeyShowsNoBox) {
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAddInKey), ERROR_SUCCESS);
    const ProcessResult r = Regsvr32(true);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.boxes.empty()) << r.boxes[0].caption << ": " << r.boxes[0].text;
}

TEST_F(Registration, BothOperationsReplaceTheOldExchangeExtensionValue) {
    for (const bool unregister : {false, true}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kExtensionsKey, &key), ERROR_SUCCESS);
        const char old[] = "4.0;ZxMerrowlinkExt.dll;1";
        RegSetValueExA(key, "Orvanta Merrowlink Addin", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof old);
        RegDeleteValueA(key, "Outlook Setup Extension");
        RegCloseKey(key);

        EXPECT_EQ(Regsvr32(unregister).exitCode, 0u);
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kExtensionsKey, "Orvanta Merrowlink Addin")) << unregister;
        EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kExtensionsKey, "Outlook Setup Extension"), kSetupExtension) << unregister;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kExtensionsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Outlook Setup Extension");
        RegCloseKey(key);
    }
}

// Registration that the registry refuses part-way (an administrator's lock on one of the keys it writes)
// fails as a whole: regsvr32 hears of the failure, and none of the module's entries is left behind for
// Outlook or COM to find.
TEST_F(Registration, RegistrationThatTheRegistryRefusesLeavesNoEntry) {
    const struct {
        HKEY root;
        const char* locked; // exists beforehand, refusing to be written
        bool errorBox; // the add-in's own error box, naming Outlook's entry
    } cases[] = {
        {HKEY_CLASSES_ROOT, "AppID\\ZxBrackenmeadowSyncExt.DLL", false}, // the application's entries
        {HKEY_CLASSES_ROOT, "ZxBrackenmeadowSyncExt.SettingsPropPage", false}, // the second class
        {HKEY_CLASSES_ROOT, "ZxBrackenmeadowSyncExt.AutoSyncPropPage", false}, // the third, after two were written
        {HKEY_LOCAL_MACHINE, kAddInKey, true}, // Outlook's entry, after every class and the type library
    };
    // From no registration at all; each failed attempt must leave it so for the next.
    ASSERT_EQ(Regsvr32(true).exitCode, 0u);
    for (const auto& c : cases) {
        zx::unique_hkey key;
        ASSERT_EQ(RegCreateKeyExA(c.root, c.locked, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
        // Everyone may read it, nobody may write a value into it.
        const auto lock = [&](const char* sddl) {
            PSECURITY_DESCRIPTOR descriptor = nullptr;
            if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
                return static_cast<LONG>(GetLastError());
            const LONG rc = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
            LocalFree(descriptor);
            return rc;
        };
        ASSERT_EQ(lock("D:(D;;0x6;;;WD)(A;;KA;;;WD)"), ERROR_SUCCESS);
        zx::unique_hkey refused;
        ASSERT_EQ(RegOpenKeyExA(c.root, c.locked, 0, KEY_WRITE, refused.put()), ERROR_ACCESS_DENIED) << c.locked;

        const ProcessResult r = Regsvr32(false);
        lock("D:(A;;KA;;;WD)");
        key.reset();
        RegDeleteTreeA(c.root, c.locked);

        EXPECT_FALSE(r.timedOut);
        EXPECT_NE(r.exitCode, 0u) << c.locked;
        if (c.errorBox) {
            ASSERT_EQ(r.boxes.size(), 1u) << c.locked;
            EXPECT_EQ(r.boxes[0].caption, "Error");
            EXPECT_NE(r.boxes[0].text.find(std::string("Failed to create registry key '") + kAddInKey + "'"),
                      std::string::npos)
                << r.boxes[0].text;
        } else {
            EXPECT_TRUE(r.boxes.empty()) << c.locked << ": " << r.boxes[0].text;
        }
        for (const Expected& e : ClassesRootEntries())
            EXPECT_FALSE(ValueExists(HKEY_CLASSES_ROOT, e.key, e.value)) << c.locked << ": " << e.key << " [" << e.value << "]";
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibId)) << c.locked;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAddInKey)) << c.locked;
    }
}

} // namespace
