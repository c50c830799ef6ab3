#pragma once
// How a report text becomes one line of the progress report: the progress window and the console
// runner show the same line.
#include <string>

// The text as one report line, without line end: every line feed becomes a space, every carriage
// return goes, and every byte 0xFF becomes a line feed (the one way a text asks for a break of its own).
// The caller appends its line end (the progress window "\r\n").
std::string ToReportLine(const std::string& text);
