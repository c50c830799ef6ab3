#pragma once
// Runs the built syncrun.exe as a child process, as a user or a script would, and collects what it
// printed and its exit code.
#include <windows.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

struct SyncrunOutcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out; // standard output
    std::string err; // standard error
};

// One argument quoted for the Windows command line (backslashes doubled only before a quote).
inline std::string QuoteArgument(const std::string& arg) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

class InheritedFile {
public:
    explicit InheritedFile(const std::string& path) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        m_handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~InheritedFile() { Close(); }
    InheritedFile(const InheritedFile&) = delete;
    InheritedFile& operator=(const InheritedFile&) = delete;
    HANDLE Get() const { return m_handle; }
    void Close() {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// `scratch` holds the captured output files.
inline SyncrunOutcome RunSyncrun(const std::vector<std::string>& args, const TempDir& scratch) {
    SyncrunOutcome outcome;
    std::string command = QuoteArgument(SYNCRUN_EXE);
    for (const std::string& a : args) command += " " + QuoteArgument(a);
    const std::string outPath = scratch / "syncrun.out", errPath = scratch / "syncrun.err";
    {
        InheritedFile out(outPath), err(errPath);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out.Get();
        startup.hStdError = err.Get();
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
            return outcome;
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    ReadWholeFile(outPath, outcome.out);
    ReadWholeFile(errPath, outcome.err);
    return outcome;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
