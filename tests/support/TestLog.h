#pragma once
// A log of the test's own, in place of the add-in's log file, and the lines of a text file.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/LogFile.h"
#include "support/TempDir.h"

// Lines of a text file without their line ends.
inline std::vector<std::string> ReadLines(const std::string& path) {
    std::string bytes;
    std::vector<std::string> lines;
    if (!ReadWholeFile(path, bytes)) return lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A log file at a path of the test's choosing, with a one-line header and no time stamps.
class TestLog : public Error::ZxLogFileT<FreeThreadedModel> {
public:
    static constexpr const char* kHeader = "test log";
    explicit TestLog(std::string path) : m_path(std::move(path)) {}
    std::string GetFilePath() override { return m_path; }
    std::string GetHeader() override { return kHeader; }

    // The entries written since the log was opened.
    std::vector<std::string> Entries() const {
        std::vector<std::string> lines = ReadLines(m_path);
        EXPECT_FALSE(lines.empty() || lines[0] != kHeader) << "log header missing";
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }

private:
    std::string m_path;
};
