#include "ui/DlgSynchro.h"

#include <ctime>

#include "base/Errors.h"
#include "base/LogFile.h"
#include "base/StringTable.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "base/AppMessageBox.h"
#include "ui/Dpi.h"
#include "ui/ResourceSource.h"

namespace {

DWORD g_pumpPause = 100;

// The report's window class lives in the rich edit library. It is loaded once for the process and
// kept: a library that registered window classes is not unloaded while windows may still use them.
void LoadRichEdit() { static const zx::unique_hmodule library(LoadLibraryA("riched20.dll")); }

// Milliseconds of the C library's clock (CLOCKS_PER_SEC is 1000 here).
long ClockMilliseconds() { return static_cast<long>(std::clock() * 1000 / CLOCKS_PER_SEC); }

} // namespace

DWORD CDlgSynchro::SetPumpPause(DWORD milliseconds) {
    const DWORD previous = g_pumpPause;
    g_pumpPause = milliseconds;
    return previous;
}

CDlgSynchro::CDlgSynchro(std::function<void(IStatusWindow&)> run, HWND parent)
    : ZxDialog(IDD_SYNCHRO, parent),
      m_smallIcon(ZxLoadModuleIcon(IDI_SYNCHRO_SMALL, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON))),
      m_run(std::move(run)) {
    LoadRichEdit();
}

CDlgSynchro::~CDlgSynchro() = default;

BOOL CDlgSynchro::OnInitDialog() {
    SendMessageA(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));

    m_headerBitmap.reset(ZxLoadModuleBitmapForDpi(IDB_SYNCHRO_HEADER, ZxGetWindowDpi(GetHwnd())));
    RECT frame{};
    GetWindowRect(GetItem(IDC_SYNCHRO_HEADER), &frame);
    m_header.SetHeader(GetHwnd(), frame.bottom - frame.top, ZxLoadString(IDS_SYNC_IN_PROGRESS), m_headerBitmap.get(),
                       RGB(0xFF, 0xFF, 0xFF));

    m_report.Attach(GetItem(IDC_SYNCHRO_REPORT));
    m_progress = GetItem(IDC_SYNCHRO_PROGRESS);
    return TRUE;
}

INT_PTR CDlgSynchro::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(GetHwnd(), &paint);
            m_header.Draw(dc);
            EndPaint(GetHwnd(), &paint);
            return TRUE;
        }
        case WM_SHOWWINDOW:
            // The run starts once the window is on the screen, and only once.
            if (wParam && !m_runPosted) {
                m_runPosted = true;
                PostMessageA(GetHwnd(), WM_START_RUN, 0, 0);
            }
            return FALSE;
        case WM_START_RUN:
            Run();
            return TRUE;
        default:
            return ZxDialog::OnMessage(message, wParam, lParam);
    }
}

void CDlgSynchro::Run() {
    m_running = true;
    {
        const auto stopped = zx::scope_exit([this] { m_running = false; });
        if (m_run) m_run(*this);
    }
    if (!m_hadErrors) {
        EndDialog(IDOK);
        return;
    }
    SetDlgItemTextA(GetHwnd(), IDCANCEL, ZxLoadString(IDS_CLOSE).c_str());
}

void CDlgSynchro::OnOK() {
    // Enter reaches the hidden default button; the run must not be left behind by it.
    if (!m_running) EndDialog(IDOK);
}

void CDlgSynchro::OnCancel() {
    if (m_running)
        m_abortRequested = true;
    else
        EndDialog(IDCANCEL);
}

void CDlgSynchro::ReportError(const std::string& text) {
    m_hadErrors = true;
    m_report.AddErrorLine(text);
    GetLogFile().LogError(text);
    ProcessMessages();
}

void CDlgSynchro::ReportInfo(const std::string& text) {
    m_report.AddInfoLine(text);
    GetLogFile().LogInfo(text);
    ProcessMessages();
}

void CDlgSynchro::ProcessMessages() {
    MSG msg;
    bool quit = false;
    WPARAM quitCode = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to take: the thread's own loop must still see it.
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (!GetHwnd() || !IsDialogMessageA(GetHwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    if (m_abortRequested) {
        m_abortRequested = false;
        throw CAbortException();
    }
    Sleep(g_pumpPause);
}

void CDlgSynchro::ShowProgress(int count) {
    ShowWindow(m_progress, SW_SHOW);
    SendMessageA(m_progress, PBM_SETRANGE32, 0, count);
    ProcessMessages();
}

void CDlgSynchro::HideProgress() {
    ShowWindow(m_progress, SW_HIDE);
    ProcessMessages();
}

void CDlgSynchro::SetProgress(int position) {
    const long now = ClockMilliseconds();
    if (now - m_lastProgressRedraw < 500) return;
    m_lastProgressRedraw = now;
    SendMessageA(m_progress, PBM_SETPOS, position, 0);
    ProcessMessages();
}

bool CDlgSynchro::ConfirmDeletions(const std::string& question) {
    // Owned by this window, so that the user sees which run asks. A wrong yes cannot be taken back, so
    // No is the default button.
    return Error::ShowMessageBox(GetHwnd(), question.c_str(), kZxAppName, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) ==
           IDYES;
}
