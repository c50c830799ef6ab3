#pragma once
// Display scaling: the DPI a window is shown at, pixel measures of the 96-DPI design scaled to it, and
// the DPI awareness the add-in's own top-level windows are made under.
#include <windows.h>

constexpr UINT kZxDesignDpi = 96;

// The window's DPI (GetDpiForWindow where Windows has it, else the screen's); 96 for no window.
UINT ZxGetWindowDpi(HWND window);
// The DPI of the screen as this thread sees it (the system DPI for DPI-aware threads).
UINT ZxGetScreenDpi();
// A measure of the 96-DPI design at `dpi` (rounded; unchanged at 96).
inline int ZxScale(int pixelsAt96, UINT dpi) { return MulDiv(pixelsAt96, static_cast<int>(dpi), kZxDesignDpi); }
// The height of a font of `points` points at `dpi`, as LOGFONT wants it (negative: character height).
inline int ZxFontHeight(int points, UINT dpi) { return -MulDiv(points, static_cast<int>(dpi), 72); }

// While it lives, windows this thread makes are system DPI aware: laid out at the system DPI, and
// scaled by Windows on a monitor of another scaling (Outlook itself is per-monitor aware). The add-in's
// top-level windows (the modal ones, and an automatic run's notice and report) are made under it rather
// than following WM_DPICHANGED: they are dialogs from templates with fonts and pictures of their own,
// which a DPI change would have to rebuild and lay out again, for a window that lives a few seconds;
// Windows keeps them laid out and at worst a little soft on a second monitor. The options page inside
// Outlook's dialog is a child window and takes its parent's DPI; it measures everything at the DPI of its
// own window. Does nothing where Windows has no thread DPI awareness.
class ZxSystemDpiAwareScope {
public:
    ZxSystemDpiAwareScope();
    ~ZxSystemDpiAwareScope();
    ZxSystemDpiAwareScope(const ZxSystemDpiAwareScope&) = delete;
    ZxSystemDpiAwareScope& operator=(const ZxSystemDpiAwareScope&) = delete;

private:
    HANDLE m_previous = nullptr;
};
