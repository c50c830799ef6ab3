#include "ui/HyperLink.h"

#include <commctrl.h>
#include <shellapi.h>

#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "base/StringTable.h"
#include "base/AppMessageBox.h"

namespace {

const UINT_PTR kSubclassId = 0x5A48; // "ZH"

HFONT CopyFont(HFONT source, bool underline) {
    LOGFONTA font{};
    if (!source || GetObjectA(source, sizeof(font), &font) == 0) return nullptr;
    font.lfUnderline = underline ? TRUE : FALSE;
    return CreateFontIndirectA(&font);
}

// Reads the default value of a key under HKEY_CLASSES_ROOT, at most 260 characters.
bool ReadClassesRootDefault(const std::string& key, std::string& value) {
    zx::unique_hkey opened;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, opened.put()) != ERROR_SUCCESS) return false;
    char buffer[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    if (RegQueryValueExA(opened.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    buffer[MAX_PATH] = '\0';
    value.assign(buffer, strnlen(buffer, size));
    return true;
}

} // namespace

ZxHyperLink::ZxHyperLink() : m_cursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649) /* IDC_HAND */)) {}

ZxHyperLink::~ZxHyperLink() { Unsubclass(); }

void ZxHyperLink::Unsubclass() {
    if (!m_hwnd) return;
    KillTimer(m_hwnd, m_timer);
    RemoveWindowSubclass(m_hwnd, SubclassProc, kSubclassId);
    if (IsWindow(m_hwnd) && m_normalFont)
        SendMessageA(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_normalFont.get()), FALSE);
    m_tooltip.reset();
    m_hwnd = nullptr;
}

void ZxHyperLink::SubclassWindow(HWND control) {
    Unsubclass();
    if (!control || !SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return;
    m_hwnd = control;

    GetClientRect(m_hwnd, &m_client);
    char className[16] = {};
    GetClassNameA(m_hwnd, className, sizeof(className));
    if (lstrcmpiA(className, "static") == 0)
        SetWindowLongPtrA(m_hwnd, GWL_STYLE, GetWindowLongPtrA(m_hwnd, GWL_STYLE) | SS_NOTIFY);

    const int length = GetWindowTextLengthA(m_hwnd);
    m_text.assign(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(m_hwnd, m_text.data(), length + 1);
    m_text.resize(static_cast<size_t>(length));
    if (m_text.empty()) {
        m_text = m_url;
        SetWindowTextA(m_hwnd, m_text.c_str());
    } else if (m_text.find("://") == std::string::npos) {
        m_url = "http://" + m_text;
    } else if (m_url.empty()) {
        m_url = m_text;
    }

    HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_hwnd, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!font) font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    m_normalFont.reset(CopyFont(font, false));
    m_underlineFont.reset(CopyFont(font, true));

    PositionWindow();
    m_tooltip.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(m_hwnd), nullptr, nullptr,
                                    nullptr));
    if (m_tooltip) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = m_hwnd;
        tool.uId = 1;
        GetClientRect(m_hwnd, &tool.rect);
        std::string text = m_tooltipText.empty() ? m_url : m_tooltipText;
        tool.lpszText = text.data();
        SendMessageA(m_tooltip.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageA(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_underlineFont.get()), FALSE);
}

void ZxHyperLink::SetURL(const std::string& url, const std::string& tooltip) {
    m_url = url;
    m_tooltipText = tooltip;
    if (!m_hwnd) return;
    PositionWindow();
    UpdateTooltip();
}

void ZxHyperLink::UpdateTooltip() {
    if (!m_tooltip) return;
    std::string text = m_tooltipText.empty() ? m_url : m_tooltipText;
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = m_hwnd;
    tool.uId = 1;
    GetClientRect(m_hwnd, &tool.rect);
    tool.lpszText = text.data();
    SendMessageA(m_tooltip.get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(m_tooltip.get(), TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void ZxHyperLink::PositionWindow() {
    if (!m_hwnd) return;
    HWND parent = GetParent(m_hwnd);
    RECT window{};
    GetWindowRect(m_hwnd, &window);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
    RECT client{};
    GetClientRect(m_hwnd, &client);
    // The frame around the text stays as it is.
    const int frameX = (window.right - window.left) - (client.right - client.left);
    const int frameY = (window.bottom - window.top) - (client.bottom - client.top);

    SIZE extent{0, 0};
    {
        const zx::unique_window_dc dc(m_hwnd);
        const zx::select_object_scope font(dc.get(), m_underlineFont.get());
        GetTextExtentPoint32A(dc.get(), m_text.c_str(), static_cast<int>(m_text.size()), &extent);
    }
    const int width = extent.cx + frameX;
    const int height = extent.cy + frameY;

    const LONG_PTR style = GetWindowLongPtrA(m_hwnd, GWL_STYLE);
    const LONG_PTR align = style & SS_TYPEMASK;
    int left = window.left;
    if (align == SS_CENTER)
        left = window.left + ((window.right - window.left) - width) / 2;
    else if (align == SS_RIGHT)
        left = window.right - width;
    int top = window.top;
    if (style & SS_CENTERIMAGE) top = window.top + ((window.bottom - window.top) - height) / 2;

    SetWindowPos(m_hwnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(m_hwnd, &m_client);
}

void ZxHyperLink::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hwnd, &paint);
    const zx::select_object_scope font(dc, m_underlineFont.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, m_hover ? m_hoverColour : m_linkColour);
    RECT client = m_client;
    DrawTextA(dc, m_text.c_str(), static_cast<int>(m_text.size()), &client, DT_WORDBREAK | DT_EXPANDTABS);
    EndPaint(m_hwnd, &paint);
}

void ZxHyperLink::OnClick() {
    m_hover = false;
    const int code = GotoURL(m_url, SW_SHOW);
    if (code > 32) {
        InvalidateRect(m_hwnd, nullptr, TRUE);
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    ZxAppMessageBox("Unable to open hyperlink:\n\n" + GetShellErrorText(code), MB_OK | MB_ICONEXCLAMATION);
}

int ZxHyperLink::GotoURL(const std::string& address, int showCommand) {
    const int code = static_cast<int>(
        reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, showCommand)));
    if (code > 32) return code;

    std::string kind;
    std::string command;
    if (!ReadClassesRootDefault(".htm", kind) || !ReadClassesRootDefault(kind + "\\shell\\open\\command", command))
        return code;
    command = MakeBrowserCommand(command, address);
    return static_cast<int>(WinExec(command.c_str(), static_cast<UINT>(showCommand)));
}

std::string ZxHyperLink::MakeBrowserCommand(const std::string& openCommand, const std::string& address) {
    std::string command = openCommand;
    size_t cut = command.find("\"%1\"");
    if (cut == std::string::npos) cut = command.find("%1");
    if (cut != std::string::npos) command.resize(cut);
    return command + ' ' + address;
}

std::string ZxHyperLink::GetShellErrorText(int code) {
    switch (code) {
        case 0:
            return "The operating system is out\nof memory or resources.";
        case SE_ERR_FNF:
            return "The specified file was not found.";
        case SE_ERR_PNF:
            return "The specified path was not found.";
        case SE_ERR_ACCESSDENIED:
            return "The operating system denied\naccess to the specified file.";
        case SE_ERR_OOM:
            return "There was not enough memory to complete the operation.";
        case ERROR_BAD_FORMAT:
            return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        case SE_ERR_SHARE:
            return "A sharing violation occurred. ";
        case SE_ERR_ASSOCINCOMPLETE:
            return "The filename association is\nincomplete or invalid.";
        case SE_ERR_DDETIMEOUT:
            return "The DDE transaction could not\nbe completed because the request timed out.";
        case SE_ERR_DDEFAIL:
            return "The DDE transaction failed.";
        case SE_ERR_DDEBUSY:
            return "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
        case SE_ERR_NOASSOC:
            return "There is no application associated\nwith the given filename extension.";
        case SE_ERR_DLLNOTFOUND:
            return "The specified dynamic-link library was not found.";
        default:
            return ZxFormat("Unknown Error (%d) occurred.", code);
    }
}

LRESULT CALLBACK ZxHyperLink::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR self) {
    ZxHyperLink* link = reinterpret_cast<ZxHyperLink*>(self);
    bool handled = false;
    LRESULT result = 0;
    (void)Error::GuardEntryPoint(Error::kZxWindow, [&] {
        result = link->OnMessage(message, wParam, lParam);
        handled = true;
    });
    // After a failure the control's own procedure answers the message.
    return handled ? result : DefSubclassProc(window, message, wParam, lParam);
}

LRESULT ZxHyperLink::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_SETCURSOR:
            if (m_cursor) {
                SetCursor(m_cursor);
                return TRUE;
            }
            break;
        case WM_MOUSEMOVE:
            if (!m_hover) {
                m_hover = true;
                InvalidateRect(m_hwnd, nullptr, TRUE);
                // The parent repaints what lies under the transparent text.
                RECT area{};
                GetWindowRect(m_hwnd, &area);
                HWND parent = GetParent(m_hwnd);
                MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
                InvalidateRect(parent, &area, TRUE);
                SetTimer(m_hwnd, m_timer, 100, nullptr);
            }
            break;
        case WM_TIMER:
            if (wParam == m_timer) {
                POINT pointer{};
                GetCursorPos(&pointer);
                ScreenToClient(m_hwnd, &pointer);
                if (!PtInRect(&m_client, pointer)) {
                    m_hover = false;
                    KillTimer(m_hwnd, m_timer);
                    InvalidateRect(m_hwnd, nullptr, TRUE);
                }
                return 0;
            }
            break;
        case WM_LBUTTONUP: {
            const LRESULT result = DefSubclassProc(m_hwnd, message, wParam, lParam);
            OnClick();
            return result;
        }
        case WM_NCDESTROY: {
            HWND window = m_hwnd;
            KillTimer(window, m_timer);
            RemoveWindowSubclass(window, SubclassProc, kSubclassId);
            m_tooltip.reset();
            m_hwnd = nullptr;
            return DefSubclassProc(window, message, wParam, lParam);
        }
        default:
            break;
    }
    return DefSubclassProc(m_hwnd, message, wParam, lParam);
}
