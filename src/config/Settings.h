#pragma once
// The folder pairs of one Outlook profile and their settings file,
// <add-in data folder>\Settings\<profile name>\ZxBrackenmeadowSync.settings, which holds exactly the
// list record of CAssocsContainer. Loading also drops the pairs whose shared-folders store file was
// recreated (a reinstall of that product) and says which; the engine's LoadSettings removes their
// caches and writes the list back, and the command that loaded tells the user.
#include <string>
#include <vector>

#include "base/AppMessageBox.h"
#include "config/AssocsContainer.h"
#include "mapi/Session.h"

// What a load found besides the pairs.
struct CSettingsLoad {
    // For the user, in order: the file did not read back whole (5104, with where it was kept), the
    // pairs dropped for a recreated store file (5009). Both are in the log already.
    std::vector<ZxNotice> notices;
    // The pairs dropped from the list; their caches must go before the list is written back.
    CAssocsContainer removedPairs;
    // The list differs from the file and is to be written back (after the caches of removedPairs).
    bool saveNeeded = false;
};

class CSettings {
public:
    static constexpr const char* kFileName = "ZxBrackenmeadowSync.settings";
    static constexpr const char* kFolderName = "Settings";
    // Appended to the name of a settings file that did not read back whole, which is kept aside so.
    static constexpr const char* kDamagedSuffix = ".damaged";

    // An empty list for the profile.
    explicit CSettings(std::string profileName);
    virtual ~CSettings() = default;
    // Copies share the pair objects.
    CSettings(const CSettings&) = default;
    CSettings& operator=(const CSettings&) = default;

    // The settings file's path; creates the folder that holds it (and any missing folder above it).
    std::string GetFilePath() const;

    // Reads the file (a missing, empty or unreadable file leaves the list as it is), then drops every
    // pair whose store file was recreated, logging each. A file that does not read back whole is renamed
    // with kDamagedSuffix and logged, and the pairs it still gave are to be written anew. Writes nothing
    // else: what is left to do and to tell is returned (LoadSettings of the engine does it). A throw (out
    // of memory) leaves the list as it was.
    CSettingsLoad Load();
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
