#include "engine/StatusWindow.h"

#include <cstdarg>

// Numbered texts missing from the string table report an empty line.

namespace {
// Ends the argument list on every path, also when formatting throws.
class VaListEnd {
public:
    explicit VaListEnd(va_list& args) : m_args(args) {}
    ~VaListEnd() { va_end(m_args); }
    VaListEnd(const VaListEnd&) = delete;
    VaListEnd& operator=(const VaListEnd&) = delete;

private:
    va_list& m_args;
};
} // namespace

// The text is formatted before it is reported: a report may raise the user's cancel.
#define ZX_FORMAT_VARIADIC(text, format, last) \
    std::string text;                          \
    {                                          \
        va_list args;                          \
        va_start(args, last);                  \
        VaListEnd end(args);                   \
        text = ZxFormatV((format), args);      \
    }

void IStatusWindow::ReportError(unsigned stringId) { ReportError(ZxLoadString(stringId)); }

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
