#include "engine/SettingsLoad.h"

#include "engine/FolderCacheFactory.h"

namespace {

void RemovePairCaches(const std::string& profileName, const CAssocsContainer& removed) {
    CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(profileName));
    factory->LoadIndex();
    for (const CRefCountPtr<CAssocDesc>& pair : removed) {
        const ZxSBinary& id1 = pair->GetFolder1().GetFolderEntryId();
        const ZxSBinary& id2 = pair->GetFolder2().GetFolderEntryId();
        factory->RemoveCache(id1, id2);
        factory->RemoveCache(id2, id1);
    }
}

} // namespace

std::vector<ZxNotice> LoadSettings(CSettings& settings) {
    CSettingsLoad loaded = settings.Load();
    if (!loaded.removedPairs.empty()) RemovePairCaches(settings.GetProfileName(), loaded.removedPairs);
    if (loaded.saveNeeded) settings.Save();
    return std::move(loaded.notices);
}
