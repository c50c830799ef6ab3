#pragma once
// The guard of every function that Outlook, COM or Windows calls into, in the manner of WIL's
// CATCH_RETURN: no exception leaves the add-in. What the body throws becomes the entry point's result,
// a log line where the entry point logs, and a box:
//   Error::ZxException  -> logged with LogException (entry points that log), then its error box;
//   Error::ZxComError   -> "<description> - <error message>" in the application's message box, at the
//                          entry points that call the Outlook object model (elsewhere: as anything else);
//   anything else       -> the entry point's fixed sentence, logged where it logs, in the application's box.
#include <windows.h>

#include <type_traits>
#include <utility>

namespace Error {

// The caption of the add-in's own message boxes.
inline constexpr char kApplicationName[] = "Orvanta Merrowlink Addin";

// The application's message box: caption kApplicationName, no owner; by default OK with the
// exclamation icon. Goes through the message box seam (SetMessageBoxHandler).
int ShowApplicationMessageBox(const char* text, unsigned type = MB_OK | MB_ICONEXCLAMATION);

// What one kind of entry point does with what it catches.
struct EntryPoint {
    const char* unexpectedText; // shown (and logged, with `logs`) for an exception outside the family
    bool logs; // the two commands that start user work write what they catch to the log
    bool showsComErrors; // a COM error is shown with its own text (else it counts as anything else)
    unsigned comErrorIcon; // icon of the box of a COM error
    HRESULT failed; // what an HRESULT entry point answers after a failure
};

// The entry points of the add-in and what they do (Outlook keeps the add-in loaded after each).
// Add-in connection and start-up completion.
inline constexpr EntryPoint kAddinConnection{"Failed to load Orvanta Merrowlink Addin.", false, true,
                                             MB_ICONEXCLAMATION, S_OK};
// Explorer and explorers event sinks, controller set-up.
inline constexpr EntryPoint kControllerSetup{"Failed to initialize Orvanta Merrowlink Addin.", false, true,
                                             MB_ICONERROR, S_OK};
// Synchronize and Options commands of the ribbon and the toolbar.
inline constexpr EntryPoint kCommand{"Unexpected exception!", true, false, MB_ICONEXCLAMATION, S_OK};
// The options-pages event of the application sink.
inline constexpr EntryPoint kOptionsPagesEvent{"Unhandled exception!", false, true, MB_ICONEXCLAMATION, S_OK};
// The options page's handlers (creating its window, Add, Remove).
inline constexpr EntryPoint kOptionsPage{"Unhandled exception!", false, false, MB_ICONEXCLAMATION, S_OK};
// Message dispatch of the add-in's dialogs.
inline constexpr EntryPoint kZxWindow{"Unhandled exception in Zx window.", false, false, MB_ICONEXCLAMATION, S_OK};

// Reports the exception being handled as `entry` says; call it only inside a catch block. Never throws.
void ReportCaughtException(const EntryPoint& entry) noexcept;

// Runs `body`, which returns an HRESULT or nothing (S_OK). A throw is reported and answered with
// entry.failed.
template <class Body>
[[nodiscard]] HRESULT GuardEntryPoint(const EntryPoint& entry, Body&& body) noexcept {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Body>>) {
            std::forward<Body>(body)();
            return S_OK;
        } else {
            return std::forward<Body>(body)();
        }
    } catch (...) {
        ReportCaughtException(entry);
        return entry.failed;
    }
}

// The same for entry points of other result types (a dialog procedure, a window procedure): a throw is
// reported and answered with `failed`.
template <class Result, class Body>
[[nodiscard]] Result GuardEntryPointOr(const EntryPoint& entry, Result failed, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ReportCaughtException(entry);
        return failed;
    }
}

} // namespace Error
