#pragma once
// The state of one folder of a pair as it was at the end of the previous run, kept relative to the
// other folder of the pair in one file:
//   WriteInt32 1, WriteInt32 count, then per item in pair-identifier order:
//   WriteInt32 1, WriteBinary entry id, WriteBinary record key, WriteString pair id, WriteFileTime time.
// Every item is in both indexes (by record key and by pair identifier).
#include <windows.h>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/RefCounted.h"
#include "engine/CacheItem.h"
#include "base/Resource.h"
#include "mapi/Binary.h"

class ZxMemoryArchive;

class CFolderCache : public CRefCountedT<FreeThreadedModel> {
public:
    explicit CFolderCache(std::string filePath);
    ~CFolderCache() override;
    CFolderCache(const CFolderCache&) = delete;
    CFolderCache& operator=(const CFolderCache&) = delete;

    // What the last Load found: no file (or an empty one), a whole file, or a file that did not read
    // back as written (cut short, trailing bytes, malformed or repeated items). Loaded once Save wrote
    // the content.
    enum class LoadState { Missing, Loaded, Damaged };

    // Reads the file. A missing or empty file keeps the content and returns false. A damaged file is
    // read as far as whole items go; items without record key or pair identifier are dropped. A cache
    // loaded from its file is not dirty: it holds what the file holds. The content is replaced only
    // once the whole file was read: a throw (out of memory) leaves the cache as it was.
    bool Load();
    LoadState GetLoadState() const;
    // For the factory: the index named this cache's file, but the file was gone, so the state that was
    // recorded is lost (what Load found is taken as damaged).
    void MarkDamaged();
    // Makes sure that the next Save can write the file: a missing file is written now (with the current
    // content); an existing one must be replaceable. False when it cannot be. The load state stays what
    // Load found.
    bool Reserve();
    // Writes the file when dirty, replacing it atomically. A file that cannot be written is logged as an
    // error and the cache stays dirty; returns false then. Not dirty: writes nothing, returns true. A
    // throw while the bytes are made leaves the file untouched and the cache dirty.
    bool Save();

    // The item stored under a key: the same item for every call until it leaves the cache. An item is
    // made the first time it is asked for (the cache keeps its state flat, not as items).
    CRefCountPtr<CCacheItem> FindByRecordKey(const SBinary& recordKey) const;
    CRefCountPtr<CCacheItem> FindByRecordKey(const ZxSBinary& recordKey) const {
        return FindByRecordKey(recordKey.AsSBinary());
    }
    CRefCountPtr<CCacheItem> FindByPairId(const std::string& pairId) const;
    // Room for `items` more items with `identifierBytes` bytes of identifiers in all, so that adding
    // them (AddRecord) takes no memory. Throws std::bad_alloc when there is none; changes nothing then.
    void MakeRoom(size_t items, size_t identifierBytes);

    // Stores the item under its record key and pair identifier; an item already stored under either
    // key leaves the cache (both its entries). Sets dirty. A throw (out of memory) changes nothing.
    void AddItem(const CRefCountPtr<CCacheItem>& item);
    // Stores an item given by its values, without making an item for it; `seen` marks it as present
    // in the folder for the deletion pass. Otherwise as AddItem; never fails within the room made.
    void AddRecord(const SBinary& entryId, const SBinary& recordKey, const FILETIME& modificationTime,
                   const std::string& pairId, bool seen);
    // Removes whatever is stored under the item's record key and pair identifier. Sets dirty. Never fails.
    void RemoveItem(const CRefCountPtr<CCacheItem>& item);
    // When an item has that record key: removes it and sets dirty.
    void RemoveItemByRecordKey(const ZxSBinary& recordKey);
    // When an item has that pair identifier: removes it and sets dirty.
    void RemoveByPairId(const std::string& pairId);
    // A snapshot of all items in pair-identifier order.
    std::vector<CRefCountPtr<CCacheItem>> GetItems() const;
    size_t GetItemCount() const;

    // What a folder scan asks: the cached time of the item with this record key, which the scan marks
    // as seen. False when no item has it.
    bool FindForScan(const SBinary& recordKey, FILETIME& modificationTime);
    // The pair identifier of the item with this record key; empty when no item has it.
    std::string GetPairId(const SBinary& recordKey) const;
    // Forgets which items a scan saw (a scan starts).
    void ClearSeen();
    // The item with this record key is present in the folder (it was just written there).
    void MarkSeen(const SBinary& recordKey);
    // The items no scan saw since ClearSeen, in pair-identifier order, each with its position among
    // all items in that order.
    std::vector<std::pair<size_t, CRefCountPtr<CCacheItem>>> GetUnseenItems() const;

    void SetDirty(bool dirty);
    bool IsDirty() const;
    // Empties the cache and sets dirty.
    void Clear();

    std::string GetFilePath() const;

    // The file's bytes for the current content (what Save writes).
    void Serialize(ZxMemoryArchive& archive) const;
    // The number of bytes Serialize writes for the current content (room made before writing).
    uint32_t SerializedSize() const;
    // Replaces the content with what a loaded file holds (what Load does after reading the file); as
    // Load, all or nothing.
    void Deserialize(ZxMemoryArchive& archive);

private:
    // One item: its identifiers lie in the pool. The item object is made when first asked for; once
    // it exists, its time is the item's time.
    struct Record {
        uint32_t entryId = 0, entryIdSize = 0; // offset and size in the pool
        uint32_t recordKey = 0, recordKeySize = 0;
        uint32_t pairId = 0, pairIdSize = 0;
        ULONGLONG time = 0;
        mutable CRefCountPtr<CCacheItem> item;
        bool live = true;
        bool seen = false;
    };
    // Everything the cache holds, replaced whole by a load: the records, one byte pool for their
    // identifiers, two hash indexes (record index + 1 per slot, 0 free, kRemovedSlot removed) and the
    // pair-identifier order. Freed as a few blocks, not item by item.
    struct Storage {
        std::vector<Record> records;
        std::vector<BYTE> pool;
        std::vector<uint32_t> byRecordKey, byPairId;
        size_t usedSlots = 0; // slots of either index not free (removed ones included)
        size_t live = 0;
        std::vector<uint32_t> order; // live records in pair-identifier order when `ordered`
        bool ordered = true;
    };
    static constexpr uint32_t kRemovedSlot = 0xFFFFFFFFu;

    static uint32_t Append(Storage& s, const void* bytes, size_t size);
    static size_t FindSlot(const Storage& s, const std::vector<uint32_t>& index, bool byRecordKey, const BYTE* key,
                           size_t size);
    static uint32_t Find(const Storage& s, bool byRecordKey, const BYTE* key, size_t size);
    static void Reindex(Storage& s, size_t slots);
    static void Insert(Storage& s, uint32_t record) noexcept;
    static void Remove(Storage& s, uint32_t record) noexcept;
    static void MakeRoom(Storage& s, size_t items, size_t identifierBytes);
    static uint32_t AddTo(Storage& s, const BYTE* entryId, size_t entryIdSize, const BYTE* recordKey,
                          size_t recordKeySize, const char* pairId, size_t pairIdSize, ULONGLONG time) noexcept;
    void Order() const;
    CRefCountPtr<CCacheItem> ItemOf(uint32_t record) const;
    ULONGLONG TimeOf(const Record& record) const;

    mutable zx::critical_section m_lock;
    std::string m_filePath;
    bool m_dirty = false;
    LoadState m_loadState = LoadState::Missing;
    mutable Storage m_storage;
};
