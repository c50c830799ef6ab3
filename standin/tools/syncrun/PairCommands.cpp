// add-pair and pairs: what the options page and the pair dialog do with the settings file.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "Commands.h"
#include "ToolPaths.h"
#include "ToolWorld.h"
#include "base/StringTable.h"
#include "config/AssocDesc.h"
#include "config/FolderDesc.h"
#include "config/FolderKind.h"
#include "config/PairChecks.h"
#include "config/Settings.h"
#include "engine/SettingsLoad.h"
#include "resources/StringIds.h"

namespace syncrun {
namespace {

std::string KindName(int flags) {
    for (int bit = ZxFolderKindMail; bit <= ZxFolderKindStickyNote; bit <<= 1)
        if (flags & bit) return ZxLoadString(GetFolderKindNameId(bit));
    return ZxLoadString(IDS_UNKNOWN);
}

CFolderDesc DescOf(const ToolFolder& f) {
    return CFolderDesc(f.folderEntryId, f.storeEntryId, f.path, f.folder, f.store, GetFolderKindBit(f.containerClass));
}

void Say(const std::string& text) {
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

} // namespace

int AddPair(const Options& options) {
    if (options.args.size() != 2) {
        Complain("add-pair takes two folder paths");
        return kExitUsage;
    }
    ToolWorld world;
    if (!LoadProfileOrComplain(world, options.profileFile)) return kExitUsage;
    std::string error;
    ToolPaths paths(options.dataFolder);
    ToolFolder folder1, folder2;
    if (!world.OpenFolder(options.args[0], folder1, error) || !world.OpenFolder(options.args[1], folder2, error)) {
        Complain(error);
        return kExitFailed;
    }
    // The pair dialog's checks, in its order, with its own texts.
    const std::string mismatch = CheckFolderKinds(folder1.containerClass, folder2.containerClass);
    if (!mismatch.empty()) {
        Say(mismatch);
        return kExitFailed;
    }
    if (IsSameFolderText(folder1.path, folder2.path)) {
        Say(ZxLoadString(IDS_SAME_FOLDER_TWICE));
        return kExitFailed;
    }

    CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
    pair->SetFolder1(DescOf(folder1));
    pair->SetFolder2(DescOf(folder2));
    CSettings settings(world.ProfileName());
    ZxShowNotices(LoadSettings(settings));
    settings.GetAssocs().push_back(pair);
    if (!settings.Save()) {
        Complain("cannot write the settings file " + settings.GetFilePath());
        return kExitFailed;
    }
    Say(ZxFormat("Pair %u added: '%s' - '%s' (%s)", static_cast<unsigned>(settings.GetAssocs().size()),
                 folder1.path.c_str(), folder2.path.c_str(),
                 KindName(GetFolderKindBit(folder1.containerClass)).c_str()));
    return kExitOk;
}

int ListPairs(const Options& options) {
    if (!options.args.empty()) {
        Complain("pairs takes no arguments");
        return kExitUsage;
    }
    ToolWorld world;
    if (!LoadProfileOrComplain(world, options.profileFile)) return kExitUsage;
    ToolPaths paths(options.dataFolder);
    CSettings settings(world.ProfileName());
    ZxShowNotices(LoadSettings(settings));
    unsigned n = 0;
    for (const CRefCountPtr<CAssocDesc>& pair : settings.GetAssocs()) {
        ++n;
        if (!pair) continue;
        Say(ZxFormat("%u. '%s' - '%s' (%s)", n, pair->GetFolder1().GetFolderName().c_str(),
                     pair->GetFolder2().GetFolderName().c_str(),
                     KindName(pair->GetFolder1().GetFolderFlags()).c_str()));
    }
    if (n == 0) Say("No folder pairs.");
    return kExitOk;
}

} // namespace syncrun
