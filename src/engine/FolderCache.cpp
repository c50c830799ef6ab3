#include "engine/FolderCache.h"

#include "base/Archive.h"
#include "base/LogFile.h"
#include "engine/CacheRead.h"

#include <utility>

namespace {
const int32_t kFormatVersion = 1;
const int32_t kItemVersion = 1;
}

CFolderCache::CFolderCache(std::string filePath) : m_filePath(std::move(filePath)) {}

CFolderCache::~CFolderCache() = default;

bool CFolderCache::Load() {
    CCriticalSectionLock lock(m_lock);
    ZxMemoryArchive archive;
    if (!archive.LoadFromFile(m_filePath)) return false;
    Deserialize(archive);
    return true;
}

void CFolderCache::Deserialize(ZxMemoryArchive& archive) {
    CCriticalSectionLock lock(m_lock);
    m_dirty = false;
    m_byPairId.clear();
    m_byRecordKey.clear();
    int32_t version = 0;
    int32_t count = 0;
    archive.ReadSized(version);
    archive.ReadSized(count);
    // The count is only a promise: a damaged file ends the loop where its data ends.
    for (int32_t i = 0; i < count && archive.Remaining() > 0; ++i) {
        int32_t itemVersion = 0;
        ZxSBinary entryId;
        ZxSBinary recordKey;
        std::string pairId;
        FILETIME modificationTime{};
        if (!archive.ReadSized(itemVersion) || !ReadWholeBinary(archive, entryId) ||
            !ReadWholeBinary(archive, recordKey) || !archive.ReadString(pairId) ||
            !archive.ReadSized(modificationTime))
            break;
        // Both keys name the item in the maps; an item without one would collide with others.
        if (!recordKey.HasData() || pairId.empty()) continue;
        AddUnlocked(CRefCountPtr<CCacheItem>(new CCacheItem(entryId, recordKey, modificationTime, pairId)));
    }
}

void CFolderCache::Serialize(ZxMemoryArchive& archive) const {
    CCriticalSectionLock lock(m_lock);
    archive.WriteInt32(kFormatVersion);
    archive.WriteInt32(static_cast<int32_t>(m_byPairId.size()));
    for (const auto& entry : m_byPairId) {
        const CCacheItem& item = *entry.second;
        archive.WriteInt32(kItemVersion);
        archive.WriteBinary(item.GetEntryId());
        archive.WriteBinary(item.GetRecordKey());
        archive.WriteString(item.GetPairId());
        archive.WriteFileTime(item.GetModificationTime());
    }
}

bool CFolderCache::Save() {
    CCriticalSectionLock lock(m_lock);
    if (!m_dirty) return true;
    ZxMemoryArchive archive;
    Serialize(archive);
    // The archive replaces the file only once the new one is complete; on failure the old one stays,
    // and so does the dirty flag, so that the next Save tries again.
    if (!archive.SaveToFile(m_filePath)) {
        GetLogFile().LogErrorFormat("Cannot save folder state cache '%s'.", m_filePath.c_str());
        return false;
    }
    m_dirty = false;
    return true;
}

CRefCountPtr<CCacheItem> CFolderCache::FindByRecordKey(const ZxSBinary& recordKey) const {
    CCriticalSectionLock lock(m_lock);
    const auto found = m_byRecordKey.find(recordKey);
    return found == m_byRecordKey.end() ? CRefCountPtr<CCacheItem>() : found->second;
}

CRefCountPtr<CCacheItem> CFolderCache::FindByPairId(const std::string& pairId) const {
    CCriticalSectionLock lock(m_lock);
    const auto found = m_byPairId.find(pairId);
    return found == m_byPairId.end() ? CRefCountPtr<CCacheItem>() : found->second;
}

void CFolderCache::EraseUnlocked(const CRefCountPtr<CCacheItem>& stored) {
    if (!stored) return;
    // Keep our own reference: erasing the map entries may drop the last other one.
    const CRefCountPtr<CCacheItem> keep = stored;
    const auto byKey = m_byRecordKey.find(keep->GetRecordKey());
    if (byKey != m_byRecordKey.end() && byKey->second == keep) m_byRecordKey.erase(byKey);
    const auto byPair = m_byPairId.find(keep->GetPairId());
    if (byPair != m_byPairId.end() && byPair->second == keep) m_byPairId.erase(byPair);
}

void CFolderCache::AddUnlocked(const CRefCountPtr<CCacheItem>& item) {
    if (!item) return;
    const CRefCountPtr<CCacheItem> keep = item;
    const ZxSBinary recordKey = keep->GetRecordKey();
    const std::string pairId = keep->GetPairId();
    // An item replaced under one key must not linger under its other key.
    const auto byKey = m_byRecordKey.find(recordKey);
    if (byKey != m_byRecordKey.end()) EraseUnlocked(CRefCountPtr<CCacheItem>(byKey->second));
    const auto byPair = m_byPairId.find(pairId);
    if (byPair != m_byPairId.end()) EraseUnlocked(CRefCountPtr<CCacheItem>(byPair->second));
    m_byRecordKey[recordKey] = keep;
    m_byPairId[pairId] = keep;
    m_dirty = true;
}

void CFolderCache::AddItem(const CRefCountPtr<CCacheItem>& item) {
    CCriticalSectionLock lock(m_lock);
    AddUnlocked(item);
}

void CFolderCache::RemoveItem(const CRefCountPtr<CCacheItem>& item) {
    CCriticalSectionLock lock(m_lock);
    if (!item) return;
    const ZxSBinary recordKey = item->GetRecordKey();
    const std::string pairId = item->GetPairId();
    const auto byKey = m_byRecordKey.find(recordKey);
    if (byKey != m_byRecordKey.end()) EraseUnlocked(CRefCountPtr<CCacheItem>(byKey->second));
    const auto byPair = m_byPairId.find(pairId);
    if (byPair != m_byPairId.end()) EraseUnlocked(CRefCountPtr<CCacheItem>(byPair->second));
    m_dirty = true;
}

void CFolderCache::RemoveItemByRecordKey(const ZxSBinary& recordKey) {
    CCriticalSectionLock lock(m_lock);
    const auto found = m_byRecordKey.find(recordKey);
    if (found == m_byRecordKey.end()) return;
    EraseUnlocked(CRefCountPtr<CCacheItem>(found->second));
    m_dirty = true;
}

std::vector<CRefCountPtr<CCacheItem>> CFolderCache::GetItems() const {
    CCriticalSectionLock lock(m_lock);
    std::vector<CRefCountPtr<CCacheItem>> items;
    items.reserve(m_byPairId.size());
    for (const auto& entry : m_byPairId) items.push_back(entry.second);
    return items;
}

size_t CFolderCache::GetItemCount() const {
    CCriticalSectionLock lock(m_lock);
    return m_byPairId.size();
}

void CFolderCache::SetDirty(bool dirty) {
    CCriticalSectionLock lock(m_lock);
    m_dirty = dirty;
}

bool CFolderCache::IsDirty() const {
    CCriticalSectionLock lock(m_lock);
    return m_dirty;
}

void CFolderCache::Clear() {
    CCriticalSectionLock lock(m_lock);
    m_byPairId.clear();
    m_byRecordKey.clear();
    m_dirty = true;
}

std::string CFolderCache::GetFilePath() const {
    CCriticalSectionLock lock(m_lock);
    return m_filePath;
}
