// The header band as it appears on a window: read back pixel by pixel from the screen.
#include "UiTestSupport.h"

#include "base/Resource.h"
#include "ui/HeaderDrawer.h"

namespace {

const COLORREF kFill = RGB(0xFE, 0xFE, 0xFE);
const COLORREF kRule = RGB(0x80, 0x80, 0x80);
const COLORREF kPicture = RGB(0x20, 0x40, 0xC0);

// A top-level window whose paint is the header band only.
class BandWindow {
public:
    BandWindow(int width, int height) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "ZxBandTest";
        RegisterClassA(&wc);
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, WS_POPUP, FALSE, WS_EX_TOPMOST);
        m_window.reset(CreateWindowExA(WS_EX_TOPMOST, "ZxBandTest", "", WS_POPUP, 20, 20, r.right - r.left,
                                       r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), this));
    }
    HWND Get() const { return m_window.get(); }
    void Show() {
        ShowWindow(m_window.get(), SW_SHOWNOACTIVATE);
        RedrawWindow(m_window.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        PumpFor(100);
    }
    COLORREF Pixel(int x, int y) const {
        const zx::unique_window_dc dc(m_window.get());
        return GetPixel(dc.get(), x, y);
    }
    ZxDialogHeaderDrawer drawer;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<BandWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_PAINT && self) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            self->drawer.Draw(dc);
            EndPaint(window, &paint);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    zx::unique_hwnd m_window;
};

// A picture of the given colour with a one-pixel white border, which is the see-through colour.
HBITMAP MakePicture(int width, int height) {
    const zx::unique_window_dc screen(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen.get(), width, height);
    const zx::unique_hdc dc(CreateCompatibleDC(screen.get()));
    const zx::select_object_scope selected(dc.get(), bitmap);
    RECT all{0, 0, width, height};
    const zx::unique_hbrush white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc.get(), &all, white.get());
    RECT inner{1, 1, width - 1, height - 1};
    const zx::unique_hbrush blue(CreateSolidBrush(kPicture));
    FillRect(dc.get(), &inner, blue.get());
    return bitmap;
}

} // namespace

TEST(HeaderDrawer, TheBandIsFilledRuledAndCarriesThePictureOnTheRight) {
    const int width = 400, height = 62, window = 120;
    BandWindow band(width, window);
    ASSERT_NE(nullptr, band.Get());
    const zx::unique_hbitmap picture(MakePicture(32, 32));
    band.drawer.SetHeader(band.Get(), height, "", picture.get(), RGB(255, 255, 255));
    band.Show();

    EXPECT_EQ(height, band.drawer.GetHeight());
    EXPECT_EQ(32, band.drawer.GetBitmapSize().cx);
    EXPECT_EQ(kFill, band.Pixel(5, 5));
    EXPECT_EQ(kFill, band.Pixel(width - 1, 0));
    // The rule: two pixels above the band's bottom, from the left edge to just before the right one.
    for (int x : {0, 1, width / 2, width - 3}) EXPECT_EQ(kRule, band.Pixel(x, height - 2)) << x;
    EXPECT_EQ(kFill, band.Pixel(width / 2, height - 3));
    EXPECT_EQ(kFill, band.Pixel(width / 2, height - 1));
    // Below the band the window's own background stays.
    EXPECT_EQ(RGB(0, 0, 0), band.Pixel(width / 2, height + 5));

    // The picture at x = width - 32 - 10, y = (62 - 32) / 2, its white border see-through.
    const int px = width - 32 - 10, py = (height - 32) / 2;
    EXPECT_EQ(kFill, band.Pixel(px, py));
    EXPECT_EQ(kPicture, band.Pixel(px + 1, py + 1));
    EXPECT_EQ(kPicture, band.Pixel(px + 30, py + 30));
    EXPECT_EQ(kFill, band.Pixel(px + 31, py + 31));
    EXPECT_EQ(kFill, band.Pixel(px - 1, py + 10));

    RECT client{0, 0, width, window};
    const RECT text = band.drawer.GetTextRect(client);
    EXPECT_EQ(10, text.left);
    EXPECT_EQ(10, text.top);
    EXPECT_EQ(width - 32 - 20, text.right);
    EXPECT_EQ(height - 10, text.bottom);
}

TEST(HeaderDrawer, TheTextStaysInsideItsRectangle) {
    const int width = 300, height = 62;
    BandWindow band(width, 80);
    const zx::unique_hbitmap picture(MakePicture(32, 32));
    band.drawer.SetHeader(band.Get(), height,
                          "Data synchronization in progress. Outlook will not respond.\nPlease wait... and wait, "
                          "and wait a little longer, for this text is long enough to be cut",
                          picture.get(), RGB(255, 255, 255));
    band.Show();
    RECT client{0, 0, width, 80};
    const RECT text = band.drawer.GetTextRect(client);
    int inside = 0, outside = 0;
    for (int y = 0; y < height - 3; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = band.Pixel(x, y);
            const bool inText = x >= text.left && x < text.right && y >= text.top && y < text.bottom;
            const bool inPicture = x >= width - 42 && x < width - 10 && y >= 15 && y < 47;
            if (c == kFill || inPicture) continue;
            (inText ? inside : outside)++;
        }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(0, outside);
    EXPECT_EQ(UINT(DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS), band.drawer.GetTextFormat());
    EXPECT_EQ(0xA010u, band.drawer.GetTextFormat());
}

TEST(HeaderDrawer, WithoutAPictureTheTextRunsToTenPixelsFromTheRightAndNothingIsDrawnThere) {
    const int width = 320, height = 50;
    BandWindow band(width, 70);
    band.drawer.SetHeader(band.Get(), height, "", nullptr, RGB(255, 255, 255));
    band.Show();
    EXPECT_EQ(0, band.drawer.GetBitmapSize().cx);
    RECT client{0, 0, width, 70};
    EXPECT_EQ(width - 10, band.drawer.GetTextRect(client).right);
    for (int y = 0; y < height - 2; ++y)
        for (int x = width - 60; x < width; ++x) ASSERT_EQ(kFill, band.Pixel(x, y)) << x << "," << y;
}

TEST(HeaderDrawer, BeforeSetHeaderNothingIsPainted) {
    BandWindow band(200, 80);
    band.Show();
    EXPECT_EQ(RGB(0, 0, 0), band.Pixel(5, 5));
}
