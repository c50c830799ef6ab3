#pragma once
// Pictures of the add-in's windows for scripts/screenshots: the window as the screen shows it, copied
// into a 24-bit BMP file (the script turns it into PNG).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "pictures/WindowPicture.h"

// The folder scripts/screenshots asks for; empty when the pictures are not wanted.
inline std::string ScreenshotFolder() {
    char folder[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("ZX_SCREENSHOT_DIR", folder, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(folder) : std::string();
}

// Photographs the window into `folder\name.bmp` after its pending paints; false on any failure.
inline bool SaveWindowPicture(HWND window, const std::string& name) {
    const std::string folder = ScreenshotFolder();
    if (folder.empty() || !window) return false;
    MSG msg;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
    return standin::SaveWindowPicture(window, folder + "\\" + name + ".bmp");
}
