#include "engine/CacheItem.h"

CCacheItem::CCacheItem() = default;

CCacheItem::CCacheItem(const ZxSBinary& entryId, const ZxSBinary& recordKey, const FILETIME& modificationTime,
                       const std::string& pairId)
    : m_entryId(entryId), m_recordKey(recordKey), m_pairId(pairId), m_modificationTime(modificationTime) {}

ZxSBinary CCacheItem::GetEntryId() const {
    CCriticalSectionLock lock(m_lock);
    return m_entryId;
}

ZxSBinary CCacheItem::GetRecordKey() const {
    CCriticalSectionLock lock(m_lock);
    return m_recordKey;
}

std::string CCacheItem::GetPairId() const {
    CCriticalSectionLock lock(m_lock);
    return m_pairId;
}

FILETIME CCacheItem::GetModificationTime() const {
    CCriticalSectionLock lock(m_lock);
    return m_modificationTime;
}

void CCacheItem::SetModificationTime(const FILETIME& modificationTime) {
    CCriticalSectionLock lock(m_lock);
    m_modificationTime = modificationTime;
}
