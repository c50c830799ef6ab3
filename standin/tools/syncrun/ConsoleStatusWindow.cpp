#include "ConsoleStatusWindow.h"

#include <windows.h>

#include <atomic>

#include "engine/ReportLine.h"

namespace syncrun {
namespace {

std::atomic<bool> g_cancelPressed{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    g_cancelPressed = true;
    return TRUE;
}

} // namespace

ConsoleStatusWindow::ConsoleStatusWindow(Error::IZxLogFile* log, std::FILE* out) : m_log(log), m_out(out) {
    g_cancelPressed = false;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

ConsoleStatusWindow::~ConsoleStatusWindow() { SetConsoleCtrlHandler(OnConsoleControl, FALSE); }

void ConsoleStatusWindow::Show(const std::string& mark, const std::string& text) {
    // The report control's line; a console line ends in LF alone.
    const std::string shown = mark + ToReportLine(text) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), m_out);
    std::fflush(m_out);
}

void ConsoleStatusWindow::ReportError(const std::string& text) {
    m_hadErrors = true;
    Show(kErrorMark, text);
    if (m_log) m_log->LogError(text);
    ProcessMessages();
}

void ConsoleStatusWindow::ReportInfo(const std::string& text) {
    Show(std::string(), text);
    if (m_log) m_log->LogInfo(text);
    ProcessMessages();
}

void ConsoleStatusWindow::ProcessMessages() {
    if (g_cancelPressed.exchange(false)) throw CAbortException();
}

void ConsoleStatusWindow::ShowProgress(int) { ProcessMessages(); }

void ConsoleStatusWindow::HideProgress() { ProcessMessages(); }

void ConsoleStatusWindow::SetProgress(int) {}

bool ConsoleStatusWindow::ConfirmDeletions(const std::string& question) {
    Show("[question] ", question);
    Show("[answer] ", m_deletionAnswer ? "yes" : "no");
    return m_deletionAnswer;
}

} // namespace syncrun
