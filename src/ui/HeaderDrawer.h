#pragma once
// The header band at the top of the options pages and the progress window: a near-white band with a
// grey rule, a text on the left and a picture on the right.
#include <windows.h>
#include <string>

#include "base/Resource.h"

class ZxDialogHeaderDrawer {
public:
    ZxDialogHeaderDrawer() = default;
    virtual ~ZxDialogHeaderDrawer() = default;
    ZxDialogHeaderDrawer(const ZxDialogHeaderDrawer&) = delete;
    ZxDialogHeaderDrawer& operator=(const ZxDialogHeaderDrawer&) = delete;

    // Remembers the window, the band height in pixels and the text; takes a copy of `bitmap` (which
    // stays the caller's) with `transparent` as its see-through colour.
    void SetHeader(HWND window, int height, const std::string& text, HBITMAP bitmap, COLORREF transparent);
    // Paints the band into `dc` (the window's client area); nothing before SetHeader.
    void Draw(HDC dc);

    // DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS.
    virtual UINT GetTextFormat() const;

    int GetHeight() const { return m_height; }
    SIZE GetBitmapSize() const { return m_bitmapSize; }
    // Where the text goes in a client rectangle (the band shrunk by 10, less the picture on the right;
    // measures of a 96 DPI screen, scaled to the window's DPI).
    RECT GetTextRect(const RECT& client) const;
    // The text font: a 10-point Tahoma at the window's DPI (13 logical units at 96 DPI).
    HFONT GetFont();

private:
    UINT GetDpi() const;

    HWND m_window = nullptr;
    int m_height = 100;
    SIZE m_bitmapSize{0, 0};
    zx::unique_himagelist m_images;
    std::string m_text;
    zx::unique_hfont m_font;
    UINT m_fontDpi = 0; // the DPI m_font was made for
};
