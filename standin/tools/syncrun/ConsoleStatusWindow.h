#pragma once
// The progress window's report on a console: every line is shown as the window's report control shows
// it and written to the log as the window writes it. Error lines start with "[error] " (always, so that
// the output reads the same on a terminal, in a pipe and in a file). No pacing: the window's 100 ms pause
// per line exists to keep Outlook responsive and has no purpose here. Ctrl+C is the Cancel button.
#include <cstdio>
#include <string>

#include "base/LogFile.h"
#include "engine/StatusWindow.h"

namespace syncrun {

class ConsoleStatusWindow : public IStatusWindow {
public:
    static constexpr const char* kErrorMark = "[error] ";

    // `log` may be null (no log could be opened); `out` receives the lines.
    ConsoleStatusWindow(Error::IZxLogFile* log, std::FILE* out);
    ~ConsoleStatusWindow() override;
    ConsoleStatusWindow(const ConsoleStatusWindow&) = delete;
    ConsoleStatusWindow& operator=(const ConsoleStatusWindow&) = delete;

    using IStatusWindow::ReportError;
    using IStatusWindow::ReportInfo;
    void ReportError(const std::string& text) override;
    void ReportInfo(const std::string& text) override;
    // Throws CAbortException once after Ctrl+C.
    void ProcessMessages() override;
    void ShowProgress(int count) override;
    void HideProgress() override;
    void SetProgress(int position) override;
    // Prints the question as "[question] <text>" and "[answer] yes" or "[answer] no"; the answer is the
    // one SetDeletionAnswer chose (no unless told otherwise).
    bool ConfirmDeletions(const std::string& question) override;
    void SetDeletionAnswer(bool yes) { m_deletionAnswer = yes; }

    bool HadErrors() const { return m_hadErrors; }

private:
    void Show(const std::string& mark, const std::string& text);

    Error::IZxLogFile* m_log;
    std::FILE* m_out;
    bool m_hadErrors = false;
    bool m_deletionAnswer = false;
};

} // namespace syncrun
