#pragma once
// Shared pieces of the window tests: message boxes recorded and answered instead of shown, message
// pumping for a while, and the built shared resource libraries.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Errors.h"

// Every message box shown while it lives is recorded and answered with `answer`; an action may run
// inside the box (as a user would act while it is open).
class MessageBoxRecorder {
public:
    struct Box {
        std::string caption;
        std::string text;
        unsigned type;
    };
    MessageBoxRecorder() {
        Current() = this;
        m_previous = Error::SetMessageBoxHandler(&Handler);
    }
    ~MessageBoxRecorder() {
        Error::SetMessageBoxHandler(m_previous);
        Current() = nullptr;
    }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<Box> boxes;
    int answer = IDOK;
    std::function<void()> onBox;

private:
    static MessageBoxRecorder*& Current() {
        static MessageBoxRecorder* current = nullptr;
        return current;
    }
    static int Handler(HWND, const char* text, const char* caption, unsigned type) {
        MessageBoxRecorder* self = Current();
        if (!self) return IDOK;
        self->boxes.push_back({caption ? caption : "", text ? text : "", type});
        if (self->onBox) self->onBox();
        return self->answer;
    }
    Error::MessageBoxFn m_previous = nullptr;
};

// Delivers the thread's messages for `milliseconds`.
inline void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// Where the build puts "ZxRes.dll" and "ZxResEN.dll" (never beside the test program).
inline std::string SharedResourceFolder() {
    std::string folder = ZX_RES_DIR;
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder;
}

inline std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

inline std::string ModulePath(HMODULE module) {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}
