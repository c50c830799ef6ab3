#pragma once
// Pictures of windows for the screenshots, the demo and the host's screenshot step: the window as the
// screen shows it, frame and caption included, in a 24-bit BMP file (the scripts turn it into PNG).
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/Resource.h"

namespace standin {

// False on any failure; a partly written file may then be left behind.
inline bool SaveWindowPicture(HWND window, const std::string& path) {
    if (!window) return false;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE | RDW_FRAME);
    GdiFlush();
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    // The window's own DC covers its frame and caption as well.
    const zx::unique_window_dc screen(window, zx::unique_window_dc::WholeWindow);
    const zx::unique_hdc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const zx::unique_hbitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap || !bits) return false;
    {
        const zx::select_object_scope select(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY)) return false;
    }
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    const zx::unique_file out(std::fopen(path.c_str(), "wb"));
    return out && std::fwrite(&file, sizeof file, 1, out.get()) == 1 &&
           std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out.get()) == 1 &&
           std::fwrite(bits, imageSize, 1, out.get()) == 1;
}

} // namespace standin
