#include "ToolPaths.h"

#include <windows.h>

#include "base/Paths.h"
#include "config/Settings.h"
#include "engine/FolderCacheFactory.h"
#include "mapi/MAPIProps.h"

namespace syncrun {

std::string FolderLogFile::GetFilePath() {
    ZxFsPath path(m_folder);
    path.Append(ZxFsPath(CLogFile::GetFilePath()).FileName());
    return path.Str();
}

ToolPaths::ToolPaths(std::string dataFolder) : m_dataFolder(std::move(dataFolder)) {
    if (m_dataFolder.empty()) return;
    CreateFolderPath(m_dataFolder);
    m_privateLog = std::make_unique<FolderLogFile>(m_dataFolder);
    m_previousSettingsFolder = CSettings::SetDataFolderOverride(m_dataFolder);
    m_previousCacheFolder = CFolderCacheFactory::SetDataFolderOverride(m_dataFolder);
    m_previousSettingsLog = CSettings::SetLogFileOverride(m_privateLog.get());
}

ToolPaths::~ToolPaths() {
    if (m_dataFolder.empty()) return;
    CSettings::SetLogFileOverride(m_previousSettingsLog);
    CFolderCacheFactory::SetDataFolderOverride(m_previousCacheFolder);
    CSettings::SetDataFolderOverride(m_previousSettingsFolder);
}

std::string ToolPaths::DataFolder() const { return IsPrivate() ? m_dataFolder : GetAddinDataFolder(); }

Error::IZxLogFile* ToolPaths::OpenLog(bool fresh) {
    Error::IZxLogFile* log = IsPrivate() ? static_cast<Error::IZxLogFile*>(m_privateLog.get()) : &GetLogFile();
    return log->Open(fresh) ? log : nullptr;
}

std::string ToolPaths::LogPath() {
    return IsPrivate() ? m_privateLog->GetFilePath() : GetLogFile().GetFilePath();
}

std::string ToolPaths::SettingsPath(const std::string& profileName) const {
    return CSettings(profileName).GetFilePath();
}

std::string ToolPaths::CacheFolder(const std::string& profileName) const {
    CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(profileName));
    return factory->GetCacheFolder();
}

std::string HostPath(const std::string& windowsPath) {
    // Wine's own export; it allocates the answer on the process heap.
    using ToUnix = char*(CDECL*)(LPCWSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC found = kernel ? GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr;
    // Through void* : the exported function's real type is not FARPROC's.
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(found));
    if (!toUnix || windowsPath.empty()) return std::string();
    const int n = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), n);
    struct HeapText {
        char* p;
        ~HeapText() { if (p) HeapFree(GetProcessHeap(), 0, p); }
    } unix{toUnix(wide.c_str())};
    return unix.p ? std::string(unix.p) : std::string();
}

} // namespace syncrun
