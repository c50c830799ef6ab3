#include "ui/HeaderDrawer.h"

#include "ui/Dpi.h"

namespace {

const COLORREF kBandColour = RGB(0xFE, 0xFE, 0xFE);
const COLORREF kRuleColour = RGB(0x80, 0x80, 0x80);

// Margins of the band's text and picture, and the rule's distance from the band's bottom, at 96 DPI.
constexpr int kMargin = 10, kRuleAbove = 2, kRuleWidth = 1;

// A 10-point "Tahoma", normal weight: 13 logical units on a 96 DPI screen.
HFONT MakeHeaderFont(UINT dpi) {
    LOGFONTA font{};
    font.lfHeight = ZxFontHeight(10, dpi);
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
    m_font.reset();
    m_fontDpi = 0;
}

UINT ZxDialogHeaderDrawer::GetDpi() const { return ZxGetWindowDpi(m_window); }

HFONT ZxDialogHeaderDrawer::GetFont() {
    const UINT dpi = GetDpi();
    if (!m_font || m_fontDpi != dpi) {
        m_font.reset(MakeHeaderFont(dpi));
        m_fontDpi = dpi;
    }
    return m_font.get();
}

UINT ZxDialogHeaderDrawer::GetTextFormat() const { return DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS; }

RECT ZxDialogHeaderDrawer::GetTextRect(const RECT& client) const {
    const RECT band = BandOf(client, m_height);
    const int margin = ZxScale(kMargin, GetDpi());
    RECT text = band;
    InflateRect(&text, -margin, -margin);
    if (m_bitmapSize.cx > 0 && m_bitmapSize.cy > 0) text.right = band.right - m_bitmapSize.cx - 2 * margin;
    return text;
}

void ZxDialogHeaderDrawer::Draw(HDC dc) {
    if (!m_window || !dc) return;
    RECT client{};
    GetClientRect(m_window, &client);
    const RECT band = BandOf(client, m_height);

    const zx::unique_hbrush fill(CreateSolidBrush(kBandColour));
    FillRect(dc, &band, fill.get());

    // The rule runs from the left edge to one pixel before the right one.
    const UINT dpi = GetDpi();
    const int ruleTop = band.bottom - ZxScale(kRuleAbove, dpi);
    const RECT rule{band.left, ruleTop, band.right - 1, ruleTop + ZxScale(kRuleWidth, dpi)};
    const zx::unique_hbrush ruleBrush(CreateSolidBrush(kRuleColour));
    FillRect(dc, &rule, ruleBrush.get());

    if (m_bitmapSize.cx > 0 && m_bitmapSize.cy > 0 && m_images) {
        const int width = band.right - band.left;
        const int height = band.bottom - band.top;
        ImageList_Draw(m_images.get(), 0, dc, band.left + width - m_bitmapSize.cx - ZxScale(kMargin, dpi),
                       band.top + (height - m_bitmapSize.cy) / 2, ILD_TRANSPARENT);
    }

    RECT text = GetTextRect(client);
    const zx::select_object_scope font(dc, GetFont());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextA(dc, m_text.c_str(), static_cast<int>(m_text.size()), &text, GetTextFormat());
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}
