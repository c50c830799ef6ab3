#include "base/LogFile.h"

#include "base/Paths.h"
#include "base/Version.h"

#include <cstdarg>
#include <ctime>
#include <share.h>
#include <utility>

namespace Error {

// Every logging operation takes the lock for its whole run and swallows what goes wrong while it works
// (out of memory, a stream error): the log never takes its caller down.

template <class ThreadModel>
ZxLogFileT<ThreadModel>::ZxLogFileT() = default;

template <class ThreadModel>
ZxLogFileT<ThreadModel>::~ZxLogFileT() {
    CloseStream();
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::IsOpen() {
    zx::critical_section_guard lock(m_lock);
    return m_file.is_valid();
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::Open(bool truncate) {
    zx::critical_section_guard lock(m_lock);
    return CallNoThrow(false,
                       [&] {
                           if (m_file) {
                               m_stream.seekp(0, std::ios::end);
                               return true;
                           }
                           // Text mode; other processes (a viewer, a second Outlook) may read and write it meanwhile.
                           zx::unique_file file(_fsopen(GetFilePath().c_str(), truncate ? "w" : "a", _SH_DENYNO));
                           if (!file) return false;
                           m_buffer = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(
                               file.get(), std::ios::out | (truncate ? std::ios::trunc : std::ios::app));
                           m_file = std::move(file);
                           m_stream.rdbuf(m_buffer.get());
                           m_stream.clear();
                           if (!truncate) m_stream.seekp(0, std::ios::end);
                           if (truncate || m_stream.tellp() == std::streampos(0)) m_stream << GetHeader() << '\n';
                           m_stream.flush();
                           return true;
                       }) ||
           m_file.is_valid();
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::Close() {
    zx::critical_section_guard lock(m_lock);
    CloseStream();
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::CloseStream() {
    if (!m_file) return;
    CallNoThrow([&] { m_stream.flush(); });
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
    if (!m_file) return false;
    m_stream.clear();
    m_stream.seekp(0, std::ios::end);
    m_stream << GetTimestamp() << prefix << StripLineBreaks(text) << '\n';
    m_stream.flush();
    return m_stream.good();
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::WriteInfoLine(const std::string& text) {
    return CallNoThrow(false, [&] { return WriteLine(GetInfoPrefix(), text); });
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::WriteErrorLine(const std::string& text) {
    return CallNoThrow(false, [&] { return WriteLine(GetErrorPrefix(), text); });
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogInfo(unsigned stringId) {
    zx::critical_section_guard lock(m_lock);
    return CallNoThrow(false, [&] { return WriteInfoLine(ZxLoadString(stringId)); });
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogInfo(const std::string& text) {
    zx::critical_section_guard lock(m_lock);
    return WriteInfoLine(text);
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogError(unsigned stringId) {
    zx::critical_section_guard lock(m_lock);
    return CallNoThrow(false, [&] { return WriteErrorLine(ZxLoadString(stringId)); });
}

template <class ThreadModel>
bool ZxLogFileT<ThreadModel>::LogError(const std::string& text) {
    zx::critical_section_guard lock(m_lock);
    return WriteErrorLine(text);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogInfoLines(const std::string& text) {
    zx::critical_section_guard lock(m_lock);
    CallNoThrow([&] {
        std::string::size_type start = 0;
        while (start < text.size()) {
            std::string::size_type cut = text.find_first_of("\r\n", start);
            if (cut == std::string::npos) cut = text.size();
            if (cut > start) WriteInfoLine(text.substr(start, cut - start));
            start = cut + 1;
        }
    });
}

// The four format operations: the arguments are formatted under the lock and the list always ends.
#define ZX_LOG_FORMATTED(last, format, write)         \
    zx::critical_section_guard lock(m_lock);          \
    va_list args;                                     \
    va_start(args, last);                             \
    auto end = zx::scope_exit([&] { va_end(args); }); \
    CallNoThrow([&] { write(ZxFormatV((format), args)); })

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogInfoFormat(unsigned formatId, ...) {
    ZX_LOG_FORMATTED(formatId, ZxLoadString(formatId).c_str(), WriteInfoLine);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogInfoFormat(const char* format, ...) {
    ZX_LOG_FORMATTED(format, format, WriteInfoLine);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogErrorFormat(unsigned formatId, ...) {
    ZX_LOG_FORMATTED(formatId, ZxLoadString(formatId).c_str(), WriteErrorLine);
}

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogErrorFormat(const char* format, ...) {
    ZX_LOG_FORMATTED(format, format, WriteErrorLine);
}

#undef ZX_LOG_FORMATTED

template <class ThreadModel>
void ZxLogFileT<ThreadModel>::LogException(const ZxException& e, const char* context) {
    zx::critical_section_guard lock(m_lock);
    CallNoThrow([&] {
        std::string location;
        if (!e.GetFileName().empty()) location = ZxFormat("module: %s, line: %d", e.GetFileName().c_str(), e.GetLine());
        const std::string text = e.GetErrorText();
        if (context)
            LogErrorFormat("%s %s %s", text.c_str(), context, location.c_str());
        else
            LogErrorFormat("%s %s", text.c_str(), location.c_str());
    });
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

namespace {
Error::IZxLogFile*& LogFileOverride() {
    static Error::IZxLogFile* log = nullptr;
    return log;
}
} // namespace

Error::IZxLogFile& GetLogFile() {
    static CLogFile log;
    Error::IZxLogFile* replacement = LogFileOverride();
    return replacement ? *replacement : log;
}

Error::IZxLogFile* SetLogFileOverride(Error::IZxLogFile* log) { return std::exchange(LogFileOverride(), log); }
