#pragma once
// What a person would call an unfinished window, read from the real window: two controls that overlap,
// a control whose text does not fit it, a control that lies outside its window. Used by the window tests
// and the stand-in Outlook's layout check, at whatever DPI the screen has.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace standin {
namespace layout {

inline std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

inline std::string TextOf(HWND window) {
    const int n = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return text;
}

inline std::string Describe(HWND window) {
    const std::string text = TextOf(window);
    return ClassOf(window) + " " + std::to_string(GetDlgCtrlID(window)) + (text.empty() ? "" : " \"" + text + "\"");
}

inline std::vector<HWND> VisibleChildren(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child)) children.push_back(child);
    return children;
}

inline bool IsGroupBox(HWND window) {
    return ClassOf(window) == "Button" && (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// Windows that hold other controls by design (pages, tabs, frames and hosts of pages): they may lie under
// their siblings; what they hold is checked on its own.
inline bool IsContainer(HWND window) {
    const std::string cls = ClassOf(window);
    if (cls == "SysListView32" || cls == "SysTreeView32" || cls == "ComboBox") return false;
    return cls == "#32770" || cls == "SysTabControl32" || IsGroupBox(window) || GetWindow(window, GW_CHILD) != nullptr;
}

// The extent of `text` in the control's font: one line, or wrapped at `wrapWidth` when it is positive.
inline SIZE TextExtent(HWND control, const std::string& text, UINT format, int wrapWidth) {
    HDC dc = GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
              format | DT_CALCRECT | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

inline int ScaledToWindow(HWND window, int at96) {
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return MulDiv(at96, dpi, 96);
}

// The control's text fault, or empty.
inline std::string TextFault(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    const int width = client.right, height = client.bottom;
    const std::string cls = ClassOf(control);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const std::string text = TextOf(control);
    auto fault = [&](SIZE need, int roomX, int roomY) -> std::string {
        if (need.cx <= roomX && need.cy <= roomY) return std::string();
        return Describe(control) + ": its text needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) +
               ", it has " + std::to_string(roomX) + "x" + std::to_string(roomY);
    };
    if (cls == "Static" && !text.empty()) {
        const LONG type = style & SS_TYPEMASK;
        const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT)
            return fault(TextExtent(control, text, prefix | DT_EXPANDTABS, width), width, height);
        if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE)
            return fault(TextExtent(control, text, prefix | DT_EXPANDTABS, 0), width, height);
        return std::string();
    }
    if (cls == "Button" && !text.empty()) {
        const LONG type = style & BS_TYPEMASK;
        const SIZE need = TextExtent(control, text, 0, (style & BS_MULTILINE) ? width : 0);
        // A push button draws a frame and a focus rectangle around its text; a box or a circle goes
        // before the text of check boxes and radio buttons.
        const int frame = ScaledToWindow(control, 3), box = ScaledToWindow(control, 16);
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return fault(need, width - 2 * frame, height - 2 * frame);
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
            type == BS_3STATE || type == BS_AUTO3STATE)
            return fault(need, width - box, height);
        if (type == BS_GROUPBOX) return fault(need, width - 2 * box, height);
        return std::string();
    }
    if (cls == "Edit" && !(style & ES_MULTILINE) && !text.empty())
        return fault(TextExtent(control, text, DT_NOPREFIX, 0), width - ScaledToWindow(control, 4), height);
    if (cls == "SysListView32" && (style & LVS_TYPEMASK) == LVS_REPORT) {
        const HWND header = ListView_GetHeader(control);
        const int columns = header ? Header_GetItemCount(header) : 0;
        HIMAGELIST images = ListView_GetImageList(control, LVSIL_SMALL);
        int imageWidth = 0, imageHeight = 0;
        if (images) ImageList_GetIconSize(images, &imageWidth, &imageHeight);
        const int margin = ScaledToWindow(control, 12);
        for (int column = 0; column < columns; ++column) {
            const int columnWidth = ListView_GetColumnWidth(control, column);
            char caption[256] = {};
            LVCOLUMNA col{};
            col.mask = LVCF_TEXT;
            col.pszText = caption;
            col.cchTextMax = sizeof caption;
            ListView_GetColumn(control, column, &col);
            if (ListView_GetStringWidth(control, caption) + margin > columnWidth)
                return Describe(control) + ": the caption of column " + std::to_string(column) + " is cut";
            for (int row = 0; row < ListView_GetItemCount(control); ++row) {
                char cell[512] = {};
                ListView_GetItemText(control, row, column, cell, sizeof cell);
                const int need = ListView_GetStringWidth(control, cell) + margin + (column == 0 ? imageWidth : 0);
                if (need > columnWidth)
                    return Describe(control) + ": \"" + cell + "\" needs " + std::to_string(need) + " in column " +
                           std::to_string(column) + " of " + std::to_string(columnWidth);
            }
        }
    }
    return std::string();
}

inline void Check(HWND parent, std::vector<std::string>& faults) {
    RECT room{};
    GetClientRect(parent, &room);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&room), 2);
    const std::vector<HWND> children = VisibleChildren(parent);
    for (HWND child : children) {
        RECT r{};
        GetWindowRect(child, &r);
        if (r.left < room.left || r.top < room.top || r.right > room.right || r.bottom > room.bottom)
            faults.push_back(Describe(child) + " lies outside " + Describe(parent));
        if (const std::string fault = TextFault(child); !fault.empty()) faults.push_back(fault);
        if (IsContainer(child) && !IsGroupBox(child)) Check(child, faults);
    }
    for (size_t i = 0; i < children.size(); ++i) {
        if (IsContainer(children[i])) continue;
        for (size_t j = i + 1; j < children.size(); ++j) {
            if (IsContainer(children[j])) continue;
            RECT a{}, b{}, both{};
            GetWindowRect(children[i], &a);
            GetWindowRect(children[j], &b);
            if (IntersectRect(&both, &a, &b))
                faults.push_back(Describe(children[i]) + " overlaps " + Describe(children[j]));
        }
    }
}

} // namespace layout

// One sentence per fault of the window's visible controls (and of the pages it holds); none when it
// looks finished.
inline std::vector<std::string> FindLayoutFaults(HWND window) {
    std::vector<std::string> faults;
    if (window) layout::Check(window, faults);
    return faults;
}

} // namespace standin
