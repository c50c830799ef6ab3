#include "config/AssocDesc.h"

#include <utility>

void CAssocDesc::Write(ZxMemoryArchive& archive) const {
    archive.WriteInt32(kRecordVersion);
    m_folder1.Write(archive);
    m_folder2.Write(archive);
}

void CAssocDesc::Read(ZxMemoryArchive& archive) {
    int32_t version = 0; // not tested: every pair record so far is version 1
    archive.ReadSized(version);
    // Both folders are read before either is replaced: a throw leaves the pair as it was.
    CFolderDesc folder1;
    folder1.Read(archive);
    CFolderDesc folder2;
    folder2.Read(archive);
    m_folder1 = std::move(folder1);
    m_folder2 = std::move(folder2);
}

bool CAssocDesc::OpenFolders(ZxIMAPISession session) { return m_folder1.Open(session) && m_folder2.Open(session); }

bool CAssocDesc::IsStoreFileRecreated() const {
    return m_folder1.IsStoreFileRecreated() || m_folder2.IsStoreFileRecreated();
}
