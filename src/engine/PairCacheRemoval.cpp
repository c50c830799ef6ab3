#include "engine/PairCacheRemoval.h"

#include "engine/FolderCacheFactory.h"

void CPairCacheRemoval::RemovePairCaches(const std::string& profileName, const CAssocsContainer& removed) {
    CRefCountPtr<CFolderCacheFactory> factory(new CFolderCacheFactory(profileName));
    factory->LoadIndex();
    for (const CRefCountPtr<CAssocDesc>& pair : removed) {
        const ZxSBinary& id1 = pair->GetFolder1().GetFolderEntryId();
        const ZxSBinary& id2 = pair->GetFolder2().GetFolderEntryId();
        factory->RemoveCache(id1, id2);
        factory->RemoveCache(id2, id1);
    }
}
