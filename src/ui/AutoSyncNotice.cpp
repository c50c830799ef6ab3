#include "ui/AutoSyncNotice.h"

#include "ui/Dpi.h"

namespace {

// The report's window class lives in the rich edit library, kept loaded for the process.
void LoadRichEdit() { static const zx::unique_hmodule library(LoadLibraryA("riched20.dll")); }

} // namespace

CAutoSyncReport::CAutoSyncReport(std::vector<CSteppedRun::Line> lines)
    : ZxDialog(kTemplateId, nullptr), m_lines(std::move(lines)) {
    LoadRichEdit();
}

BOOL CAutoSyncReport::OnInitDialog() {
    m_report.Attach(GetItem(IdReport));
    for (const CSteppedRun::Line& line : m_lines) {
        if (line.error)
            m_report.AddErrorLine(line.text);
        else
            m_report.AddInfoLine(line.text);
    }
    // The report opens to be read, not edited: the focus goes to Close, so the text is not shown selected
    // as an edit control given the focus first would have it.
    SetFocus(GetDlgItem(GetHwnd(), IDCANCEL));
    return FALSE;
}

CAutoSyncNotice::CAutoSyncNotice() : ZxDialog(kTemplateId, nullptr) {}

// The report window goes first (a member), then the notice's own window (the framework's base).
CAutoSyncNotice::~CAutoSyncNotice() = default;

void CAutoSyncNotice::Show(const std::string& text, std::vector<CSteppedRun::Line> lines) {
    m_text = text;
    m_lines = std::move(lines);
    Create();
    // The user's window keeps the focus: the notice is shown, never activated.
    ShowWindow(GetHwnd(), SW_SHOWNOACTIVATE);
}

BOOL CAutoSyncNotice::OnInitDialog() {
    SetDlgItemTextA(GetHwnd(), IdText, m_text.c_str());
    ShowWindow(GetItem(IdShowReport), m_lines.empty() ? SW_HIDE : SW_SHOW);
    // Bottom right of the work area, as notices go.
    RECT work{}, window{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(GetHwnd(), &window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    const int margin = ZxScale(8, ZxGetWindowDpi(GetHwnd()));
    SetWindowPos(GetHwnd(), HWND_TOPMOST, work.right - width - margin, work.bottom - height - margin, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
    return FALSE; // no focus given
}

INT_PTR CAutoSyncNotice::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IdShowReport && HIWORD(wParam) == BN_CLICKED) {
        if (!m_report) {
            m_report = std::make_unique<CAutoSyncReport>(m_lines);
            m_report->Create();
        }
        ShowWindow(m_report->GetHwnd(), SW_SHOW);
        SetForegroundWindow(m_report->GetHwnd());
        ShowWindow(GetHwnd(), SW_HIDE);
        return TRUE;
    }
    return ZxDialog::OnMessage(message, wParam, lParam);
}
