#include "ui/HeaderDrawer.h"

namespace {

const COLORREF kBandColour = RGB(0xFE, 0xFE, 0xFE);
const COLORREF kRuleColour = RGB(0x80, 0x80, 0x80);

// "Tahoma" at 13 logical units, normal weight: the 10-point Tahoma of a 96 DPI screen.
HFONT MakeHeaderFont() {
    LOGFONTA font{};
    font.lfHeight = -13;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynA(font.lfFaceName, "Tahoma", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

RECT BandOf(const RECT& client, int height) {
    RECT band = client;
    band.bottom = band.top + height;
    return band;
}

} // namespace

void ZxDialogHeaderDrawer::SetHeader(HWND window, int height, const std::string& text, HBITMAP bitmap,
                                     COLORREF transparent) {
    m_window = window;
    m_height = height;
    m_text = text;
    m_bitmapSize = SIZE{0, 0};
    m_images.reset();
    BITMAP info{};
    if (bitmap && GetObjectA(bitmap, sizeof(info), &info) == sizeof(info)) {
        m_bitmapSize = SIZE{info.bmWidth, info.bmHeight};
        if (info.bmWidth > 0 && info.bmHeight > 0) {
            m_images.reset(ImageList_Create(info.bmWidth, info.bmHeight, ILC_MASK | ILC_COLOR32, 0, 1));
            if (m_images) ImageList_AddMasked(m_images.get(), bitmap, transparent);
        }
    }
    if (!m_font) m_font.reset(MakeHeaderFont());
}

UINT ZxDialogHeaderDrawer::GetTextFormat() const { return DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS; }

RECT ZxDialogHeaderDrawer::GetTextRect(const RECT& client) const {
    const RECT band = BandOf(client, m_height);
    RECT text = band;
    InflateRect(&text, -10, -10);
    if (m_bitmapSize.cx > 0 && m_bitmapSize.cy > 0) text.right = band.right - m_bitmapSize.cx - 20;
    return text;
}

void ZxDialogHeaderDrawer::Draw(HDC dc) {
    if (!m_window || !dc) return;
    RECT client{};
    GetClientRect(m_window, &client);
    const RECT band = BandOf(client, m_height);

    const zx::unique_hbrush fill(CreateSolidBrush(kBandColour));
    FillRect(dc, &band, fill.get());

    const zx::unique_hpen rule(CreatePen(PS_SOLID, 1, kRuleColour));
    {
        const zx::select_object_scope pen(dc, rule.get());
        MoveToEx(dc, band.left, band.bottom - 2, nullptr);
        LineTo(dc, band.right - 1, band.bottom - 2);
    }

    if (m_bitmapSize.cx > 0 && m_bitmapSize.cy > 0 && m_images) {
        const int width = band.right - band.left;
        const int height = band.bottom - band.top;
        ImageList_Draw(m_images.get(), 0, dc, band.left + width - m_bitmapSize.cx - 10,
                       band.top + (height - m_bitmapSize.cy) / 2, ILD_TRANSPARENT);
    }

    RECT text = GetTextRect(client);
    const zx::select_object_scope font(dc, m_font.get());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextA(dc, m_text.c_str(), static_cast<int>(m_text.size()), &text, GetTextFormat());
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}
