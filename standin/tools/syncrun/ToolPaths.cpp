#include "ToolPaths.h"

#include <windows.h>

#include "base/Paths.h"
#include "config/Settings.h"
#include "engine/FolderCacheFactory.h"
#include "mapi/MAPIProps.h"

namespace syncrun {

ToolPaths::ToolPaths(std::string dataFolder) : m_dataFolder(std::move(dataFolder)) {
    if (IsPrivate()) m_previousDataFolder = SetAddinDataFolderOverride(m_dataFolder);
}

ToolPaths::~ToolPaths() {
    if (IsPrivate()) SetAddinDataFolderOverride(m_previousDataFolder);
}

std::string ToolPaths::DataFolder() const { return GetAddinDataFolder(); }

Error::IZxLogFile* ToolPaths::OpenLog(bool fresh) { return GetLogFile().Open(fresh) ? &GetLogFile() : nullptr; }

std::string ToolPaths::LogPath() { return GetLogFile().GetFilePath(); }

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
    const zx::unique_process_heap_ptr<char> unix(toUnix(wide.c_str()));
    return unix ? std::string(unix.get()) : std::string();
}

} // namespace syncrun
