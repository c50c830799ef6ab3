#pragma once
// Where syncrun keeps what the add-in keeps: the add-in data folder (log, "Settings", "Cache"), or a
// private folder given with --data-folder, which then stands in for the add-in data folder for the
// whole process (log, settings and caches alike).
#include <string>

#include "base/LogFile.h"

namespace syncrun {

class ToolPaths {
public:
    // An empty folder means the add-in data folder.
    explicit ToolPaths(std::string dataFolder);
    ~ToolPaths();
    ToolPaths(const ToolPaths&) = delete;
    ToolPaths& operator=(const ToolPaths&) = delete;

    // The folder in use: the private one, or the add-in data folder.
    std::string DataFolder() const;
    bool IsPrivate() const { return !m_dataFolder.empty(); }
    // The log the run writes to, opened afresh (`fresh`) or for appending; nullptr when it cannot be
    // opened (the run goes on without a log, as the add-in does).
    Error::IZxLogFile* OpenLog(bool fresh);
    std::string LogPath();
    // The settings file and cache folder of a profile (both folders are created, as the product does).
    std::string SettingsPath(const std::string& profileName) const;
    std::string CacheFolder(const std::string& profileName) const;

private:
    std::string m_dataFolder;
    std::string m_previousDataFolder;
};

// The host (Unix) path of a Windows path when running under Wine; empty elsewhere.
std::string HostPath(const std::string& windowsPath);

} // namespace syncrun
