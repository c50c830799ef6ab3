#pragma once
// The folder picker's answer: which folder the user chose, in which store, under which path, of which kind.
#include <cstdint>
#include <string>

#include "base/RefCounted.h"
#include "mapi/Binary.h"

class CMAPIFolderDesc : public CRefCountedT<SingleThreadedModel> {
public:
    CMAPIFolderDesc() = default;
    CMAPIFolderDesc(const ZxSBinary& entryId, const ZxSBinary& storeEntryId, std::string displayText, uint32_t flags)
        : m_entryId(entryId), m_storeEntryId(storeEntryId), m_displayText(std::move(displayText)), m_flags(flags) {}
    CMAPIFolderDesc(const CMAPIFolderDesc&) = default;
    CMAPIFolderDesc& operator=(const CMAPIFolderDesc&) = default;
    ~CMAPIFolderDesc() override = default;

    const ZxSBinary& GetEntryId() const { return m_entryId; }
    const ZxSBinary& GetStoreEntryId() const { return m_storeEntryId; }
    // "Store\Folder\Subfolder", as the tree shows it.
    const std::string& GetDisplayText() const { return m_displayText; }
    uint32_t GetFlags() const { return m_flags; }

private:
    ZxSBinary m_entryId;
    ZxSBinary m_storeEntryId;
    std::string m_displayText;
    uint32_t m_flags = 0;
};
