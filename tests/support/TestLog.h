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
    const std::string& Path() const { return m_path; }

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

// What the add-in writes to its log while a capture lives: a log of the test's own takes the place of
// the add-in's log file (the one log seam), and Text() is what it holds.
class LogCapture {
public:
    LogCapture() : m_log(m_folder / "capture.log"), m_previous(nullptr) {
        m_log.Open(true);
        m_previous = SetLogFileOverride(&m_log);
    }
    ~LogCapture() {
        SetLogFileOverride(m_previous);
        m_log.Close();
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Text() const {
        std::string bytes;
        ReadWholeFile(m_log.Path(), bytes);
        return bytes;
    }

private:
    TempDir m_folder;
    TestLog m_log;
    Error::IZxLogFile* m_previous;
};
