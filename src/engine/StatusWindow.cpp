#include "engine/StatusWindow.h"

#include <cstdarg>

// Numbered texts missing from the string table report an empty line.

void IStatusWindow::ReportError(unsigned stringId) { ReportError(ZxLoadString(stringId)); }

void IStatusWindow::ReportInfo(unsigned stringId) { ReportInfo(ZxLoadString(stringId)); }

void IStatusWindow::ReportInfoFormat(unsigned stringId, ...) {
    const std::string format = ZxLoadString(stringId);
    va_list args;
    va_start(args, stringId);
    std::string text;
    try {
        text = ZxFormatV(format.c_str(), args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    ReportInfo(text);
}

void IStatusWindow::ReportInfoFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text;
    try {
        text = ZxFormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    ReportInfo(text);
}

void IStatusWindow::ReportErrorFormat(unsigned stringId, ...) {
    const std::string format = ZxLoadString(stringId);
    va_list args;
    va_start(args, stringId);
    std::string text;
    try {
        text = ZxFormatV(format.c_str(), args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    ReportError(text);
}

void IStatusWindow::ReportErrorFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text;
    try {
        text = ZxFormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    ReportError(text);
}
