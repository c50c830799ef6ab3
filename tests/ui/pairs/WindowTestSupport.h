#pragma once
// What the window tests share: the profile and data folder of PairsTest, an observer of message boxes,
// and a way to find the dialog that is up.
#include "PairsTestSupport.h"
#include "UiDriver.h"

// The visible top-level window of this thread that holds a control with this number (null when none).
inline HWND FindDialogWith(int controlId, HWND besides = nullptr) {
    struct Search {
        int id;
        HWND besides;
        HWND found = nullptr;
    } search{controlId, besides};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (w != s->besides && IsWindowVisible(w) && GetDlgItem(w, s->id)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class WindowTest : public PairsTest {
protected:
    void SetUp() override {
        PairsTest::SetUp();
        // The shared resource libraries are installed beside the add-in; here they come from the build.
        SetDllDirectoryA(ZX_RES_DIR);
        INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
        MakeProfile();
        m_session = Session();
    }
    void TearDown() override {
        m_session.Reset();
        SetDllDirectoryA(nullptr);
        PairsTest::TearDown();
    }

    ZxIMAPISession m_session;
    MessageBoxObserver m_boxes;
};
