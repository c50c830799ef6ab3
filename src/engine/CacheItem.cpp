#include "engine/CacheItem.h"

#include <utility>

#include "base/FileTime.h"

CCacheItem::CCacheItem() = default;

CCacheItem::CCacheItem(ZxSBinary&& entryId, ZxSBinary&& recordKey, const FILETIME& modificationTime,
                       std::string&& pairId)
    : m_entryId(std::move(entryId)),
      m_recordKey(std::move(recordKey)),
      m_pairId(std::move(pairId)),
      m_modificationTime(TimeValue(modificationTime)) {}

CCacheItem::CCacheItem(const ZxSBinary& entryId, const ZxSBinary& recordKey, const FILETIME& modificationTime,
                       const std::string& pairId)
    : m_entryId(entryId), m_recordKey(recordKey), m_pairId(pairId), m_modificationTime(TimeValue(modificationTime)) {}

// The identifiers are fixed when the item is made: copies need no lock.
ZxSBinary CCacheItem::GetEntryId() const { return m_entryId; }

ZxSBinary CCacheItem::GetRecordKey() const { return m_recordKey; }

std::string CCacheItem::GetPairId() const { return m_pairId; }

FILETIME CCacheItem::GetModificationTime() const {
    const ULONGLONG value = m_modificationTime.load();
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

void CCacheItem::SetModificationTime(const FILETIME& modificationTime) {
    m_modificationTime.store(TimeValue(modificationTime));
}
