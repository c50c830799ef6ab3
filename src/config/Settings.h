#pragma once
// The folder pairs of one Outlook profile and their settings file,
// <add-in data folder>\Settings\<profile name>\ZxBrackenmeadowSync.settings, which holds exactly the
// list record of CAssocsContainer. Loading also drops the pairs whose shared-folders store file was
// recreated (a reinstall of that product), with their caches, and tells the user which.
#include <string>

#include "config/AssocsContainer.h"
#include "config/PairCaches.h"
#include "mapi/Session.h"

class CSettings {
public:
    static constexpr const char* kFileName = "ZxBrackenmeadowSync.settings";
    static constexpr const char* kFolderName = "Settings";

    // An empty list for the profile.
    explicit CSettings(std::string profileName);
    virtual ~CSettings() = default;
    // Copies share the pair objects.
    CSettings(const CSettings&) = default;
    CSettings& operator=(const CSettings&) = default;

    // The settings file's path; creates the folder that holds it (and any missing folder above it).
    std::string GetFilePath() const;

    // Reads the file (a missing, empty or unreadable file leaves the list as it is), then removes every
    // pair whose store file was recreated: logs each, deletes both caches of each through `caches`, saves
    // the file and shows message 5009 listing them. A throw (out of memory) leaves the list as it was.
    void Load(IPairCacheRemoval& caches);
    // Writes the list to the file, replacing it in one step. On failure the previous file stays as it was,
    // the failure is logged as an error and false is returned.
    bool Save() const;
    // Opens both folders of every pair (refreshing their names); failures leave folders closed.
    void OpenFolders(ZxIMAPISession session);

    const CAssocsContainer& GetAssocs() const { return m_assocs; }
    CAssocsContainer& GetAssocs() { return m_assocs; }
    void SetAssocs(const CAssocsContainer& assocs) { m_assocs = assocs; }
    const std::string& GetProfileName() const { return m_profileName; }

private:
    std::string m_profileName;
    CAssocsContainer m_assocs;
};
