#pragma once
// The guard of every function that Outlook, COM or Windows calls into, in the manner of WIL's
// CATCH_RETURN: no exception leaves the add-in. What the body throws becomes the entry point's result,
// a log line where the entry point logs, and a box where it shows one:
//   Error::ZxException  -> logged with LogException (entry points that log), then its error box;
//   Error::ZxComError   -> "<description> - <error message>" in the application's message box, at the
//                          entry points that call the Outlook object model (elsewhere: as anything else);
//   anything else       -> the entry point's fixed sentence, logged where it logs, in the application's box.
// Each kind of entry point is one constant below; its sentence is written nowhere else.
#include <windows.h>

#include <type_traits>
#include <utility>

namespace Error {

// What one kind of entry point does with what it catches.
struct EntryPoint {
    // Shown (and logged, with `logs`) for an exception outside the family; none: not shown.
    const char* unexpectedText = nullptr;
    bool showsErrorBox = true; // a ZxException is shown in its error box
    bool logs = false; // the two commands that start user work write what they catch to the log
    bool showsComErrors = false; // a COM error is shown with its own text (else it counts as anything else)
    unsigned comErrorIcon = MB_ICONEXCLAMATION; // icon of the box of a COM error
    HRESULT failed = S_OK; // what an HRESULT entry point answers after a failure
};

// The entry points of the add-in and what they do (Outlook keeps the add-in loaded after each).
// Add-in connection and start-up completion.
inline constexpr EntryPoint kAddinConnection{.unexpectedText = "Failed to load Orvanta Merrowlink Addin.",
                                             .showsComErrors = true};
// Explorer and explorers event sinks, controller set-up.
inline constexpr EntryPoint kControllerSetup{.unexpectedText = "Failed to initialize Orvanta Merrowlink Addin.",
                                             .showsComErrors = true,
                                             .comErrorIcon = MB_ICONERROR};
// Synchronize and Options commands of the ribbon and the toolbar.
inline constexpr EntryPoint kCommand{.unexpectedText = "Unexpected exception!", .logs = true};
// The options-pages event of the application sink.
inline constexpr EntryPoint kOptionsPagesEvent{.unexpectedText = "Unhandled exception!", .showsComErrors = true};
// The options page's handlers (creating its window, Add, Remove, Apply).
inline constexpr EntryPoint kOptionsPage{.unexpectedText = "Unhandled exception!"};
// Message dispatch of the add-in's windows (dialogs, the hyperlink control).
inline constexpr EntryPoint kZxWindow{.unexpectedText = "Unhandled exception in Zx window."};
// Registration and unregistration of the module: the error box, then E_FAIL; regsvr32 reports the
// failure of anything else.
inline constexpr EntryPoint kRegistration{.failed = E_FAIL};
// Calls whose failure only their result tells, as COM and Outlook read it (class objects, the unload
// check, the ribbon markup, event dispatch and clean-up at disconnection): nothing is shown.
inline constexpr EntryPoint kResultOnly{.showsErrorBox = false, .failed = E_UNEXPECTED};

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

// The same for entry points of other result types (a dialog procedure, a window procedure) or of
// another answer after a failure: a throw is reported and answered with `failed`.
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
