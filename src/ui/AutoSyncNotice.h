#pragma once
// What an automatic synchronization has to tell the user, without taking the focus from what the user
// is doing: a small window in the corner of the screen, shown without activation. When the run left a
// report, "Show report" opens it (the run's lines, errors in red) in a window of its own.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/SteppedRun.h"
#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/RichEditCtrlReporter.h"

class CAutoSyncReport : public ZxDialog {
public:
    static constexpr UINT kTemplateId = IDD_AUTOSYNC_REPORT;
    enum Control : int { IdReport = IDC_AUTOSYNC_REPORT };
    explicit CAutoSyncReport(std::vector<CSteppedRun::Line> lines);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { ShowWindow(GetHwnd(), SW_HIDE); }
    void OnCancel() override { ShowWindow(GetHwnd(), SW_HIDE); }

private:
    std::vector<CSteppedRun::Line> m_lines;
    CRichEditCtrlReporter m_report;
};

class CAutoSyncNotice : public ZxDialog {
public:
    static constexpr UINT kTemplateId = IDD_AUTOSYNC_NOTICE;
    enum Control : int { IdText = IDC_AUTOSYNC_NOTICE_TEXT, IdShowReport = IDC_AUTOSYNC_SHOW_REPORT };

    CAutoSyncNotice();
    ~CAutoSyncNotice() override;

    // Shows `text` in the corner without activating anything; with report lines, "Show report" opens them.
    // Throws ZxException when the window cannot be made.
    void Show(const std::string& text, std::vector<CSteppedRun::Line> lines);

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override { ShowWindow(GetHwnd(), SW_HIDE); }
    void OnCancel() override { ShowWindow(GetHwnd(), SW_HIDE); }

private:
    std::string m_text;
    std::vector<CSteppedRun::Line> m_lines;
    std::unique_ptr<CAutoSyncReport> m_report;
};
