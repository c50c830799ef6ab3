#include "config/AssocsContainer.h"

#include <algorithm>

void CAssocsContainer::Write(ZxMemoryArchive& archive) const {
    archive.WriteInt32(kRecordVersion);
    // An empty slot has no record: the count is that of the pairs written.
    const auto pairs = static_cast<int32_t>(std::count_if(begin(), end(), [](const auto& pair) { return !!pair; }));
    archive.WriteInt32(pairs);
    for (const CRefCountPtr<CAssocDesc>& pair : *this)
        if (pair) pair->Write(archive);
}

void CAssocsContainer::Read(ZxMemoryArchive& archive) {
    // The pairs are read into a list of our own and take this one's place only when all were read: a
    // throw (out of memory) leaves the list as it was.
    CAssocsContainer pairs;
    int32_t version = 0; // not tested
    archive.ReadSized(version);
    int32_t count = 0;
    archive.ReadSized(count);
    // A damaged count may promise far more pairs than the file holds: the data, not the count, ends the
    // loop, so no pair is made up from bytes that are not there.
    for (int32_t i = 0; i < count && archive.Remaining() > 0; ++i) {
        const uint32_t before = archive.GetPosition();
        CRefCountPtr<CAssocDesc> pair(new CAssocDesc());
        pair->Read(archive);
        if (archive.GetPosition() == before) break;
        pairs.push_back(pair);
    }
    swap(pairs);
}

void CAssocsContainer::OpenFolders(ZxIMAPISession session) {
    for (const CRefCountPtr<CAssocDesc>& pair : *this)
        if (pair) pair->OpenFolders(session);
}

bool CAssocsContainer::ReadChecked(ZxMemoryArchive& archive) {
    ZxMemoryArchive header;
    header.LoadFromMemory(archive.GetData() + archive.GetPosition(), archive.Remaining());
    int32_t version = 0;
    int32_t count = 0;
    bool whole = header.ReadSized(version) && header.ReadSized(count) && version == kRecordVersion && count >= 0;
    Read(archive);
    whole = whole && size() == static_cast<size_t>(count) && archive.Remaining() == 0;
    // A folder record of no known version (or cut before its first field) leaves the folder with nothing
    // at all: such a pair names no folder.
    const auto names = [](const CFolderDesc& folder) {
        return folder.GetFolderEntryId().HasData() || folder.GetStoreEntryId().HasData() ||
               !folder.GetFolderName().empty();
    };
    const auto unusable = [&](const CRefCountPtr<CAssocDesc>& pair) {
        return !names(pair->GetFolder1()) || !names(pair->GetFolder2());
    };
    if (std::any_of(begin(), end(), unusable)) {
        whole = false;
        erase(std::remove_if(begin(), end(), unusable), end());
    }
    return whole;
}
