#include "engine/FolderCache.h"

#include "base/Archive.h"
#include "base/LogFile.h"
#include "engine/CacheRead.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace {
const int32_t kFormatVersion = 1;
const int32_t kItemVersion = 1;
} // namespace

CFolderCache::CFolderCache(std::string filePath) : m_filePath(std::move(filePath)) {}

CFolderCache::~CFolderCache() = default;

bool CFolderCache::Load() {
    zx::critical_section_guard lock(m_lock);
    ZxMemoryArchive archive;
    if (!archive.LoadFromFile(m_filePath)) return false;
    Deserialize(archive);
    return true;
}

void CFolderCache::Deserialize(ZxMemoryArchive& archive) {
    // The file is read into maps of our own: a read that throws half-way (out of memory) must leave
    // the cache as it was, never half loaded and then saved that way.
    ByPairId byPairId;
    ByRecordKey byRecordKey;
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
            !ReadWholeBinary(archive, recordKey) || !archive.ReadString(pairId) || !archive.ReadSized(modificationTime))
            break;
        // Both keys name the item in the maps; an item without one would collide with others.
        if (!recordKey.HasData() || pairId.empty()) continue;
        AddTo(byPairId, byRecordKey,
              Prepare(CRefCountPtr<CCacheItem>(
                  new CCacheItem(std::move(entryId), std::move(recordKey), modificationTime, std::move(pairId)))));
    }

    zx::critical_section_guard lock(m_lock);
    m_byPairId.swap(byPairId);
    m_byRecordKey.swap(byRecordKey);
    // Every added item sets dirty: a cache that loaded items is rewritten by the next Save.
    m_dirty = !m_byPairId.empty();
}

void CFolderCache::Serialize(ZxMemoryArchive& archive) const {
    zx::critical_section_guard lock(m_lock);
    archive.WriteInt32(kFormatVersion);
    archive.WriteInt32(static_cast<int32_t>(m_byPairId.size()));
    // The identifiers are written from the items themselves: saving takes no MAPI memory.
    for (const auto& entry : m_byPairId) {
        const CCacheItem& item = *entry.second;
        archive.WriteInt32(kItemVersion);
        WriteBinary(archive, item.EntryId());
        WriteBinary(archive, item.RecordKey());
        archive.WriteString(item.PairId());
        archive.WriteFileTime(item.GetModificationTime());
    }
}

uint32_t CFolderCache::SerializedSize() const {
    zx::critical_section_guard lock(m_lock);
    // Sized values carry their size first: an Int32 takes 8 bytes, a time 12, a binary 8 and its bytes,
    // a string 5 and its characters. Version and count, then per item its version, two binaries, the
    // pair id and the time.
    uint64_t size = 16;
    for (const auto& entry : m_byPairId) {
        const CCacheItem& item = *entry.second;
        size += 8 + 8 + item.EntryId().Size() + 8 + item.RecordKey().Size() + 5 + item.PairId().size() + 12;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(size, std::numeric_limits<uint32_t>::max() - 1));
}

bool CFolderCache::Save() {
    zx::critical_section_guard lock(m_lock);
    if (!m_dirty) return true;
    // The bytes are made in full before the file is touched: a throw here leaves file and dirty flag.
    ZxMemoryArchive archive;
    // One byte more: a write that exactly reaches the end of the buffer grows it.
    archive.Reserve(SerializedSize() + 1);
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
    zx::critical_section_guard lock(m_lock);
    const auto found = m_byRecordKey.find(recordKey);
    return found == m_byRecordKey.end() ? CRefCountPtr<CCacheItem>() : found->second;
}

CRefCountPtr<CCacheItem> CFolderCache::FindByPairId(const std::string& pairId) const {
    zx::critical_section_guard lock(m_lock);
    const auto found = m_byPairId.find(pairId);
    return found == m_byPairId.end() ? CRefCountPtr<CCacheItem>() : found->second;
}

void CFolderCache::EraseFrom(ByPairId& byPairId, ByRecordKey& byRecordKey,
                             const CRefCountPtr<CCacheItem>& stored) noexcept {
    if (!stored) return;
    // Keep our own reference: erasing the map entries may drop the last other one (`stored` itself
    // may be one of them).
    const CRefCountPtr<CCacheItem> keep = stored;
    const auto byKey = byRecordKey.find(keep->RecordKey());
    if (byKey != byRecordKey.end() && byKey->second == keep) byRecordKey.erase(byKey);
    const auto byPair = byPairId.find(keep->PairId());
    if (byPair != byPairId.end() && byPair->second == keep) byPairId.erase(byPair);
}

CFolderCache::PreparedItem CFolderCache::Prepare(const CRefCountPtr<CCacheItem>& item) {
    PreparedItem prepared;
    if (!item) return prepared;
    ByRecordKey byRecordKey;
    byRecordKey.emplace(item->RecordKey(), item);
    ByPairId byPairId;
    byPairId.emplace(item->PairId(), item);
    prepared.byRecordKey = byRecordKey.extract(byRecordKey.begin());
    prepared.byPairId = byPairId.extract(byPairId.begin());
    return prepared;
}

void CFolderCache::AddTo(ByPairId& byPairId, ByRecordKey& byRecordKey, PreparedItem prepared) noexcept {
    if (prepared.byRecordKey.empty() || prepared.byPairId.empty()) return;
    // An item replaced under one key must not linger under its other key.
    const auto byKey = byRecordKey.find(prepared.byRecordKey.key());
    if (byKey != byRecordKey.end()) EraseFrom(byPairId, byRecordKey, byKey->second);
    const auto byPair = byPairId.find(prepared.byPairId.key());
    if (byPair != byPairId.end()) EraseFrom(byPairId, byRecordKey, byPair->second);
    // Both keys are free now, and inserting a ready node takes no memory.
    byRecordKey.insert(std::move(prepared.byRecordKey));
    byPairId.insert(std::move(prepared.byPairId));
}

void CFolderCache::Add(PreparedItem prepared) noexcept {
    if (prepared.byRecordKey.empty() || prepared.byPairId.empty()) return;
    zx::critical_section_guard lock(m_lock);
    AddTo(m_byPairId, m_byRecordKey, std::move(prepared));
    m_dirty = true;
}

void CFolderCache::AddItem(const CRefCountPtr<CCacheItem>& item) { Add(Prepare(item)); }

void CFolderCache::RemoveItem(const CRefCountPtr<CCacheItem>& item) {
    zx::critical_section_guard lock(m_lock);
    if (!item) return;
    const auto byKey = m_byRecordKey.find(item->RecordKey());
    if (byKey != m_byRecordKey.end()) EraseFrom(m_byPairId, m_byRecordKey, byKey->second);
    const auto byPair = m_byPairId.find(item->PairId());
    if (byPair != m_byPairId.end()) EraseFrom(m_byPairId, m_byRecordKey, byPair->second);
    m_dirty = true;
}

void CFolderCache::RemoveItemByRecordKey(const ZxSBinary& recordKey) {
    zx::critical_section_guard lock(m_lock);
    const auto found = m_byRecordKey.find(recordKey);
    if (found == m_byRecordKey.end()) return;
    EraseFrom(m_byPairId, m_byRecordKey, found->second);
    m_dirty = true;
}

std::vector<CRefCountPtr<CCacheItem>> CFolderCache::GetItems() const {
    zx::critical_section_guard lock(m_lock);
    std::vector<CRefCountPtr<CCacheItem>> items;
    items.reserve(m_byPairId.size());
    for (const auto& entry : m_byPairId) items.push_back(entry.second);
    return items;
}

size_t CFolderCache::GetItemCount() const {
    zx::critical_section_guard lock(m_lock);
    return m_byPairId.size();
}

void CFolderCache::SetDirty(bool dirty) {
    zx::critical_section_guard lock(m_lock);
    m_dirty = dirty;
}

bool CFolderCache::IsDirty() const {
    zx::critical_section_guard lock(m_lock);
    return m_dirty;
}

void CFolderCache::Clear() {
    zx::critical_section_guard lock(m_lock);
    m_byPairId.clear();
    m_byRecordKey.clear();
    m_dirty = true;
}

std::string CFolderCache::GetFilePath() const {
    zx::critical_section_guard lock(m_lock);
    return m_filePath;
}
