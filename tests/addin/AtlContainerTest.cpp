// The options page in an ActiveX container the project did not write: Wine's ATL host window "AtlAxWin"
// given the page's ProgID, as any ATL-based host makes it. The page comes from the registered module
// (not from this program), so it meets the whole sequence: creation by ProgID, InitNew, client site,
// in-place activation in the host window, and Close with the window's end. This process has no Outlook
// and so no controller session: the page says so and still stands.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "AddinTestSupport.h"
#include "HostInterfaces.h"
#include "base/Resource.h"

using Microsoft::WRL::ComPtr;
using namespace addintest;

namespace {

// Message boxes of this thread (the module's own MessageBoxA): recorded once their text is set, and
// answered with OK.
class BoxAnswerer {
public:
    BoxAnswerer() {
        s_texts.clear();
        m_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, Hook, nullptr, GetCurrentThreadId());
    }
    ~BoxAnswerer() {
        if (m_hook) UnhookWindowsHookEx(m_hook);
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    static const std::vector<std::string>& Texts() { return s_texts; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && message && message->message == WM_INITDIALOG) {
            char className[64] = {};
            GetClassNameA(message->hwnd, className, sizeof className);
            if (std::string(className) == "#32770" && GetDlgItem(message->hwnd, 0xFFFF)) {
                char caption[256] = {}, text[1024] = {};
                GetWindowTextA(message->hwnd, caption, sizeof caption);
                GetWindowTextA(GetDlgItem(message->hwnd, 0xFFFF), text, sizeof text);
                s_texts.push_back(std::string(caption) + ": " + text);
                PostMessageA(message->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK m_hook = nullptr;
    static inline std::vector<std::string> s_texts;
};

RECT ChildRect(HWND parent, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(parent, id), &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Wine's ATL host, loaded and initialized once for the program (its window class stays registered), and
// OLE for each test.
class AtlContainer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(EnsureRegistered());
        s_atl = LoadLibraryA("atl.dll"); // kept for the program: its window class outlives a test
        ASSERT_TRUE(s_atl);
        const auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(s_atl, "AtlAxWinInit")));
        ASSERT_TRUE(init && init());
    }
    void SetUp() override {
        ASSERT_TRUE(s_atl);
        m_getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
            reinterpret_cast<void*>(GetProcAddress(s_atl, "AtlAxGetControl")));
        ASSERT_TRUE(m_getControl);
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        m_oleInitialized = true;
    }
    void TearDown() override {
        if (m_oleInitialized) OleUninitialize();
    }
    // The control in ATL's host window, as Outlook's PropertyPage and as a window object.
    void Control(HWND host, ComPtr<PropertyPage>& page, ComPtr<IOleWindow>& window) const {
        ComPtr<IUnknown> control;
        ASSERT_EQ(m_getControl(host, &control), S_OK);
        ASSERT_EQ(control.As(&page), S_OK);
        ASSERT_EQ(control.As(&window), S_OK);
    }
    // Once every object of the module is gone, the module may be unloaded.
    static void ExpectModuleCanUnload() {
        const HMODULE module = GetModuleHandleA(AddinModulePath().c_str());
        ASSERT_TRUE(module);
        const auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        ASSERT_TRUE(canUnload);
        EXPECT_EQ(canUnload(), S_OK);
    }

    static inline HMODULE s_atl = nullptr;
    HRESULT(WINAPI* m_getControl)(HWND, IUnknown**) = nullptr;
    bool m_oleInitialized = false;
};

TEST_F(AtlContainer, ThePageLivesInWinesAtlHostWindowAndGoesWithIt) {
    BoxAnswerer boxes;
    const zx::unique_hwnd frame(CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "ATL host", WS_POPUP | WS_VISIBLE, 30, 30,
                                                520, 480, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(frame);
    constexpr int kWidth = 480, kHeight = 440;
    HWND host = CreateWindowExA(0, "AtlAxWin", "ZxBrackenmeadowSyncExt.SettingsPropPage", WS_CHILD | WS_VISIBLE, 10, 10,
                                kWidth, kHeight, frame.get(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(host);

    ComPtr<PropertyPage> page;
    ComPtr<IOleWindow> window;
    ASSERT_NO_FATAL_FAILURE(Control(host, page, window));
    HWND pageWindow = nullptr;
    ASSERT_EQ(window->GetWindow(&pageWindow), S_OK);

    // No controller session in this process: the page says so, and its window stands in the host's.
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error: Failed to get MAPI session!"}));
    EXPECT_EQ(GetParent(pageWindow), host);
    EXPECT_TRUE(IsWindowVisible(pageWindow));
    RECT client{};
    GetClientRect(pageWindow, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);

    // The first-show layout follows the size the container gave.
    const RECT list = ChildRect(pageWindow, 5000), add = ChildRect(pageWindow, 5001), remove = ChildRect(pageWindow, 5002),
               logFile = ChildRect(pageWindow, 5011), version = ChildRect(pageWindow, 5010),
               link = ChildRect(pageWindow, 5013);
    EXPECT_EQ(list.right, kWidth - 15);
    EXPECT_EQ(list.bottom, kHeight - 150);
    EXPECT_EQ(remove.right, kWidth - 15);
    EXPECT_EQ(remove.top, kHeight - 140);
    EXPECT_EQ(add.right, remove.left - 5);
    EXPECT_EQ(add.top, kHeight - 140);
    EXPECT_EQ(logFile.right, kWidth - 15);
    EXPECT_EQ(logFile.top, kHeight - 110);
    EXPECT_EQ(version.top, kHeight - 35);
    EXPECT_EQ(link.top, kHeight - 18);

    VARIANT_BOOL dirty = VARIANT_TRUE;
    EXPECT_EQ(page->get_Dirty(&dirty), S_OK);
    EXPECT_EQ(dirty, VARIANT_FALSE);
    // Outlook may ask by name: the page's dual interface is served from the module's type information.
    LPOLESTR name = const_cast<LPOLESTR>(L"Dirty");
    DISPID dirtyId = DISPID_UNKNOWN;
    ASSERT_EQ(page->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &dirtyId), S_OK);
    EXPECT_EQ(dirtyId, 0x2101);
    DISPPARAMS none{};
    zx::unique_variant byName;
    ASSERT_EQ(page->Invoke(dirtyId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &byName, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(byName.vt, VT_BOOL);
    EXPECT_EQ(byName.boolVal, VARIANT_FALSE);
    BSTR helpFile = nullptr;
    long helpContext = 0;
    EXPECT_EQ(page->GetPageInfo(&helpFile, &helpContext), E_NOTIMPL);
    // A page that never read the stored pairs must not replace them.
    EXPECT_EQ(page->Apply(), E_FAIL);

    // The host window's end closes the control, which takes its window with it.
    DestroyWindow(host);
    EXPECT_FALSE(IsWindow(pageWindow));
    page.Reset();
    window.Reset();
    ExpectModuleCanUnload();
}

// The page "Automatic synchronization" in the same host: without a controller session it cannot know
// whose options to show, so it says so and makes no window; the host stands, nothing is applied, and the
// module can still go.
TEST_F(AtlContainer, TheAutomaticPageWithoutASessionSaysSoAndTheHostStands) {
    BoxAnswerer boxes;
    const zx::unique_hwnd frame(CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "ATL host", WS_POPUP | WS_VISIBLE, 30, 30,
                                                520, 480, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(frame);
    HWND host = CreateWindowExA(0, "AtlAxWin", "ZxBrackenmeadowSyncExt.AutoSyncPropPage", WS_CHILD | WS_VISIBLE, 10, 10,
                                480, 440, frame.get(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(host);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error: Failed to get MAPI session!"}));

    ComPtr<PropertyPage> page;
    ComPtr<IOleWindow> window;
    ASSERT_NO_FATAL_FAILURE(Control(host, page, window));
    HWND pageWindow = nullptr;
    EXPECT_EQ(window->GetWindow(&pageWindow), E_FAIL);
    EXPECT_EQ(pageWindow, nullptr);
    VARIANT_BOOL dirty = VARIANT_TRUE;
    EXPECT_EQ(page->get_Dirty(&dirty), S_OK);
    EXPECT_EQ(dirty, VARIANT_FALSE);
    EXPECT_EQ(page->Apply(), E_FAIL);

    DestroyWindow(host);
    page.Reset();
    window.Reset();
    ExpectModuleCanUnload();
}

} // namespace
