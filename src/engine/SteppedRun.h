#pragma once
// A synchronization of all pairs that runs beside the user on Outlook's own thread, cut into short steps.
//
// The engine is one long call, so it runs on a fiber of its own on Outlook's thread: at every report,
// progress step and scan batch it hands the thread back to Outlook's message loop once a step has used
// its time (StepMilliseconds), and a message to a window of its own takes it up again. No MAPI object
// ever leaves the thread it was made on, no second message loop runs (Outlook's own keyboard handling
// and modal loops stay in charge), and nothing waits: a step ends within its time plus one MAPI call.
// While input waits the next step comes only after it (a zero timer ranks below input and painting).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "config/AssocsContainer.h"
#include "engine/StatusWindow.h"

class CSteppedRun : public IStatusWindow {
public:
    struct Line {
        bool error;
        std::string text;
    };
    // Called on the thread's own fiber when the run has ended (not from inside it).
    using DoneHandler = std::function<void()>;

    // The window class of the window that exists while a run is under way.
    static constexpr const char* kWindowClass = "ZxMerrowlinkSteppedRun";
    static constexpr DWORD kDefaultStepMilliseconds = 25;

    CSteppedRun(std::string profileName, CAssocsContainer pairs, DoneHandler done);
    ~CSteppedRun() override;
    CSteppedRun(const CSteppedRun&) = delete;
    CSteppedRun& operator=(const CSteppedRun&) = delete;

    // Makes the fiber and the window and queues the first step; false (and a logged reason) when
    // the thread cannot take a fiber.
    bool Start();
    // Outlook is closing: the run is told to stop and is driven to its end here and now (the current
    // pair saves its state). Does not call the done handler.
    void StopNow();
    bool IsRunning() const { return m_fiber != nullptr && !m_finished; }
    bool HadErrors() const { return m_hadErrors; }
    const std::vector<Line>& Lines() const { return m_lines; }
    // The longest time one step kept the thread, in milliseconds (what the user may feel as a stall).
    double LongestStepMilliseconds() const { return m_longestStep; }
    int Steps() const { return m_steps; }

    // How long a step may run before it gives the thread back. Returns the previous value.
    static DWORD SetStepMilliseconds(DWORD milliseconds);

    using IStatusWindow::ReportError;
    using IStatusWindow::ReportInfo;
    void ReportError(const std::string& text) override;
    void ReportInfo(const std::string& text) override;
    void ProcessMessages() override;
    void ShowProgress(int count) override;
    void HideProgress() override;
    void SetProgress(int position) override;
    void GiveWay() override;

private:
    static void CALLBACK FiberMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // One step: into the fiber until it gives way or ends.
    void Step();
    void QueueStep();
    void Finish();

    std::string m_profileName;
    CAssocsContainer m_pairs;
    DoneHandler m_done;
    HWND m_window = nullptr;
    void* m_fiber = nullptr;
    void* m_home = nullptr; // the thread's own fiber
    bool m_convertedThread = false;
    bool m_finished = false;
    bool m_stopRequested = false;
    bool m_hadErrors = false;
    bool m_inStep = false;
    std::vector<Line> m_lines;
    LARGE_INTEGER m_stepStart{};
    double m_longestStep = 0;
    int m_steps = 0;
};
