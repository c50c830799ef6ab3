#pragma once
// One folder pair. Folder 1 and folder 2 keep their places for the pair's whole life: the run, the
// caches, the messages and the log all name them in this order.
#include <cstdint>

#include "base/Archive.h"
#include "base/RefCounted.h"
#include "config/FolderDesc.h"
#include "mapi/Session.h"

class CAssocDesc : public CRefCountedT<SingleThreadedModel> {
public:
    static constexpr int32_t kRecordVersion = 1;

    // Two empty folders; the pair dialog fills them.
    CAssocDesc() = default;
    ~CAssocDesc() override = default;

    const CFolderDesc& GetFolder1() const { return m_folder1; }
    CFolderDesc& GetFolder1() { return m_folder1; }
    void SetFolder1(const CFolderDesc& folder) { m_folder1 = folder; }
    const CFolderDesc& GetFolder2() const { return m_folder2; }
    CFolderDesc& GetFolder2() { return m_folder2; }
    void SetFolder2(const CFolderDesc& folder) { m_folder2 = folder; }

    // The pair record: version 1, then folder 1's record and folder 2's.
    virtual void Write(ZxMemoryArchive& archive) const;
    virtual void Read(ZxMemoryArchive& archive);

    // Opens folder 1 and, only when that worked, folder 2. True when both are open.
    bool OpenFolders(ZxIMAPISession session);
    // Folder 1 is tested first; true when either folder's store file was recreated.
    bool IsStoreFileRecreated() const;

private:
    CFolderDesc m_folder1;
    CFolderDesc m_folder2;
};
