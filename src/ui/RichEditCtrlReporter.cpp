#include "ui/RichEditCtrlReporter.h"

#include <richedit.h>

#include "base/StringTable.h"
#include "engine/ReportLine.h"
#include "ui/Dpi.h"

namespace {

HFONT MakeReportFont(UINT dpi) {
    LOGFONTA font{};
    font.lfHeight = ZxFontHeight(8, dpi);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynA(font.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

} // namespace

CRichEditCtrlReporter::CRichEditCtrlReporter() : m_font(MakeReportFont(ZxGetScreenDpi())), m_fontDpi(ZxGetScreenDpi()) {}

void CRichEditCtrlReporter::Attach(HWND control) {
    m_control = control;
    m_end = 0;
    // Eight points at the DPI the control is shown at.
    const UINT dpi = ZxGetWindowDpi(control);
    if (control && dpi != m_fontDpi) {
        m_font.reset(MakeReportFont(dpi));
        m_fontDpi = dpi;
    }
    if (m_control && m_font) SendMessageA(m_control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), TRUE);
}

void CRichEditCtrlReporter::AddErrorLine(const std::string& text) { AddLine(text, true); }
void CRichEditCtrlReporter::AddInfoLine(const std::string& text) { AddLine(text, false); }
void CRichEditCtrlReporter::AddErrorLine(unsigned stringId) { AddLine(ZxLoadString(stringId), true); }
void CRichEditCtrlReporter::AddInfoLine(unsigned stringId) { AddLine(ZxLoadString(stringId), false); }

void CRichEditCtrlReporter::AddLine(const std::string& text, bool error) {
    if (!m_control) return;
    const std::string line = ToReportLine(text) + "\r\n";

    // The line goes in with drawing held and is drawn once: a rich edit that draws while it takes the
    // selection, the colour and the text draws three times a line, which a long report feels.
    SendMessageA(m_control, WM_SETREDRAW, FALSE, 0);
    const auto redraw = zx::scope_exit([this] { SendMessageA(m_control, WM_SETREDRAW, TRUE, 0); });

    // A selection placed past the end falls at the end: the control may count a line break as one.
    CHARRANGE at{m_end, m_end};
    SendMessageA(m_control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&at));

    CHARFORMATA format{};
    format.cbSize = sizeof(format);
    if (error) SendMessageA(m_control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.dwEffects = 0;
    format.crTextColor = error ? kErrorColour : kInfoColour;
    SendMessageA(m_control, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));

    SendMessageA(m_control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    m_end += static_cast<long>(line.size());
}
