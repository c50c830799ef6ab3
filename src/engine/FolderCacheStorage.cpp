// The folder cache's flat storage: records, one byte pool for their identifiers, two open-addressing
// hash indexes (by record key and by pair identifier) and the pair-identifier order made when asked for.
#include "engine/FolderCache.h"
#include "engine/FolderCacheValues.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

using folder_cache::FileTimeOf;
using folder_cache::Less;

namespace {

uint64_t Hash(const BYTE* bytes, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t k = 0; k < size; ++k) h = (h ^ bytes[k]) * 1099511628211ull;
    return h ^ (h >> 29);
}

// Reserves room for `more` elements beyond the size, growing by at least half (adds one at a time stay
// linear).
template <class T>
void Grow(std::vector<T>& v, size_t more) {
    const size_t needed = v.size() + more;
    if (needed > v.capacity()) v.reserve(std::max(needed, v.capacity() + v.capacity() / 2));
}


} // namespace

uint32_t CFolderCache::Append(Storage& s, const void* bytes, size_t size) {
    const uint32_t offset = static_cast<uint32_t>(s.pool.size());
    if (size) s.pool.insert(s.pool.end(), static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + size);
    return offset;
}

size_t CFolderCache::FindSlot(const Storage& s, const std::vector<uint32_t>& index, bool byRecordKey, const BYTE* key,
                              size_t size) {
    if (index.empty()) return SIZE_MAX;
    const size_t mask = index.size() - 1;
    for (size_t i = Hash(key, size) & mask;; i = (i + 1) & mask) {
        const uint32_t slot = index[i];
        if (slot == 0) return SIZE_MAX;
        if (slot == kRemovedSlot) continue;
        const Record& r = s.records[slot - 1];
        const uint32_t offset = byRecordKey ? r.recordKey : r.pairId;
        const uint32_t length = byRecordKey ? r.recordKeySize : r.pairIdSize;
        if (length == size && std::memcmp(s.pool.data() + offset, key, size) == 0) return i;
    }
}

uint32_t CFolderCache::Find(const Storage& s, bool byRecordKey, const BYTE* key, size_t size) {
    const std::vector<uint32_t>& index = byRecordKey ? s.byRecordKey : s.byPairId;
    const size_t i = FindSlot(s, index, byRecordKey, key, size);
    return i == SIZE_MAX ? kRemovedSlot : index[i] - 1;
}

void CFolderCache::Reindex(Storage& s, size_t slots) {
    size_t size = 16;
    while (size < slots) size *= 2;
    std::vector<uint32_t> byRecordKey(size, 0);
    std::vector<uint32_t> byPairId(size, 0);
    // Built aside: a throw above leaves the old indexes whole.
    s.byRecordKey.swap(byRecordKey);
    s.byPairId.swap(byPairId);
    s.usedSlots = 0;
    for (uint32_t r = 0; r < s.records.size(); ++r)
        if (s.records[r].live) Insert(s, r);
}

void CFolderCache::Insert(Storage& s, uint32_t record) noexcept {
    const Record& r = s.records[record];
    const size_t mask = s.byRecordKey.size() - 1;
    size_t i = Hash(s.pool.data() + r.recordKey, r.recordKeySize) & mask;
    while (s.byRecordKey[i] != 0) i = (i + 1) & mask;
    s.byRecordKey[i] = record + 1;
    i = Hash(s.pool.data() + r.pairId, r.pairIdSize) & mask;
    while (s.byPairId[i] != 0) i = (i + 1) & mask;
    s.byPairId[i] = record + 1;
    ++s.usedSlots;
}

void CFolderCache::Remove(Storage& s, uint32_t record) noexcept {
    Record& r = s.records[record];
    if (!r.live) return;
    for (bool byRecordKey : {true, false}) {
        std::vector<uint32_t>& index = byRecordKey ? s.byRecordKey : s.byPairId;
        const size_t mask = index.size() - 1;
        const BYTE* key = s.pool.data() + (byRecordKey ? r.recordKey : r.pairId);
        for (size_t i = Hash(key, byRecordKey ? r.recordKeySize : r.pairIdSize) & mask; index[i] != 0;
             i = (i + 1) & mask) {
            if (index[i] == record + 1) {
                index[i] = kRemovedSlot;
                break;
            }
        }
    }
    r.live = false;
    r.item.Reset();
    --s.live;
}

void CFolderCache::MakeRoom(Storage& s, size_t items, size_t identifierBytes) {
    Grow(s.records, items);
    Grow(s.pool, identifierBytes);
    Grow(s.order, items);
    if ((s.usedSlots + items) * 2 > s.byRecordKey.size()) Reindex(s, (s.live + items) * 2 + 1);
}

uint32_t CFolderCache::AddTo(Storage& s, const BYTE* entryId, size_t entryIdSize, const BYTE* recordKey,
                             size_t recordKeySize, const char* pairId, size_t pairIdSize, ULONGLONG time) noexcept {
    // An item stored under either key leaves the cache (both its entries).
    const BYTE* pair = reinterpret_cast<const BYTE*>(pairId);
    const uint32_t sameKey = Find(s, true, recordKey, recordKeySize);
    if (sameKey != kRemovedSlot) Remove(s, sameKey);
    const uint32_t samePair = Find(s, false, pair, pairIdSize);
    if (samePair != kRemovedSlot) Remove(s, samePair);

    // Within the room made: neither the pool nor the vectors move.
    Record r;
    r.entryIdSize = static_cast<uint32_t>(entryIdSize);
    r.entryId = Append(s, entryId, entryIdSize);
    r.recordKeySize = static_cast<uint32_t>(recordKeySize);
    r.recordKey = Append(s, recordKey, recordKeySize);
    r.pairIdSize = static_cast<uint32_t>(pairIdSize);
    r.pairId = Append(s, pairId, pairIdSize);
    r.time = time;
    const uint32_t record = static_cast<uint32_t>(s.records.size());
    s.records.push_back(std::move(r));
    Insert(s, record);
    ++s.live;
    // Items that come in pair-identifier order (a file as written) keep the order as they come.
    if (s.ordered) {
        const Record* last = s.order.empty() ? nullptr : &s.records[s.order.back()];
        if (!last || (last->live && Less(s.pool.data() + last->pairId, last->pairIdSize, pair, pairIdSize)))
            s.order.push_back(record);
        else
            s.ordered = false; // sorted when next asked for
    }
    return record;
}

void CFolderCache::Order() const {
    Storage& s = m_storage;
    if (s.ordered) return;
    // Sorted by the first eight bytes held beside each record (big-endian, so that integer order is
    // byte order); only equal prefixes look at the whole identifiers in the pool.
    struct Key {
        uint64_t prefix;
        uint32_t record;
    };
    const BYTE* pool = s.pool.data();
    std::vector<Key> keys;
    keys.reserve(s.live);
    for (uint32_t r = 0; r < s.records.size(); ++r) {
        const Record& record = s.records[r];
        if (!record.live) continue;
        uint64_t prefix = 0;
        for (uint32_t k = 0; k < 8; ++k)
            prefix = (prefix << 8) | (k < record.pairIdSize ? pool[record.pairId + k] : 0);
        keys.push_back({prefix, r});
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const Record& x = s.records[a.record];
        const Record& y = s.records[b.record];
        return Less(pool + x.pairId, x.pairIdSize, pool + y.pairId, y.pairIdSize);
    });
    std::vector<uint32_t> order;
    order.reserve(keys.size());
    for (const Key& key : keys) order.push_back(key.record);
    s.order.swap(order);
    s.ordered = true;
}

CRefCountPtr<CCacheItem> CFolderCache::ItemOf(uint32_t record) const {
    const Record& r = m_storage.records[record];
    if (!r.item) {
        const BYTE* pool = m_storage.pool.data();
        r.item = CRefCountPtr<CCacheItem>(new CCacheItem(
            r.entryIdSize ? ZxSBinary(r.entryIdSize, pool + r.entryId) : ZxSBinary(),
            ZxSBinary(r.recordKeySize, pool + r.recordKey), FileTimeOf(r.time),
            std::string(reinterpret_cast<const char*>(pool + r.pairId), r.pairIdSize)));
    }
    return r.item;
}

ULONGLONG CFolderCache::TimeOf(const Record& record) const {
    return record.item ? TimeValue(record.item->GetModificationTime()) : record.time;
}
