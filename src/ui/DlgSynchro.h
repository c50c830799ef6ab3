#pragma once
// The progress window: starts its work (a synchronization of all pairs) once it is on the screen, shows
// each report line in its colour, drives the progress bar and turns the user's Cancel into a stop.
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>

#include "base/Resource.h"
#include "engine/StatusWindow.h"
#include "ui/Dialog.h"
#include "ui/HeaderDrawer.h"
#include "ui/RichEditCtrlReporter.h"

class CDlgSynchro : public ZxDialog, public IStatusWindow {
public:
    // Posted by the window to itself when it shows: starts the run.
    static constexpr UINT WM_START_RUN = WM_USER + 100;

    // `run` is started once, when the window first shows, and reports through the window.
    explicit CDlgSynchro(std::function<void(IStatusWindow&)> run, HWND parent = nullptr);
    ~CDlgSynchro() override;

    using IStatusWindow::ReportError;
    using IStatusWindow::ReportInfo;
    void ReportError(const std::string& text) override;
    void ReportInfo(const std::string& text) override;
    void ProcessMessages() override;
    void ShowProgress(int count) override;
    void HideProgress() override;
    void SetProgress(int position) override;
    // Asks in a message box over the window (Yes / No, No the default).
    bool ConfirmDeletions(const std::string& question) override;

    bool HadErrors() const { return m_hadErrors; }
    bool IsRunning() const { return m_running; }

    // How long every pumping report pauses the run (100 ms: it paces the run and keeps Outlook's
    // window live). Tests shorten it. Returns the previous value.
    static DWORD SetPumpPause(DWORD milliseconds);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void Run();
    void Paint();

    zx::unique_hicon m_smallIcon;
    std::function<void(IStatusWindow&)> m_run;
    CRichEditCtrlReporter m_report;
    bool m_hadErrors = false;
    bool m_running = false;
    bool m_abortRequested = false;
    HWND m_progress = nullptr;
    ZxDialogHeaderDrawer m_header;
    long m_lastProgressRedraw = 0;

    bool m_runPosted = false;
    zx::unique_hbitmap m_headerBitmap;
};
