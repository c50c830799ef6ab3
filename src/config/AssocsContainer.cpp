#include "config/AssocsContainer.h"

void CAssocsContainer::Write(ZxMemoryArchive& archive) const {
    archive.WriteInt32(kRecordVersion);
    archive.WriteInt32(static_cast<int32_t>(size()));
    for (const CRefCountPtr<CAssocDesc>& pair : *this) pair->Write(archive);
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
    for (const CRefCountPtr<CAssocDesc>& pair : *this) pair->OpenFolders(session);
}
