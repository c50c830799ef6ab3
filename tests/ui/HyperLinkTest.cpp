// The link control on a real static control: its address, its size and anchor, hover, and what a click
// that cannot open the address shows.
#include "UiTestSupport.h"

#include "base/Resource.h"
#include "ui/HyperLink.h"

namespace {

// A link whose opening is recorded and answered with a chosen shell code.
class RecordingLink : public ZxHyperLink {
public:
    int GotoURL(const std::string& address, int showCommand) override {
        opened.push_back(address);
        shows.push_back(showCommand);
        return code;
    }
    int code = 42;
    std::vector<std::string> opened;
    std::vector<int> shows;
};

class HyperLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_parent.reset(CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 50, 50, 500, 200, nullptr, nullptr,
                                       nullptr, nullptr));
        ASSERT_NE(nullptr, m_parent.get());
    }
    HWND Child(const char* text, DWORD style, int x = 100, int y = 40, int w = 300, int h = 60) {
        return CreateWindowExA(0, "Static", text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_parent.get(), nullptr,
                               nullptr, nullptr);
    }
    RECT InParent(HWND child) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, m_parent.get(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static SIZE TextSize(HWND child) {
        // The control's font (the link's underlined copy once attached) measures the text.
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0));
        const zx::unique_window_dc dc(child);
        const zx::select_object_scope selected(dc.get(), font);
        const std::string text = WindowText(child);
        SIZE size{};
        GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }
    static void Click(HWND child) {
        SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageA(child, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    zx::unique_hwnd m_parent;
};

} // namespace

TEST_F(HyperLinkTest, TheAddressComesFromTheTextUnlessItHoldsASchemeMark) {
    struct Case {
        const char* given; // SetURL before attaching ("" for none)
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"", "www.orvanta.example", "http://www.orvanta.example"},
        {"https://given.example/", "www.orvanta.example", "http://www.orvanta.example"},
        {"https://given.example/", "https://shown.example/", "https://given.example/"},
        {"", "ftp://files.example/", "ftp://files.example/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RecordingLink link;
        if (*c.given) link.SetURL(c.given);
        link.SubclassWindow(Child(c.text, SS_LEFT));
        EXPECT_EQ(c.expected, link.GetURL());
        EXPECT_EQ(c.text, WindowText(link.GetHwnd()));
        EXPECT_TRUE(GetWindowLongPtrA(link.GetHwnd(), GWL_STYLE) & SS_NOTIFY);
    }
    // An empty control shows the address it was given; SetURL replaces the address later.
    RecordingLink link;
    link.SetURL("https://home.example/");
    link.SubclassWindow(Child("", SS_LEFT));
    EXPECT_EQ("https://home.example/", WindowText(link.GetHwnd()));
    link.SetURL("https://other.example/");
    EXPECT_EQ("https://other.example/", link.GetURL());
    Click(link.GetHwnd());
    EXPECT_EQ((std::vector<std::string>{"https://other.example/"}), link.opened);
    EXPECT_EQ((std::vector<int>{SW_SHOW}), link.shows);
}

TEST_F(HyperLinkTest, TheControlFitsItsTextAndKeepsTheAnchorItsStyleNames) {
    struct Case {
        const char* name;
        DWORD style;
        int x, y, w, h; // where the control starts
    };
    const Case cases[] = {
        {"left", SS_LEFT, 100, 40, 300, 60},
        {"centre", SS_CENTER, 100, 40, 300, 60},
        {"right", SS_RIGHT, 100, 40, 300, 60},
        {"left, centred vertically", SS_LEFT | SS_CENTERIMAGE, 100, 40, 300, 60},
        {"right, centred vertically", SS_RIGHT | SS_CENTERIMAGE, 20, 10, 400, 90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLink link;
        HWND child = Child("Free tools", c.style, c.x, c.y, c.w, c.h);
        link.SubclassWindow(child);
        const SIZE text = TextSize(child);
        const RECT r = InParent(child);
        EXPECT_EQ(text.cx, r.right - r.left);
        EXPECT_EQ(text.cy, r.bottom - r.top);
        const DWORD align = c.style & SS_TYPEMASK;
        if (align == SS_CENTER)
            EXPECT_EQ(c.x + (c.w - text.cx) / 2, r.left);
        else if (align == SS_RIGHT)
            EXPECT_EQ(c.x + c.w, r.right);
        else
            EXPECT_EQ(c.x, r.left);
        if (c.style & SS_CENTERIMAGE)
            EXPECT_EQ(c.y + (c.h - text.cy) / 2, r.top);
        else
            EXPECT_EQ(c.y, r.top);

        // The link is drawn in an underlined copy of the control's font.
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_TRUE(font.lfUnderline);
    }
}

TEST_F(HyperLinkTest, AClickThatFailsShowsTheShellsSentenceAndTheLinkStaysUsable) {
    struct Case {
        int code;
        const char* text; // "" when no box is shown
    };
    const Case cases[] = {
        {42, ""},
        {33, ""},
        {26, "Unable to open hyperlink:\n\nA sharing violation occurred. "},
        {2, "Unable to open hyperlink:\n\nThe specified file was not found."},
        {31, "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension."},
        {0, "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources."},
        {32, "Unable to open hyperlink:\n\nThe specified dynamic-link library was not found."},
        {17, "Unable to open hyperlink:\n\nUnknown Error (17) occurred."},
        {-5, "Unable to open hyperlink:\n\nUnknown Error (-5) occurred."},
    };
    RecordingLink link;
    link.SubclassWindow(Child("www.orvanta.example", SS_LEFT));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        MessageBoxRecorder boxes;
        link.code = c.code;
        Click(link.GetHwnd());
        if (*c.text == '\0') {
            EXPECT_TRUE(boxes.boxes.empty());
            continue;
        }
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ("Orvanta Merrowlink Addin", boxes.boxes[0].caption);
        EXPECT_EQ(c.text, boxes.boxes[0].text);
        EXPECT_EQ(unsigned(MB_OK | MB_ICONEXCLAMATION), boxes.boxes[0].type);
    }
    EXPECT_EQ(std::vector<std::string>(std::size(cases), "http://www.orvanta.example"), link.opened);
}

TEST_F(HyperLinkTest, HoverLastsWhileThePointerIsOverTheLinkAndShowsInItsColour) {
    RecordingLink link;
    link.SubclassWindow(Child("www.orvanta.example", SS_LEFT));
    // Pixels of a colour in the painted link (the underline is drawn in it, solid).
    auto pixelsOf = [&](COLORREF colour) {
        RedrawWindow(link.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT r{};
        GetClientRect(link.GetHwnd(), &r);
        const zx::unique_window_dc dc(link.GetHwnd());
        int n = 0;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x) n += GetPixel(dc.get(), x, y) == colour;
        return n;
    };
    EXPECT_GT(pixelsOf(ZxHyperLink::kLinkColour), 20);
    EXPECT_EQ(0, pixelsOf(ZxHyperLink::kHoverColour));

    SetCursorPos(0, 0);
    SendMessageA(link.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(link.IsHovering());
    EXPECT_GT(pixelsOf(ZxHyperLink::kHoverColour), 20);
    EXPECT_EQ(0, pixelsOf(ZxHyperLink::kLinkColour));
    // The pointer is elsewhere: the next tick of the 100 ms timer ends the hover.
    PumpFor(400);
    EXPECT_FALSE(link.IsHovering());
    EXPECT_GT(pixelsOf(ZxHyperLink::kLinkColour), 20);
}

TEST(BrowserCommand, TheAddressTakesThePlaceOfThePlaceholder) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\Browser\\b.exe\" -nohome \"%1\"", "\"C:\\Browser\\b.exe\" -nohome  http://a.example/"},
        {"C:\\b.exe %1 -x", "C:\\b.exe  http://a.example/"},
        {"\"C:\\b.exe\" -url \"%1\" %1", "\"C:\\b.exe\" -url  http://a.example/"},
        {"C:\\b.exe", "C:\\b.exe http://a.example/"},
        {"", " http://a.example/"},
    };
    for (const auto& [command, expected] : cases)
        EXPECT_EQ(expected, ZxHyperLink::MakeBrowserCommand(command, "http://a.example/")) << command;
}

TEST(ShellErrorText, EveryCodeHasItsSentence) {
    const std::pair<int, const char*> cases[] = {
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {1, "Unknown Error (1) occurred."},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(text, ZxHyperLink::GetShellErrorText(code)) << code;
}
