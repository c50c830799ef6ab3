#include "base/LogFile.h"

#include "base/Paths.h"
#include "base/Version.h"

#include <cstdarg>
#include <ctime>
#include <share.h>

namespace Error {

template <class ThreadModel>
ZxLogFileT<ThreadModel>::ZxLogFileT() {
    InitializeCriticalSection(&m_lock);
}

template <class ThreadModel>
ZxLogFileT<ThreadModel>::~ZxLogFileT() {
    CloseStream();
    DeleteCriticalSection(&m_lock);
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::IsOpen() {
    Lock lock(m_lock);
    return m_file != nullptr;
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::Open(bool truncate) {
    Lock lock(m_lock);
    try {
        if (m_file) {
            m_stream.seekp(0, std::ios::end);
            return true;
        }
        // Text mode; other processes (a viewer, a second Outlook) may read and write it meanwhile.
        FILE* f = _fsopen(GetFilePath().c_str(), truncate ? "w" : "a", _SH_DENYNO);
        if (!f) return false;
        m_file.reset(f);
        m_buffer = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(
            f, std::ios::out | (truncate ? std::ios::trunc : std::ios::app));
        m_stream.rdbuf(m_buffer.get());
        m_stream.clear();
        if (!truncate) m_stream.seekp(0, std::ios::end);
        if (truncate || m_stream.tellp() == std::streampos(0)) m_stream << GetHeader() << '\n';
        m_stream.flush();
        if (!m_stream.good()) {
            CloseStream();
            return false;
        }
        return true;
    } catch (...) {
        // A file that opened but could not take its header is no open log: the next Open tries again.
        CloseStream();
        return false;
    }
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::Close() {
    Lock lock(m_lock);
    CloseStream();
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::CloseStream() {
    if (!m_file) return;
    try {
        m_stream.flush();
    } catch (...) {}
    m_stream.rdbuf(nullptr);
    m_buffer.reset();
    m_file.reset();
}

template <class ThreadModel>
std::string ZxLogFileT<ThreadModel>::StripLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::WriteLine(const std::string& prefix, const std::string& text) {
    try {
        if (!m_file) return false;
        m_stream.clear();
        m_stream.seekp(0, std::ios::end);
        m_stream << GetTimestamp() << prefix << StripLineBreaks(text) << '\n';
        m_stream.flush();
        return m_stream.good();
    } catch (...) {
        return false;
    }
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::WriteInfoLine(const std::string& text) {
    try {
        return WriteLine(GetInfoPrefix(), text);
    } catch (...) {
        return false;
    }
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::WriteErrorLine(const std::string& text) {
    try {
        return WriteLine(GetErrorPrefix(), text);
    } catch (...) {
        return false;
    }
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogInfo(unsigned stringId) {
    Lock lock(m_lock);
    try {
        return WriteInfoLine(ZxLoadString(stringId));
    } catch (...) {
        return false;
    }
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogInfo(const std::string& text) {
    Lock lock(m_lock);
    return WriteInfoLine(text);
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogError(unsigned stringId) {
    Lock lock(m_lock);
    try {
        return WriteErrorLine(ZxLoadString(stringId));
    } catch (...) {
        return false;
    }
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogError(const std::string& text) {
    Lock lock(m_lock);
    return WriteErrorLine(text);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogInfoLines(const std::string& text) {
    Lock lock(m_lock);
    try {
        std::string::size_type start = 0;
        while (start < text.size()) {
            std::string::size_type cut = text.find_first_of("\r\n", start);
            if (cut == std::string::npos) cut = text.size();
            if (cut > start) WriteInfoLine(text.substr(start, cut - start));
            start = cut + 1;
        }
    } catch (...) {}
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogInfoFormat(unsigned formatId, ...) {
    Lock lock(m_lock);
    va_list args;
    va_start(args, formatId);
    try {
        const std::string format = ZxLoadString(formatId);
        WriteInfoLine(ZxFormatV(format.c_str(), args));
    } catch (...) {}
    va_end(args);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogInfoFormat(const char* format, ...) {
    Lock lock(m_lock);
    va_list args;
    va_start(args, format);
    try {
        WriteInfoLine(ZxFormatV(format, args));
    } catch (...) {}
    va_end(args);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogErrorFormat(unsigned formatId, ...) {
    Lock lock(m_lock);
    va_list args;
    va_start(args, formatId);
    try {
        const std::string format = ZxLoadString(formatId);
        WriteErrorLine(ZxFormatV(format.c_str(), args));
    } catch (...) {}
    va_end(args);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogErrorFormat(const char* format, ...) {
    Lock lock(m_lock);
    va_list args;
    va_start(args, format);
    try {
        WriteErrorLine(ZxFormatV(format, args));
    } catch (...) {}
    va_end(args);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogException(const ZxException& e, const char* context) {
    Lock lock(m_lock);
    try {
        std::string location;
        if (!e.GetFileName().empty()) location = ZxFormat("module: %s, line: %d", e.GetFileName().c_str(), e.GetLine());
        const std::string text = e.GetErrorText();
        if (context)
            LogErrorFormat("%s %s %s", text.c_str(), context, location.c_str());
        else
            LogErrorFormat("%s %s", text.c_str(), location.c_str());
    } catch (...) {}
}

template class ZxLogFileT<FreeThreadedModel>;

} // namespace Error

namespace {
const char kLogName[] = "ZxBrackenmeadowSyncAddin";
}

std::string CLogFile::GetFilePath() {
    ZxFsPath path(GetAddinDataFolder());
    path.Append(std::string(kLogName) + ".log");
    return path.Str();
}

std::string CLogFile::GetHeader() {
    return ZxFormat(
        "---------------------------------------------------------------------\n"
        "%s log file. Version %s\n"
        "---------------------------------------------------------------------\n\n",
        kLogName, CFileVersionInfo(ZxGetThisModule()).GetVersionText(4).c_str());
}

std::string CLogFile::GetTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_s(&local, &now) != 0) return std::string();
    char buffer[128];
    const size_t n = std::strftime(buffer, sizeof buffer, "%Y.%m.%d %H:%M:%S ", &local);
    return std::string(buffer, n);
}

CLogFile& GetLogFile() {
    static CLogFile log;
    return log;
}
