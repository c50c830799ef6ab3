#pragma once
// The state of one folder of a pair as it was at the end of the previous run, kept relative to the
// other folder of the pair in one file:
//   WriteInt32 1, WriteInt32 count, then per item in pair-identifier order:
//   WriteInt32 1, WriteBinary entry id, WriteBinary record key, WriteString pair id, WriteFileTime time.
// Every item is in both maps (by record key and by pair identifier).
#include <windows.h>
#include <map>
#include <string>
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

    // Reads the file. A missing or empty file keeps the content and returns false. A damaged file is
    // read as far as whole items go; items without record key or pair identifier are dropped. A cache
    // that loaded at least one item is dirty (it is rewritten by the next Save). The content is replaced
    // only once the whole file was read: a throw (out of memory) leaves the cache as it was.
    bool Load();
    // Writes the file when dirty, replacing it atomically. A file that cannot be written is logged as an
    // error and the cache stays dirty; returns false then. Not dirty: writes nothing, returns true. A
    // throw while the bytes are made leaves the file untouched and the cache dirty.
    bool Save();

    CRefCountPtr<CCacheItem> FindByRecordKey(const ZxSBinary& recordKey) const;
    CRefCountPtr<CCacheItem> FindByPairId(const std::string& pairId) const;
    // An item made ready to join a cache: its map entries exist already, so adding it cannot fail.
    // Steps that change two caches together prepare both items before adding either.
    class PreparedItem {
    public:
        PreparedItem() = default; // empty: adding it changes nothing
        PreparedItem(PreparedItem&&) = default;
        PreparedItem& operator=(PreparedItem&&) = default;

    private:
        friend class CFolderCache;
        std::map<ZxSBinary, CRefCountPtr<CCacheItem>>::node_type byRecordKey;
        std::map<std::string, CRefCountPtr<CCacheItem>>::node_type byPairId;
    };
    // Copies the item's keys for its map entries; throws std::bad_alloc when there is no memory for them.
    static PreparedItem Prepare(const CRefCountPtr<CCacheItem>& item);
    // Stores a prepared item as AddItem does; never fails. An empty one changes nothing.
    void Add(PreparedItem prepared) noexcept;

    // Stores the item under its record key and pair identifier; an item already stored under either
    // key leaves the cache (both its entries). Sets dirty. A throw (out of memory) changes nothing.
    void AddItem(const CRefCountPtr<CCacheItem>& item);
    // Removes whatever is stored under the item's record key and pair identifier. Sets dirty. Never fails.
    void RemoveItem(const CRefCountPtr<CCacheItem>& item);
    // When an item has that record key: removes it and sets dirty.
    void RemoveItemByRecordKey(const ZxSBinary& recordKey);
    // A snapshot of all items in pair-identifier order.
    std::vector<CRefCountPtr<CCacheItem>> GetItems() const;
    size_t GetItemCount() const;

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
    using ByPairId = std::map<std::string, CRefCountPtr<CCacheItem>>;
    using ByRecordKey = std::map<ZxSBinary, CRefCountPtr<CCacheItem>>;

    static void AddTo(ByPairId& byPairId, ByRecordKey& byRecordKey, PreparedItem prepared) noexcept;
    static void EraseFrom(ByPairId& byPairId, ByRecordKey& byRecordKey,
                          const CRefCountPtr<CCacheItem>& stored) noexcept;

    mutable zx::critical_section m_lock;
    std::string m_filePath;
    bool m_dirty = false;
    ByPairId m_byPairId;
    ByRecordKey m_byRecordKey;
};
