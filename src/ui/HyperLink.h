#pragma once
// A static text control that behaves as a web link: underlined, coloured, a hand cursor, a tooltip
// with its address, and a click that opens the address.
#include <windows.h>
#include <string>

#include "base/Resource.h"

class ZxHyperLink {
public:
    ZxHyperLink();
    virtual ~ZxHyperLink();
    ZxHyperLink(const ZxHyperLink&) = delete;
    ZxHyperLink& operator=(const ZxHyperLink&) = delete;

    // Takes over an existing static control (subclassing) and prepares it: the click notification, the
    // address from its text when none was set, the fonts, its size, the tooltip.
    void SubclassWindow(HWND control);
    // The address; the tooltip shows `tooltip`, or the address when it is empty. Resizes the control
    // when it exists.
    void SetURL(const std::string& url, const std::string& tooltip = std::string());
    const std::string& GetURL() const { return m_url; }
    HWND GetHwnd() const { return m_hwnd; }
    bool IsHovering() const { return m_hover; }

    // Opens `address`; returns the shell's result code (above 32 on success).
    virtual int GotoURL(const std::string& address, int showCommand);

    // The browser command for `address` from the ".htm" open command: cut at the placeholder "%1"
    // (quoted, else bare; the whole command when neither occurs), then a space and the address.
    static std::string MakeBrowserCommand(const std::string& openCommand, const std::string& address);

    // The sentence for a shell result code of 32 or below.
    static std::string GetShellErrorText(int code);

    static constexpr COLORREF kLinkColour = RGB(0x00, 0x42, 0xFF);
    static constexpr COLORREF kHoverColour = RGB(0xB2, 0x20, 0x26);
    static constexpr UINT_PTR kHoverTimer = 100;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void PositionWindow();
    void UpdateTooltip();
    void Paint();
    void OnClick();
    void Unsubclass();

    std::string m_url;
    std::string m_tooltipText;
    COLORREF m_linkColour = kLinkColour;
    COLORREF m_hoverColour = kHoverColour;
    bool m_hover = false;
    zx::unique_hfont m_normalFont;
    zx::unique_hfont m_underlineFont;
    zx::unique_hwnd m_tooltip;
    HCURSOR m_cursor = nullptr;
    UINT_PTR m_timer = kHoverTimer;
    RECT m_client{};
    std::string m_text;
    HWND m_hwnd = nullptr;
};
