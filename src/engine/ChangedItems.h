#pragma once
// What a folder scan found new or changed: per item its record key, entry id and the modification time
// the scan saw. Held flat (one record vector, identifiers in one byte pool): a scan of many new rows
// takes no allocation per row, and the list goes in a few blocks.
//
// Rows are appended while the scan runs; Seal then puts the items in record-key order (shorter keys
// first, then bytewise) and keeps one item per key, the last one added. Lookups and iteration are for a
// sealed list. Views handed out point into the pool and stay valid while the list lives and is not
// appended to.
#include <windows.h>
#include <mapix.h>
#include <cstdint>
#include <vector>

class CChangedItems {
public:
    class Item {
    public:
        SBinary RecordKey() const { return View(m_record->recordKey, m_record->recordKeySize); }
        SBinary EntryId() const { return View(m_record->entryId, m_record->entryIdSize); }
        const FILETIME& Time() const { return m_record->time; }

    private:
        friend class CChangedItems;
        struct Record {
            uint32_t recordKey = 0, recordKeySize = 0, entryId = 0, entryIdSize = 0;
            FILETIME time{};
            bool erased = false;
        };
        Item(const Record* record, const BYTE* pool) : m_record(record), m_pool(pool) {}
        SBinary View(uint32_t offset, uint32_t size) const {
            SBinary b;
            b.cb = size;
            b.lpb = const_cast<BYTE*>(m_pool + offset);
            return b;
        }
        const Record* m_record;
        const BYTE* m_pool;
    };

    // Walks the items not erased, in record-key order.
    class Iterator {
    public:
        Item operator*() const { return Item(&*m_at, m_pool); }
        Iterator& operator++() {
            ++m_at;
            Skip();
            return *this;
        }
        bool operator!=(const Iterator& other) const { return m_at != other.m_at; }
        bool operator==(const Iterator& other) const { return m_at == other.m_at; }

    private:
        friend class CChangedItems;
        using At = std::vector<Item::Record>::const_iterator;
        Iterator(At at, At end, const BYTE* pool) : m_at(at), m_end(end), m_pool(pool) { Skip(); }
        void Skip() {
            while (m_at != m_end && m_at->erased) ++m_at;
        }
        At m_at, m_end;
        const BYTE* m_pool;
    };

    // Adds an item (copies both identifiers). Throws std::bad_alloc when there is no memory; the list
    // is as it was then.
    void Add(const SBinary& recordKey, const SBinary& entryId, const FILETIME& time);
    // Puts the items in record-key order; of several with one key, the last added stays.
    void Seal();
    void Clear();

    // The item with this key, erased or not (its time is still the one the scan saw); false when none.
    bool Find(const SBinary& recordKey, FILETIME& time) const;
    // Whether an item with this key is in the list and not erased.
    bool Contains(const SBinary& recordKey) const;
    // Takes the item with this key out of the list (its time stays for Find). Never fails.
    void Erase(const SBinary& recordKey);

    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    Iterator begin() const { return Iterator(m_records.begin(), m_records.end(), m_pool.data()); }
    Iterator end() const { return Iterator(m_records.end(), m_records.end(), m_pool.data()); }

private:
    const Item::Record* Lookup(const SBinary& recordKey) const;

    std::vector<Item::Record> m_records;
    std::vector<BYTE> m_pool;
    size_t m_count = 0;
};
