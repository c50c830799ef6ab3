// The folder cache's items as the engine asks for them; the storage below them lies in
// FolderCacheStorage.cpp, the file in FolderCacheFile.cpp.
#include "engine/FolderCache.h"
#include "engine/FolderCacheValues.h"

#include <utility>

using folder_cache::FileTimeOf;

CFolderCache::CFolderCache(std::string filePath) : m_filePath(std::move(filePath)) {}

CFolderCache::~CFolderCache() = default;

CRefCountPtr<CCacheItem> CFolderCache::FindByRecordKey(const SBinary& recordKey) const {
    zx::critical_section_guard lock(m_lock);
    const uint32_t r = Find(m_storage, true, recordKey.lpb, recordKey.cb);
    return r == kRemovedSlot ? CRefCountPtr<CCacheItem>() : ItemOf(r);
}

CRefCountPtr<CCacheItem> CFolderCache::FindByPairId(const std::string& pairId) const {
    zx::critical_section_guard lock(m_lock);
    const uint32_t r = Find(m_storage, false, reinterpret_cast<const BYTE*>(pairId.data()), pairId.size());
    return r == kRemovedSlot ? CRefCountPtr<CCacheItem>() : ItemOf(r);
}

void CFolderCache::MakeRoom(size_t items, size_t identifierBytes) {
    zx::critical_section_guard lock(m_lock);
    MakeRoom(m_storage, items, identifierBytes);
}

void CFolderCache::AddItem(const CRefCountPtr<CCacheItem>& item) {
    if (!item) return;
    const ZxSBinary& entryId = item->EntryId();
    const ZxSBinary& recordKey = item->RecordKey();
    const std::string& pairId = item->PairId();
    zx::critical_section_guard lock(m_lock);
    MakeRoom(m_storage, 1, entryId.Size() + recordKey.Size() + pairId.size());
    const uint32_t r = AddTo(m_storage, entryId.Data(), entryId.Size(), recordKey.Data(), recordKey.Size(),
                             pairId.data(), pairId.size(), TimeValue(item->GetModificationTime()));
    // The item itself is what FindBy... hands out from now on, and its time is the item's time.
    m_storage.records[r].item = item;
    m_dirty = true;
}

void CFolderCache::AddRecord(const SBinary& entryId, const SBinary& recordKey, const FILETIME& modificationTime,
                             const std::string& pairId, bool seen) {
    zx::critical_section_guard lock(m_lock);
    const size_t entryIdSize = entryId.lpb ? entryId.cb : 0;
    const size_t recordKeySize = recordKey.lpb ? recordKey.cb : 0;
    MakeRoom(m_storage, 1, entryIdSize + recordKeySize + pairId.size());
    const uint32_t r = AddTo(m_storage, entryId.lpb, entryIdSize, recordKey.lpb, recordKeySize, pairId.data(),
                             pairId.size(), TimeValue(modificationTime));
    m_storage.records[r].seen = seen;
    m_dirty = true;
}

void CFolderCache::RemoveItem(const CRefCountPtr<CCacheItem>& item) {
    zx::critical_section_guard lock(m_lock);
    if (!item) return;
    const uint32_t byKey = Find(m_storage, true, item->RecordKey().Data(), item->RecordKey().Size());
    if (byKey != kRemovedSlot) Remove(m_storage, byKey);
    const std::string& pairId = item->PairId();
    const uint32_t byPair = Find(m_storage, false, reinterpret_cast<const BYTE*>(pairId.data()), pairId.size());
    if (byPair != kRemovedSlot) Remove(m_storage, byPair);
    m_dirty = true;
}

void CFolderCache::RemoveItemByRecordKey(const ZxSBinary& recordKey) {
    zx::critical_section_guard lock(m_lock);
    const uint32_t r = Find(m_storage, true, recordKey.Data(), recordKey.Size());
    if (r == kRemovedSlot) return;
    Remove(m_storage, r);
    m_dirty = true;
}

void CFolderCache::RemoveByPairId(const std::string& pairId) {
    zx::critical_section_guard lock(m_lock);
    const uint32_t r = Find(m_storage, false, reinterpret_cast<const BYTE*>(pairId.data()), pairId.size());
    if (r == kRemovedSlot) return;
    Remove(m_storage, r);
    m_dirty = true;
}

std::vector<CRefCountPtr<CCacheItem>> CFolderCache::GetItems() const {
    zx::critical_section_guard lock(m_lock);
    Order();
    std::vector<CRefCountPtr<CCacheItem>> items;
    items.reserve(m_storage.live);
    for (uint32_t r : m_storage.order)
        if (m_storage.records[r].live) items.push_back(ItemOf(r));
    return items;
}

size_t CFolderCache::GetItemCount() const {
    zx::critical_section_guard lock(m_lock);
    return m_storage.live;
}

bool CFolderCache::FindForScan(const SBinary& recordKey, FILETIME& modificationTime) {
    zx::critical_section_guard lock(m_lock);
    const uint32_t found = Find(m_storage, true, recordKey.lpb, recordKey.lpb ? recordKey.cb : 0);
    if (found == kRemovedSlot) return false;
    Record& r = m_storage.records[found];
    r.seen = true;
    modificationTime = FileTimeOf(TimeOf(r));
    return true;
}

std::string CFolderCache::GetPairId(const SBinary& recordKey) const {
    zx::critical_section_guard lock(m_lock);
    const uint32_t found = Find(m_storage, true, recordKey.lpb, recordKey.lpb ? recordKey.cb : 0);
    if (found == kRemovedSlot) return std::string();
    const Record& r = m_storage.records[found];
    return std::string(reinterpret_cast<const char*>(m_storage.pool.data() + r.pairId), r.pairIdSize);
}

void CFolderCache::ClearSeen() {
    zx::critical_section_guard lock(m_lock);
    for (Record& r : m_storage.records) r.seen = false;
}

void CFolderCache::MarkSeen(const SBinary& recordKey) {
    zx::critical_section_guard lock(m_lock);
    const uint32_t found = Find(m_storage, true, recordKey.lpb, recordKey.lpb ? recordKey.cb : 0);
    if (found != kRemovedSlot) m_storage.records[found].seen = true;
}

std::vector<std::pair<size_t, CRefCountPtr<CCacheItem>>> CFolderCache::GetUnseenItems() const {
    zx::critical_section_guard lock(m_lock);
    std::vector<std::pair<size_t, CRefCountPtr<CCacheItem>>> items;
    // Usually every item was seen: then there is nothing to put in order.
    bool anyUnseen = false;
    for (const Record& record : m_storage.records) anyUnseen = anyUnseen || (record.live && !record.seen);
    if (!anyUnseen) return items;
    Order();
    size_t position = 0;
    for (uint32_t r : m_storage.order) {
        const Record& record = m_storage.records[r];
        if (!record.live) continue;
        if (!record.seen) items.emplace_back(position, ItemOf(r));
        ++position;
    }
    return items;
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
    Storage empty;
    zx::critical_section_guard lock(m_lock);
    std::swap(m_storage, empty);
    m_dirty = true;
}

std::string CFolderCache::GetFilePath() const {
    zx::critical_section_guard lock(m_lock);
    return m_filePath;
}
