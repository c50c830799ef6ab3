#pragma once
// The progress window without the window: every line goes to the log as the window writes it, nothing
// is shown and nothing paces the run, so that a measurement times the engine alone.
#include <string>
#include <vector>

#include "Measure.h"
#include "base/LogFile.h"
#include "engine/StatusWindow.h"

namespace bench {

class QuietStatusWindow : public IStatusWindow {
public:
    explicit QuietStatusWindow(Error::IZxLogFile* log) : m_log(log) {}

    using IStatusWindow::ReportError;
    using IStatusWindow::ReportInfo;
    void ReportError(const std::string& text) override {
        m_marks.push_back(m_clock.Milliseconds());
        m_errors.push_back(text);
        if (m_log) m_log->LogError(text);
    }
    void ReportInfo(const std::string& text) override {
        m_marks.push_back(m_clock.Milliseconds());
        ++m_infoLines;
        if (m_log) m_log->LogInfo(text);
    }
    void ProcessMessages() override {}
    void ShowProgress(int) override {}
    void HideProgress() override {}
    void SetProgress(int) override {}

    const std::vector<std::string>& Errors() const { return m_errors; }
    int InfoLines() const { return m_infoLines; }
    // When each line was reported, in milliseconds since the window was made: the steps of a pair lie
    // between its lines.
    const std::vector<double>& Marks() const { return m_marks; }

private:
    Stopwatch m_clock;
    std::vector<double> m_marks;
    Error::IZxLogFile* m_log;
    std::vector<std::string> m_errors;
    int m_infoLines = 0;
};

} // namespace bench
