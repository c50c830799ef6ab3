#pragma once
// The progress window's report: a rich edit control to which every report is appended as one line of
// its own, errors in red and information in black.
#include <windows.h>
#include <string>

#include "base/Resource.h"

class CRichEditCtrlReporter {
public:
    // Makes the report's font, 8-point "MS Sans Serif".
    CRichEditCtrlReporter();
    CRichEditCtrlReporter(const CRichEditCtrlReporter&) = delete;
    CRichEditCtrlReporter& operator=(const CRichEditCtrlReporter&) = delete;

    // Binds the reporter to its control (a "RichEdit20A" window) and gives it the font.
    void Attach(HWND control);
    HWND GetHwnd() const { return m_control; }
    HFONT GetFont() const { return m_font.get(); }

    void AddErrorLine(const std::string& text);
    void AddInfoLine(const std::string& text);
    void AddErrorLine(unsigned stringId);
    void AddInfoLine(unsigned stringId);

    static constexpr COLORREF kErrorColour = RGB(255, 0, 0);
    static constexpr COLORREF kInfoColour = RGB(0, 0, 0);

private:
    void AddLine(const std::string& text, bool error);

    HWND m_control = nullptr;
    zx::unique_hfont m_font;
    UINT m_fontDpi = 0; // the DPI m_font was made for
    long m_end = 0;
};
