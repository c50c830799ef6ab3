// Where texts, templates and pictures come from: the shared resource libraries found by folder and
// then by the system's search, the satellite that replaces the module's texts and dialogs, and the
// loaded dialog that switches the source only for its own call.
#include "UiTestSupport.h"

#include <commctrl.h>

#include <memory>

#include "base/StringTable.h"
#include "support/TempDir.h"
#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/DlgSynchro.h"
#include "ui/ImageList.h"
#include "ui/ResourceLoader.h"
#include "ui/ResourceModule.h"
#include "ui/ResourceSource.h"

namespace {

const char* const kNeitherText = "Failed to load resource from modules: 'ZxRes.dll, ZxResEN.dll'";

void CopyShared(const std::string& name, const TempDir& folder) {
    const std::string from = SharedResourceFolder() + "\\" + name;
    ASSERT_TRUE(CopyFileA(from.c_str(), (folder / name).c_str(), FALSE)) << from;
}

std::string FileNameOf(HMODULE module) {
    const std::string path = ModulePath(module);
    return path.substr(path.find_last_of("\\/") + 1);
}

std::string FolderOf(HMODULE module) {
    const std::string path = ModulePath(module);
    return path.substr(0, path.find_last_of("\\/"));
}

// The long form of a folder, as the loader reports the path of what it mapped.
std::string LongPath(const std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    return n ? std::string(buffer, n) : path;
}

} // namespace

TEST(ResourceModule, WithNeitherLibraryAnywhereTheTextNamesBoth) {
    // The test program's folder holds neither library, and neither is on the search path.
    try {
        ZxResourceModule module(ZxResourceModule::SharedNames());
        FAIL() << "loaded " << ModulePath(module.GetHandle());
    } catch (const Error::ZxExceptionText& e) {
        EXPECT_EQ(kNeitherText, e.GetErrorText());
        EXPECT_EQ("", e.GetFileName());
        EXPECT_EQ(0, e.GetLine());
    }
    // So a window that builds one cannot be made.
    EXPECT_THROW(ZxLoadedDialog(ZxResourceModule::SharedNames(), IDD_FOLDER_PICKER, nullptr), Error::ZxExceptionText);
    EXPECT_THROW(ZxImageList(ZxResourceModule::SharedNames()), Error::ZxExceptionText);
}

TEST(ResourceModule, TheFolderComesFirstThenTheSearchPathInNameOrder) {
    struct Case {
        const char* name;
        std::vector<std::string> inFolder;
        bool onSearchPath;
        const char* expected; // file name; "" when nothing loads
        bool fromFolder;
    };
    const Case cases[] = {
        {"both in the folder", {"ZxRes.dll", "ZxResEN.dll"}, false, "ZxRes.dll", true},
        {"only ZxResEN.dll in the folder", {"ZxResEN.dll"}, false, "ZxResEN.dll", true},
        {"only ZxRes.dll in the folder", {"ZxRes.dll"}, false, "ZxRes.dll", true},
        {"ZxResEN.dll in the folder beats ZxRes.dll on the path", {"ZxResEN.dll"}, true, "ZxResEN.dll", true},
        {"empty folder, both on the path", {}, true, "ZxRes.dll", false},
        {"empty folder, nothing on the path", {}, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        for (const std::string& name : c.inFolder) CopyShared(name, folder);
        SetDllDirectoryA(c.onSearchPath ? SharedResourceFolder().c_str() : nullptr);
        std::unique_ptr<ZxResourceModule> module;
        std::string error;
        try {
            module = std::make_unique<ZxResourceModule>(ZxResourceModule::SharedNames(), folder.Path());
        } catch (const Error::ZxException& e) {
            error = e.GetErrorText();
        }
        SetDllDirectoryA(nullptr);
        if (*c.expected == '\0') {
            EXPECT_EQ(kNeitherText, error);
            continue;
        }
        ASSERT_TRUE(module) << error;
        EXPECT_EQ(c.expected, FileNameOf(module->GetHandle()));
        EXPECT_EQ(LongPath(c.fromFolder ? folder.Path() : SharedResourceFolder()),
                  LongPath(FolderOf(module->GetHandle())));
        module.reset(); // the library goes before its folder
    }
}

TEST(SharedResources, EachLibraryHoldsThePickerTemplateTheIconTheTextsAndTheImageSet) {
    for (const char* name : {"ZxRes.dll", "ZxResEN.dll"}) {
        SCOPED_TRACE(name);
        ZxResourceModule module({name}, SharedResourceFolder());

        // Template 103: the tree 1001 with OK and Cancel.
        ZxLoadedDialog picker({name}, SharedResourceFolder(), IDD_FOLDER_PICKER, nullptr);
        picker.Create();
        ASSERT_NE(nullptr, picker.GetHwnd());
        char className[64] = {};
        GetClassNameA(picker.GetItem(IDC_FOLDER_TREE), className, sizeof(className));
        EXPECT_STREQ(WC_TREEVIEWA, className);
        EXPECT_EQ("OK", WindowText(picker.GetItem(IDOK)));
        EXPECT_EQ("Cancel", WindowText(picker.GetItem(IDCANCEL)));

        const zx::unique_hicon icon(module.LoadIconById(IDI_PAIR_INFORMATION));
        ICONINFO info{};
        ASSERT_TRUE(icon && GetIconInfo(icon.get(), &info));
        const zx::unique_hbitmap colour(info.hbmColor), mask(info.hbmMask);
        BITMAP bits{};
        GetObjectA(colour.get(), sizeof(bits), &bits);
        EXPECT_EQ(GetSystemMetrics(SM_CXICON), bits.bmWidth);

        for (unsigned id : {IDS_PICKER_STORE_CHOSEN, IDS_PICKER_PUBLIC_ROOT_CHOSEN})
            EXPECT_GT(module.LoadStringById(id).size(), 20u) << id;
        EXPECT_EQ("", module.LoadStringById(5024)); // the module's own table is not searched

        // 16 by 16 pictures, each with see-through green around something drawn.
        for (unsigned id : {101u, 102u, 104u, 105u, 106u, 107u, 108u, 109u, 110u, 111u, 112u, 113u, 114u, 115u, 116u}) {
            SCOPED_TRACE(id);
            const zx::unique_hbitmap bitmap(module.LoadBitmapById(id));
            ASSERT_TRUE(bitmap);
            BITMAP b{};
            GetObjectA(bitmap.get(), sizeof(b), &b);
            EXPECT_EQ(16, b.bmWidth);
            EXPECT_EQ(16, b.bmHeight);
            const zx::unique_hdc dc(CreateCompatibleDC(nullptr));
            const zx::select_object_scope selected(dc.get(), bitmap.get());
            int green = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) green += GetPixel(dc.get(), x, y) == RGB(0, 255, 0);
            EXPECT_GT(green, 8);
            EXPECT_LT(green, 200);
        }
        EXPECT_FALSE(module.LoadBitmapById(103));
        EXPECT_FALSE(module.LoadIconById(4242));
    }
}

TEST(ResourceLoader, ASatelliteBesideTheModuleReplacesTextsAndDialogsUntilUnloaded) {
    const HMODULE self = ZxGetThisModule();
    // The progress window's report control class (the window itself loads it for the process).
    {
        CDlgSynchro loadsRichEdit{[](IStatusWindow&) {}};
    }
    ZxDialog before(IDD_SYNCHRO, nullptr);
    before.Create();
    ASSERT_EQ("Data synchronization", WindowText(before.GetHwnd()));
    {
        ZxResourceLoader loader("ZxMerrowlinkResPL.dll");
        ASSERT_TRUE(loader.Load());
        EXPECT_EQ(LongPath(ZxGetModuleFolder() + "ZxMerrowlinkResPL.dll"), LongPath(loader.GetPath()));
        EXPECT_EQ(loader.GetLibrary(), ZxGetResourceHandle());
        EXPECT_EQ(loader.GetLibrary(), ZxGetStringModule());

        EXPECT_EQ("Zamknij", ZxLoadString(5024));
        // What the satellite lacks still comes from the module.
        EXPECT_EQ("Synchronization interrupted by user.", ZxLoadString(5022));
        const zx::unique_hbitmap header(ZxLoadModuleBitmap(IDB_SYNCHRO_HEADER));
        EXPECT_TRUE(header);

        ZxDialog translated(IDD_SYNCHRO, nullptr);
        translated.Create();
        EXPECT_EQ("Synchronizacja danych", WindowText(translated.GetHwnd()));
        EXPECT_EQ("Anuluj", WindowText(translated.GetItem(IDCANCEL)));

        // Loading again first gives back what it had.
        ASSERT_TRUE(loader.Load());
        loader.Unload();
        EXPECT_EQ(self, ZxGetResourceHandle());
        EXPECT_EQ("Close", ZxLoadString(5024));
        EXPECT_EQ("", loader.GetPath());
        ASSERT_TRUE(loader.Load());
    } // the destructor unloads
    EXPECT_EQ(self, ZxGetResourceHandle());
    EXPECT_EQ(self, ZxGetStringModule());
    ZxDialog after(IDD_SYNCHRO, nullptr);
    after.Create();
    EXPECT_EQ("Data synchronization", WindowText(after.GetHwnd()));
}

TEST(ResourceLoader, NoCandidateBesideTheModuleLeavesTheModuleAsTheSource) {
    SetDllDirectoryA(SharedResourceFolder().c_str()); // a library on the search path does not count
    ZxResourceLoader loader("ZxRes.dll");
    EXPECT_FALSE(loader.Load());
    SetDllDirectoryA(nullptr);
    EXPECT_EQ(nullptr, loader.GetLibrary());
    EXPECT_EQ(ZxGetThisModule(), ZxGetResourceHandle());
    EXPECT_EQ("Close", ZxLoadString(5024));
}

namespace {

// The picker's template from ZxRes.dll, with a handler that records the source and then fails.
class ThrowingPicker : public ZxLoadedDialog {
public:
    explicit ThrowingPicker(bool zxException)
        : ZxLoadedDialog(ZxResourceModule::SharedNames(), SharedResourceFolder(), IDD_FOLDER_PICKER, nullptr),
          m_zxException(zxException) {}
    HMODULE sourceDuringInit = nullptr;

protected:
    BOOL OnInitDialog() override {
        sourceDuringInit = ZxGetResourceHandle();
        // The user closes the dialog after the failure was shown.
        PostMessageA(GetHwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (m_zxException) ZX_THROW_TEXT_HERE("The tree cannot be filled.");
        throw 42;
    }

private:
    bool m_zxException;
};

} // namespace

TEST(LoadedDialog, AFailingHandlerIsShownAndTheSourceIsRestoredAfterTheRun) {
    struct Case {
        bool zxException;
        const char* caption;
        const char* text;
        unsigned type;
    };
    const Case cases[] = {
        {true, "Error", "The tree cannot be filled.", MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST},
        {false, "Orvanta Merrowlink Addin", "Unhandled exception in Zx window.", MB_OK | MB_ICONEXCLAMATION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        MessageBoxRecorder boxes;
        ThrowingPicker picker(c.zxException);
        EXPECT_EQ(IDCANCEL, picker.DoModal());
        EXPECT_EQ(picker.GetResourceModule().GetHandle(), picker.sourceDuringInit);
        EXPECT_EQ(ZxGetThisModule(), ZxGetResourceHandle());
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(c.caption, boxes.boxes[0].caption);
        EXPECT_EQ(c.text, boxes.boxes[0].text);
        EXPECT_EQ(c.type, boxes.boxes[0].type);
    }
}

TEST(LoadedDialog, ACallThatThrowsRestoresTheSourceAndAModalRunAnswersCancel) {
    // The shared library has no progress window template: making the window fails.
    ZxLoadedDialog missing(ZxResourceModule::SharedNames(), SharedResourceFolder(), IDD_SYNCHRO, nullptr);
    EXPECT_EQ(IDCANCEL, missing.DoModal());
    EXPECT_EQ(ZxGetThisModule(), ZxGetResourceHandle());
    EXPECT_THROW(missing.Create(), Error::ZxExceptionCommon);
    EXPECT_EQ(ZxGetThisModule(), ZxGetResourceHandle());
    EXPECT_EQ(nullptr, missing.GetHwnd());

    // Under a satellite, it is the satellite that comes back.
    ZxResourceLoader loader("ZxMerrowlinkResPL.dll");
    ASSERT_TRUE(loader.Load());
    EXPECT_EQ(IDCANCEL, missing.DoModal());
    EXPECT_EQ(loader.GetLibrary(), ZxGetResourceHandle());
}
