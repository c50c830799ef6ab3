#include "engine/ReportLine.h"

std::string ToReportLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        if (c == '\r') continue;
        if (c == '\n')
            line += ' ';
        else if (static_cast<unsigned char>(c) == 0xFF)
            line += '\n';
        else
            line += c;
    }
    return line;
}
