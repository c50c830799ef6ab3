#include "ui/Dpi.h"

#include "base/Resource.h"

namespace {

// Windows 10 (1607) and later; looked up so that the module still loads on older systems.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFn = HANDLE(WINAPI*)(HANDLE);

template <class Fn>
Fn User32(const char* name) {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

SetThreadDpiAwarenessContextFn SetContext() {
    static const auto setContext = User32<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
    return setContext;
}

// DPI_AWARENESS_CONTEXT_SYSTEM_AWARE.
const HANDLE kSystemAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));

} // namespace

UINT ZxGetScreenDpi() {
    const zx::unique_window_dc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kZxDesignDpi;
}

UINT ZxGetWindowDpi(HWND window) {
    if (!window) return kZxDesignDpi;
    static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi) return dpi;
    }
    return ZxGetScreenDpi();
}

ZxSystemDpiAwareScope::ZxSystemDpiAwareScope() {
    if (const auto setContext = SetContext()) m_previous = setContext(kSystemAware);
}

ZxSystemDpiAwareScope::~ZxSystemDpiAwareScope() {
    if (const auto setContext = SetContext(); setContext && m_previous) setContext(m_previous);
}
