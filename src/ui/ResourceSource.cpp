#include "ui/ResourceSource.h"

#include "base/StringTable.h"

namespace {
HMODULE g_resourceHandle = nullptr;
}

HMODULE ZxSetResourceHandle(HMODULE module) {
    HMODULE previous = g_resourceHandle;
    g_resourceHandle = module;
    return previous;
}

HMODULE ZxGetResourceHandle() { return g_resourceHandle ? g_resourceHandle : ZxGetThisModule(); }

HMODULE ZxFindResourceHandle(LPCSTR name, LPCSTR type) {
    HMODULE first = ZxGetResourceHandle();
    if (FindResourceA(first, name, type)) return first;
    if (first != ZxGetThisModule() && FindResourceA(ZxGetThisModule(), name, type)) return ZxGetThisModule();
    return nullptr;
}

std::string ZxGetModuleFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(ZxGetThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

HBITMAP ZxLoadModuleBitmap(unsigned id) {
    HMODULE module = ZxFindResourceHandle(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    return module ? LoadBitmapA(module, MAKEINTRESOURCEA(id)) : nullptr;
}

HBITMAP ZxLoadModuleBitmapForDpi(unsigned id, UINT dpi) {
    const LPCSTR bitmapType = MAKEINTRESOURCEA(2); // RT_BITMAP
    HMODULE module = ZxFindResourceHandle(MAKEINTRESOURCEA(id), bitmapType);
    if (!module) return nullptr;
    const int percent = MulDiv(100, static_cast<int>(dpi), 96);
    const unsigned step = percent >= 200 ? 3 : percent >= 150 ? 2 : percent >= 125 ? 1 : 0;
    // A satellite that replaced the picture without larger drawings keeps its own picture.
    for (unsigned s = step; s > 0; --s) {
        const unsigned scaled = id + 100 * s;
        if (FindResourceA(module, MAKEINTRESOURCEA(scaled), bitmapType))
            return LoadBitmapA(module, MAKEINTRESOURCEA(scaled));
    }
    return LoadBitmapA(module, MAKEINTRESOURCEA(id));
}

HICON ZxLoadModuleIcon(unsigned id, int width, int height) {
    HMODULE module = ZxFindResourceHandle(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (!module) return nullptr;
    return static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}
