// paths: where the log, the settings and the caches are, as Windows paths and (under Wine) host paths.
#include <cstdio>

#include "Commands.h"
#include "ToolPaths.h"
#include "ToolWorld.h"
#include "base/Paths.h"
#include "base/StringTable.h"
#include "config/Settings.h"

namespace syncrun {
namespace {

// The Windows path, and below it the host path when running under Wine.
void Show(const char* label, const std::string& path, bool isPath = true) {
    std::string text = ZxFormat("%-15s%s\n", label, path.c_str());
    const std::string host = isPath ? HostPath(path) : std::string();
    if (!host.empty()) text += ZxFormat("%-15s%s\n", "", host.c_str());
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace

int ShowPaths(const Options& options) {
    if (!options.args.empty()) {
        Complain("paths takes no arguments");
        return kExitUsage;
    }
    ToolPaths paths(options.dataFolder);
    const std::string data = paths.DataFolder();
    if (data.empty()) {
        Complain("the add-in data folder cannot be had (no application data folder)");
        return kExitFailed;
    }
    Show("Data folder:", data);
    Show("Log file:", paths.LogPath());
    if (options.profileFile.empty()) {
        Show("Settings:", (ZxFsPath(data) / CSettings::kFolderName).Str());
        Show("Caches:", (ZxFsPath(data) / "Cache").Str());
        return kExitOk;
    }
    ToolWorld world;
    if (!LoadProfileOrComplain(world, options.profileFile)) return kExitUsage;
    const std::string profile = world.ProfileName();
    Show("Profile:", profile, false);
    Show("Settings file:", paths.SettingsPath(profile));
    Show("Cache folder:", paths.CacheFolder(profile));
    return kExitOk;
}

} // namespace syncrun
