#pragma once
// The add-in's log file: one header, then one line per entry ("<time stamp>Info: <text>" or
// "<time stamp>Error: <text>"), every entry flushed at once. Reached through GetLogFile().
#include <windows.h>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <ext/stdio_filebuf.h>

#include "base/Errors.h"
#include "base/RefCounted.h"
#include "base/Resource.h"
#include "base/StringTable.h"

// Member functions count `this` as the first argument.
#define ZX_LOG_PRINTF(fmt, first) ZX_PRINTF_FORMAT(fmt, first)

namespace Error {

class IZxLogFile {
public:
    virtual bool LogInfo(unsigned stringId) = 0;
    virtual bool LogInfo(const std::string& text) = 0;
    virtual bool LogError(unsigned stringId) = 0;
    virtual bool LogError(const std::string& text) = 0;
    virtual ~IZxLogFile() = default;
    virtual bool Open(bool truncate) = 0;
    virtual void Close() = 0;
    virtual std::string GetFilePath() = 0;
    virtual std::string GetHeader() = 0;
    virtual std::string GetTimestamp() = 0;
    virtual std::string GetInfoPrefix() = 0;
    virtual std::string GetErrorPrefix() = 0;
    // One information entry per non-empty piece between carriage returns and line feeds.
    virtual void LogInfoLines(const std::string& text) = 0;
    // The format comes from the string table or the program, never from data: pass data through "%s".
    virtual void LogInfoFormat(unsigned formatId, ...) = 0;
    ZX_LOG_PRINTF(2, 3) virtual void LogInfoFormat(const char* format, ...) = 0;
    virtual void LogErrorFormat(unsigned formatId, ...) = 0;
    ZX_LOG_PRINTF(2, 3) virtual void LogErrorFormat(const char* format, ...) = 0;
    // "<text> <context> module: <file>, line: <line>" as an error entry (context may be null).
    virtual void LogException(const ZxException& e, const char* context) = 0;
    // One entry; the caller holds the lock. False when the file is not open or the write failed.
    virtual bool WriteInfoLine(const std::string& text) = 0;
    virtual bool WriteErrorLine(const std::string& text) = 0;
    virtual std::string StripLineBreaks(const std::string& text) = 0;
};

// Locking, opening, line layout and formatting; the product supplies path, header and time stamp.
// Instantiated for FreeThreadedModel only (LogFile.cpp).
template <class ThreadModel>
class ZxLogFileT : public IZxLogFile {
public:
    ZxLogFileT();
    ~ZxLogFileT() override;
    ZxLogFileT(const ZxLogFileT&) = delete;
    ZxLogFileT& operator=(const ZxLogFileT&) = delete;

    bool LogInfo(unsigned stringId) override;
    bool LogInfo(const std::string& text) override;
    bool LogError(unsigned stringId) override;
    bool LogError(const std::string& text) override;
    bool Open(bool truncate) override;
    void Close() override;
    std::string GetTimestamp() override { return std::string(); }
    std::string GetInfoPrefix() override { return "Info: "; }
    std::string GetErrorPrefix() override { return "Error: "; }
    void LogInfoLines(const std::string& text) override;
    void LogInfoFormat(unsigned formatId, ...) override;
    ZX_LOG_PRINTF(2, 3) void LogInfoFormat(const char* format, ...) override;
    void LogErrorFormat(unsigned formatId, ...) override;
    ZX_LOG_PRINTF(2, 3) void LogErrorFormat(const char* format, ...) override;
    void LogException(const ZxException& e, const char* context) override;
    bool WriteInfoLine(const std::string& text) override;
    bool WriteErrorLine(const std::string& text) override;
    std::string StripLineBreaks(const std::string& text) override;

    bool IsOpen();

private:
    bool WriteLine(const std::string& prefix, const std::string& text);
    void CloseStream();

    // Re-entrant: LogException formats while holding it.
    zx::critical_section m_lock;
    // A text-mode stream (each "\n" reaches the disk as "\r\n") over a file shared with everybody.
    zx::unique_file m_file;
    std::unique_ptr<__gnu_cxx::stdio_filebuf<char>> m_buffer;
    std::ostream m_stream{nullptr};
};

extern template class ZxLogFileT<FreeThreadedModel>;

} // namespace Error

// The add-in's log: "ZxBrackenmeadowSyncAddin.log" in the add-in data folder.
class CLogFile : public Error::ZxLogFileT<FreeThreadedModel> {
public:
    std::string GetFilePath() override;
    std::string GetHeader() override;
    std::string GetTimestamp() override;
};

// The log every part of the add-in writes to: the add-in's log file, or the one stand-in set below.
Error::IZxLogFile& GetLogFile();
// The one seam for the log: tests and the console runner put a log of their own in its place (nullptr
// restores the add-in's). Returns the previous stand-in.
Error::IZxLogFile* SetLogFileOverride(Error::IZxLogFile* log);
