// The report an automatic run's notice opens: every line of the run, errors in red, and a window that
// opens to be read (the focus on Close, no text shown selected).
#include "UiTestSupport.h"

#include <richedit.h>

#include "ui/AutoSyncNotice.h"

namespace {

std::string ReportText(HWND control) {
    const int length = GetWindowTextLengthA(control);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

} // namespace

TEST(AutoSyncReportTest, OpensWithEveryLineAndNothingSelected) {
    const std::vector<CSteppedRun::Line> lines = {
        {false, "Synchronization of folders: 'Personal Folders\\Calendar' with 'Mailbox - Ann Smith\\Calendar'"},
        {true, "Cannot open folder 'Mailbox - Ann Smith\\Old Tasks'."},
    };
    CAutoSyncReport report(lines);
    report.Create();
    const HWND window = report.GetHwnd();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    const HWND control = GetDlgItem(window, CAutoSyncReport::IdReport);
    const std::string text = ReportText(control);
    for (const CSteppedRun::Line& line : lines) EXPECT_NE(text.find(line.text), std::string::npos) << text;

    CHARRANGE selection{-1, -1};
    SendMessageA(control, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    EXPECT_EQ(selection.cpMin, selection.cpMax) << "the report's text is shown selected";
    EXPECT_EQ(GetFocus(), GetDlgItem(window, IDCANCEL));
    DestroyWindow(window);
}
