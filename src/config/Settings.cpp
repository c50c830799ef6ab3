#include "config/Settings.h"

#include <algorithm>
#include <utility>

#include "base/Archive.h"
#include "base/Paths.h"
#include "base/StringTable.h"
#include "base/LogFile.h"
#include "resources/StringIds.h"

namespace {

// Whether a settings file that did not load is there all the same: an empty file (every save writes a
// whole list, so it was cut), a folder in its place, or a file that cannot be read. Only a missing file
// is a first start.
bool IsPresentButUnread(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    return true;
}

} // namespace

CSettings::CSettings(std::string profileName) : m_profileName(std::move(profileName)) {}

std::string CSettings::GetFilePath() const {
    ZxFsPath folder(GetAddinDataFolder());
    // A profile name that is no usable folder name (a colon, a slash, a device name) gets one that is;
    // every other profile keeps its folder.
    folder.Append(kFolderName).Append(GetProfileFolderName(m_profileName));
    // A folder that cannot be made shows up as a failed load or save; nothing to do about it here.
    CreateFolderPath(folder.Str());
    return folder.Append(kFileName).Str();
}

CSettingsLoad CSettings::Load() {
    // The work is done on a list of our own that takes the place of this one only at the end: a throw
    // (out of memory while reading) leaves the settings as they were.
    CSettingsLoad result;
    CAssocsContainer assocs = m_assocs;
    ZxMemoryArchive archive;
    const std::string path = GetFilePath();
    bool damaged = false;
    if (archive.LoadFromFile(path))
        damaged = !assocs.ReadChecked(archive);
    else
        damaged = IsPresentButUnread(path);
    // A file that did not read back whole would lose pairs silently at the next save: it is kept aside
    // first, the user is told, and the pairs that could be read are written anew.
    bool keptAside = false;
    if (damaged) {
        const std::string aside = path + kDamagedSuffix;
        keptAside = MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        const std::string message = ZxFormat(ZxLoadString(IDS_SETTINGS_DAMAGED).c_str(), path.c_str(),
                                             keptAside ? aside.c_str() : path.c_str());
        GetLogFile().LogError(message);
        result.notices.push_back({message, MB_ICONWARNING});
    }

    std::string removedText;
    for (const CRefCountPtr<CAssocDesc>& pair : assocs) {
        if (!pair || !pair->IsStoreFileRecreated()) continue;
        result.removedPairs.push_back(pair);
        const std::string name1 = pair->GetFolder1().GetFolderName();
        const std::string name2 = pair->GetFolder2().GetFolderName();
        GetLogFile().LogErrorFormat("Removing ZxBrackenmeadow assoc (%s - %s)because PST file was recreated.",
                                    name1.c_str(), name2.c_str());
        removedText += ZxFormat("'%s' - '%s'\n", name1.c_str(), name2.c_str());
    }
    if (removedText.empty()) {
        m_assocs.swap(assocs);
        result.saveNeeded = keptAside;
        return result;
    }

    for (const CRefCountPtr<CAssocDesc>& pair : result.removedPairs)
        assocs.erase(std::find(assocs.begin(), assocs.end(), pair));
    // A damaged file that could not be kept aside is never written over.
    result.saveNeeded = !damaged || keptAside;
    // The folder names travel as an argument of the string table's format, never as a format.
    result.notices.push_back(
        {ZxFormat(ZxLoadString(IDS_REINSTALL_REMOVED_PAIRS).c_str(), removedText.c_str()), MB_ICONINFORMATION});
    m_assocs.swap(assocs);
    return result;
}

bool CSettings::Save() const {
    ZxMemoryArchive archive;
    m_assocs.Write(archive);
    const std::string path = GetFilePath();
    if (archive.SaveToFile(path)) return true;
    GetLogFile().LogErrorFormat("Cannot save settings file '%s'.", path.c_str());
    return false;
}

void CSettings::OpenFolders(ZxIMAPISession session) { m_assocs.OpenFolders(session); }
