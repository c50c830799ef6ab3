#pragma once
// The ordered list of folder pairs, in the order they were added or read. Copies share the pair objects
// (and with them their opened folders and stores).
#include <cstdint>
#include <vector>

#include "base/Archive.h"
#include "base/RefCounted.h"
#include "config/AssocDesc.h"
#include "mapi/Session.h"

class CAssocsContainer : public std::vector<CRefCountPtr<CAssocDesc>> {
public:
    static constexpr int32_t kRecordVersion = 1;

    CAssocsContainer() = default;
    CAssocsContainer(const CAssocsContainer&) = default;
    CAssocsContainer& operator=(const CAssocsContainer&) = default;
    virtual ~CAssocsContainer() = default;

    // The list record: version 1, the number of pairs, each pair in order.
    virtual void Write(ZxMemoryArchive& archive) const;
    // Replaces the list with as many pairs as the count says and the data holds: reading stops at the end
    // of the data, or at a pair record of which not one byte could be read. A throw (out of memory)
    // leaves the list as it was.
    virtual void Read(ZxMemoryArchive& archive);

    // Reads as Read does and tells whether the data was one whole list record: version 1, as many pairs
    // as the count says, each of two folders that hold something (an id or a name), and no byte left
    // over. The pairs of a damaged record that name no folder are left out.
    bool ReadChecked(ZxMemoryArchive& archive);

    // Opens the folders of every pair in order; a pair whose folder does not open keeps it empty.
    void OpenFolders(ZxIMAPISession session);
};
