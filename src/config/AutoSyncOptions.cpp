#include "config/AutoSyncOptions.h"

#include <windows.h>

#include "base/AppMessageBox.h"
#include "base/Archive.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/StringTable.h"
#include "config/Settings.h"
#include "resources/StringIds.h"

namespace {

constexpr int32_t kFormatVersion = 1;

bool ReadFlag(ZxMemoryArchive& archive, bool& flag) {
    int32_t value = 0;
    if (!archive.ReadSized(value) || (value != 0 && value != 1)) return false;
    flag = value != 0;
    return true;
}

// The whole record or nothing: version, interval on, minutes, at start, after a change, and no byte more.
bool Read(ZxMemoryArchive& archive, CAutoSyncOptions& options) {
    int32_t version = 0, minutes = 0;
    CAutoSyncOptions read;
    if (!archive.ReadSized(version) || version != kFormatVersion) return false;
    if (!ReadFlag(archive, read.interval) || !archive.ReadSized(minutes)) return false;
    if (minutes < CAutoSyncOptions::kMinMinutes || minutes > CAutoSyncOptions::kMaxMinutes) return false;
    read.minutes = minutes;
    if (!ReadFlag(archive, read.atStart) || !ReadFlag(archive, read.afterChange)) return false;
    if (archive.Remaining() != 0) return false;
    options = read;
    return true;
}

} // namespace

std::string CAutoSyncOptions::FilePath(const std::string& profileName) {
    ZxFsPath folder(GetAddinDataFolder());
    folder.Append(CSettings::kFolderName).Append(profileName);
    CreateFolderPath(folder.Str());
    return folder.Append(kFileName).Str();
}

CAutoSyncOptions CAutoSyncOptions::Load(const std::string& profileName) {
    const std::string path = FilePath(profileName);
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return CAutoSyncOptions();
    ZxMemoryArchive archive;
    CAutoSyncOptions options;
    if (archive.LoadFromFile(path) && Read(archive, options)) return options;

    // Never silently: the file is kept for a look, the user learns that automatic runs are off again.
    const std::string aside = path + CSettings::kDamagedSuffix;
    const bool keptAside = MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    const std::string message = ZxFormat(ZxLoadString(IDS_AUTOSYNC_OPTIONS_DAMAGED).c_str(), path.c_str(),
                                         keptAside ? aside.c_str() : path.c_str());
    GetLogFile().LogError(message);
    if (keptAside) CAutoSyncOptions().Save(profileName);
    Error::ShowMessageBox(nullptr, message.c_str(), kZxAppName, MB_ICONWARNING | MB_OK);
    return CAutoSyncOptions();
}

bool CAutoSyncOptions::Save(const std::string& profileName) const {
    ZxMemoryArchive archive;
    archive.WriteInt32(kFormatVersion);
    archive.WriteInt32(static_cast<int32_t>(interval));
    archive.WriteInt32(static_cast<int32_t>(minutes));
    archive.WriteInt32(static_cast<int32_t>(atStart));
    archive.WriteInt32(static_cast<int32_t>(afterChange));
    const std::string path = FilePath(profileName);
    if (archive.SaveToFile(path)) return true;
    GetLogFile().LogErrorFormat("Cannot save file '%s'.", path.c_str());
    return false;
}
