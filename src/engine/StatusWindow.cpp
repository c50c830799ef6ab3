#include "engine/StatusWindow.h"

#include <cstdarg>

#include "base/Resource.h"

// Numbered texts missing from the string table report an empty line.

// The text is formatted before it is reported: a report may raise the user's cancel. The argument list
// ends on every path, also when formatting throws.
#define ZX_FORMAT_VARIADIC(text, format, last)            \
    std::string text;                                     \
    {                                                     \
        va_list args;                                     \
        va_start(args, last);                             \
        auto end = zx::scope_exit([&] { va_end(args); }); \
        text = ZxFormatV((format), args);                 \
    }

void IStatusWindow::ReportError(unsigned stringId) { ReportError(ZxLoadString(stringId)); }

bool IStatusWindow::ConfirmDeletions(const std::string&) { return false; }

void IStatusWindow::ReportInfo(unsigned stringId) { ReportInfo(ZxLoadString(stringId)); }

void IStatusWindow::ReportInfoFormat(unsigned stringId, ...) {
    const std::string format = ZxLoadString(stringId);
    ZX_FORMAT_VARIADIC(text, format.c_str(), stringId)
    ReportInfo(text);
}

void IStatusWindow::ReportInfoFormat(const char* format, ...) {
    ZX_FORMAT_VARIADIC(text, format, format)
    ReportInfo(text);
}

void IStatusWindow::ReportErrorFormat(unsigned stringId, ...) {
    const std::string format = ZxLoadString(stringId);
    ZX_FORMAT_VARIADIC(text, format.c_str(), stringId)
    ReportError(text);
}

void IStatusWindow::ReportErrorFormat(const char* format, ...) {
    ZX_FORMAT_VARIADIC(text, format, format)
    ReportError(text);
}
