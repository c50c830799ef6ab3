#include "engine/ChangedItems.h"

#include <algorithm>
#include <cstring>

namespace {

// The order of record keys everywhere in the engine: shorter first, then bytewise.
int Compare(const BYTE* a, uint32_t aSize, const BYTE* b, uint32_t bSize) {
    if (aSize != bSize) return aSize < bSize ? -1 : 1;
    return aSize == 0 ? 0 : std::memcmp(a, b, aSize);
}

} // namespace

void CChangedItems::Add(const SBinary& recordKey, const SBinary& entryId, const FILETIME& time) {
    Item::Record record;
    record.recordKey = static_cast<uint32_t>(m_pool.size());
    record.recordKeySize = recordKey.cb;
    record.entryId = record.recordKey + recordKey.cb;
    record.entryIdSize = entryId.cb;
    record.time = time;
    const size_t poolSize = m_pool.size();
    try {
        if (recordKey.cb) m_pool.insert(m_pool.end(), recordKey.lpb, recordKey.lpb + recordKey.cb);
        if (entryId.cb) m_pool.insert(m_pool.end(), entryId.lpb, entryId.lpb + entryId.cb);
        m_records.push_back(record);
    } catch (...) {
        m_pool.resize(poolSize);
        throw;
    }
    ++m_count;
}

void CChangedItems::Seal() {
    const BYTE* pool = m_pool.data();
    // Equal keys stay in the order they were added in (their bytes lie in the pool in that order), so
    // that the last one is known. Sorting in place takes no memory.
    std::sort(m_records.begin(), m_records.end(), [pool](const Item::Record& a, const Item::Record& b) {
        const int order = Compare(pool + a.recordKey, a.recordKeySize, pool + b.recordKey, b.recordKeySize);
        return order != 0 ? order < 0 : a.recordKey < b.recordKey;
    });
    auto out = m_records.begin();
    for (auto at = m_records.begin(); at != m_records.end(); ++at) {
        const auto next = at + 1;
        if (next != m_records.end() && Compare(pool + at->recordKey, at->recordKeySize, pool + next->recordKey,
                                               next->recordKeySize) == 0)
            continue;
        *out++ = *at;
    }
    m_records.erase(out, m_records.end());
    m_count = static_cast<size_t>(
        std::count_if(m_records.begin(), m_records.end(), [](const Item::Record& r) { return !r.erased; }));
}

void CChangedItems::Clear() {
    m_records.clear();
    m_pool.clear();
    m_count = 0;
}

const CChangedItems::Item::Record* CChangedItems::Lookup(const SBinary& recordKey) const {
    const BYTE* pool = m_pool.data();
    const auto at = std::lower_bound(m_records.begin(), m_records.end(), recordKey,
                                     [pool](const Item::Record& r, const SBinary& key) {
                                         return Compare(pool + r.recordKey, r.recordKeySize, key.lpb, key.cb) < 0;
                                     });
    if (at == m_records.end() || Compare(pool + at->recordKey, at->recordKeySize, recordKey.lpb, recordKey.cb) != 0)
        return nullptr;
    return &*at;
}

bool CChangedItems::Find(const SBinary& recordKey, FILETIME& time) const {
    const Item::Record* record = Lookup(recordKey);
    if (record) time = record->time;
    return record != nullptr;
}

bool CChangedItems::Contains(const SBinary& recordKey) const {
    const Item::Record* record = Lookup(recordKey);
    return record && !record->erased;
}

void CChangedItems::Erase(const SBinary& recordKey) {
    Item::Record* record = const_cast<Item::Record*>(Lookup(recordKey));
    if (!record || record->erased) return;
    record->erased = true;
    --m_count;
}
