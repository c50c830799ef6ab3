#include "engine/SteppedRun.h"

#include "base/LogFile.h"
#include "engine/SyncRun.h"

namespace {

DWORD g_stepMilliseconds = CSteppedRun::kDefaultStepMilliseconds;

constexpr UINT kStepMessage = WM_APP + 1;
constexpr UINT_PTR kStepTimer = 1;

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(&ThisModule), &module);
    return module;
}

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The header's inline form reads the TEB through an intrinsic that the compiler's bounds check takes
// for an array of size 0.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void* CurrentFiber() { return GetCurrentFiber(); }
#pragma GCC diagnostic pop

} // namespace

DWORD CSteppedRun::SetStepMilliseconds(DWORD milliseconds) {
    const DWORD previous = g_stepMilliseconds;
    g_stepMilliseconds = milliseconds;
    return previous;
}

CSteppedRun::CSteppedRun(std::string profileName, CAssocsContainer pairs, DoneHandler done)
    : m_profileName(std::move(profileName)), m_pairs(std::move(pairs)), m_done(std::move(done)) {}

CSteppedRun::~CSteppedRun() {
    if (IsRunning()) StopNow();
    if (m_window) {
        KillTimer(m_window, kStepTimer);
        DestroyWindow(m_window);
        UnregisterClassA(kWindowClass, ThisModule());
    }
    if (m_fiber) DeleteFiber(m_fiber);
    if (m_convertedThread) ConvertFiberToThread();
}

bool CSteppedRun::Start() {
    if (m_fiber) return false;
    if (IsThreadAFiber()) {
        m_home = CurrentFiber();
    } else {
        m_home = ConvertThreadToFiber(nullptr);
        m_convertedThread = m_home != nullptr;
    }
    if (!m_home) {
        GetLogFile().LogErrorFormat("Cannot run a synchronization beside Outlook (error %lu).", GetLastError());
        return false;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass); // already registered by an earlier run: fine
    m_window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
    // The fiber's stack holds the engine's calls; 1 MB as a thread's, reserved, not committed.
    m_fiber = m_window ? CreateFiberEx(64 * 1024, 1024 * 1024, 0, FiberMain, this) : nullptr;
    if (!m_fiber) {
        GetLogFile().LogErrorFormat("Cannot run a synchronization beside Outlook (error %lu).", GetLastError());
        return false;
    }
    SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    QueueStep();
    return true;
}

void CALLBACK CSteppedRun::FiberMain(void* parameter) {
    auto* self = static_cast<CSteppedRun*>(parameter);
    // Nothing may leave a fiber's first function: RunAllPairs reports every failure itself.
    try {
        RunAllPairs(self->m_profileName, self->m_pairs, *self);
    } catch (...) {
    }
    self->m_finished = true;
    for (;;) SwitchToFiber(self->m_home); // a finished fiber is never entered again
}

LRESULT CALLBACK CSteppedRun::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CSteppedRun*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && (message == kStepMessage || (message == WM_TIMER && wParam == kStepTimer))) {
        if (message == WM_TIMER) KillTimer(window, kStepTimer);
        self->Step();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void CSteppedRun::QueueStep() {
    // Waiting input and painting go first: a zero timer comes after them, a posted message before.
    if (GetQueueStatus(QS_INPUT | QS_PAINT) != 0)
        SetTimer(m_window, kStepTimer, 0, nullptr);
    else
        PostMessageA(m_window, kStepMessage, 0, 0);
}

void CSteppedRun::Step() {
    // A step never starts inside another (a call below the engine that pumped messages).
    if (m_inStep || m_finished || !m_fiber) return;
    m_inStep = true;
    QueryPerformanceCounter(&m_stepStart);
    SwitchToFiber(m_fiber);
    m_inStep = false;
    ++m_steps;
    const double took = MillisecondsSince(m_stepStart);
    if (took > m_longestStep) m_longestStep = took;
    if (m_finished)
        Finish();
    else
        QueueStep();
}

void CSteppedRun::Finish() {
    if (m_done) {
        const DoneHandler done = std::move(m_done);
        m_done = nullptr;
        done();
    }
}

void CSteppedRun::StopNow() {
    m_stopRequested = true;
    m_done = nullptr;
    while (m_fiber && !m_finished && CurrentFiber() != m_fiber) {
        m_inStep = true;
        SwitchToFiber(m_fiber);
        m_inStep = false;
    }
}

// On the run's fiber: back to Outlook's loop once this step has used its time.
void CSteppedRun::GiveWay() {
    if (CurrentFiber() == m_fiber && !m_stopRequested && MillisecondsSince(m_stepStart) >= g_stepMilliseconds)
        SwitchToFiber(m_home);
    if (m_stopRequested) {
        // Raised once: the run's closing report must go through.
        m_stopRequested = false;
        throw CAbortException();
    }
}

void CSteppedRun::ProcessMessages() { GiveWay(); }

void CSteppedRun::ReportError(const std::string& text) {
    m_hadErrors = true;
    m_lines.push_back({true, text});
    GetLogFile().LogError(text);
    GiveWay();
}

void CSteppedRun::ReportInfo(const std::string& text) {
    m_lines.push_back({false, text});
    GetLogFile().LogInfo(text);
    GiveWay();
}

void CSteppedRun::ShowProgress(int) { GiveWay(); }
void CSteppedRun::HideProgress() { GiveWay(); }
void CSteppedRun::SetProgress(int) { GiveWay(); }
