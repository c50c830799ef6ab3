#pragma once
// Where syncrun keeps what the add-in keeps: the add-in data folder (log, "Settings", "Cache"), or a
// private folder given with --data-folder. The private folder is a seam of this tool only: it is passed
// to the settings' and the cache factory's data-folder overrides and to a log of the tool's own; the
// product's GetLogFile() is then not opened.
#include <memory>
#include <string>

#include "base/LogFile.h"

namespace syncrun {

// The add-in's log, kept in another folder under the same file name.
class FolderLogFile : public CLogFile {
public:
    explicit FolderLogFile(std::string folder) : m_folder(std::move(folder)) {}
    std::string GetFilePath() override;

private:
    std::string m_folder;
};

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
    std::unique_ptr<FolderLogFile> m_privateLog;
    Error::IZxLogFile* m_previousSettingsLog = nullptr;
    std::string m_previousSettingsFolder;
    std::string m_previousCacheFolder;
};

// The host (Unix) path of a Windows path when running under Wine; empty elsewhere.
std::string HostPath(const std::string& windowsPath);

} // namespace syncrun
