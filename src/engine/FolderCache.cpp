#include "engine/FolderCache.h"

#include "base/Archive.h"
#include "base/LogFile.h"
#include "engine/CacheRead.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace {
const int32_t kFormatVersion = 1;
const int32_t kItemVersion = 1;

// Whether SaveToFile could replace the file now: it is neither read-only nor a folder, and a file can be
// made beside it (SaveToFile writes there first). Leaves nothing behind.
bool CanSaveToFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    const std::string temporary = path + ".tmp";
    ZxFileWrite probe(temporary, FILE_SHARE_READ);
    if (!probe.IsOpen()) return false;
    probe.Close();
    DeleteFileA(temporary.c_str());
    return true;
}
} // namespace

CFolderCache::CFolderCache(std::string filePath) : m_filePath(std::move(filePath)) {}

CFolderCache::~CFolderCache() = default;

bool CFolderCache::Load() {
    zx::critical_section_guard lock(m_lock);
    ZxMemoryArchive archive;
    if (!archive.LoadFromFile(m_filePath)) {
        m_loadState = LoadState::Missing;
        return false;
    }
    Deserialize(archive);
    return true;
}

CFolderCache::LoadState CFolderCache::GetLoadState() const {
    zx::critical_section_guard lock(m_lock);
    return m_loadState;
}

void CFolderCache::MarkDamaged() {
    zx::critical_section_guard lock(m_lock);
    m_loadState = LoadState::Damaged;
}

bool CFolderCache::Reserve() {
    zx::critical_section_guard lock(m_lock);
    if (m_loadState != LoadState::Missing) return CanSaveToFile(m_filePath);
    // A file that holds a whole (possibly empty) cache tells the next run that this state was recorded.
    const LoadState found = m_loadState;
    m_dirty = true;
    const bool saved = Save();
    // What this run found stays what it found: the file was only written to take its place.
    m_loadState = found;
    return saved;
}

namespace {
// A pair identifier as the system makes them: a GUID in registry format, braces and upper-case hex.
bool IsPairId(const char* id, size_t size) {
    if (size != 38 || id[0] != '{' || id[37] != '}') return false;
    for (size_t k = 1; k < 37; ++k) {
        const char c = id[k];
        const bool dash = k == 9 || k == 14 || k == 19 || k == 24;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

uint64_t Hash(const BYTE* bytes, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t k = 0; k < size; ++k) h = (h ^ bytes[k]) * 1099511628211ull;
    return h ^ (h >> 29);
}

ULONGLONG TimeValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(ULONGLONG value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

// Byte-wise order of two strings, as std::string orders them.
bool Less(const BYTE* a, size_t aSize, const BYTE* b, size_t bSize) {
    const int c = std::memcmp(a, b, std::min(aSize, bSize));
    return c != 0 ? c < 0 : aSize < bSize;
}

// Reserves room for `more` elements beyond the size, growing by at least half (adds one at a time stay
// linear).
template <class T>
void Grow(std::vector<T>& v, size_t more) {
    const size_t needed = v.size() + more;
    if (needed > v.capacity()) v.reserve(std::max(needed, v.capacity() + v.capacity() / 2));
}

// A binary as ReadWholeBinary reads it, as a view into the archive: true for a whole binary, the
// empty one included (null view).
bool ReadBinaryView(ZxMemoryArchive& archive, const BYTE*& bytes, uint32_t& size) {
    static const BYTE kEmpty[8] = {4, 0, 0, 0, 0, 0, 0, 0};
    bytes = nullptr;
    size = 0;
    const uint32_t before = archive.GetPosition();
    uint32_t count = 0;
    if (archive.ReadBinaryCount(count)) {
        bytes = archive.GetData() + archive.GetPosition();
        size = count;
        archive.Skip(count);
        return true;
    }
    return archive.GetPosition() == before + sizeof kEmpty &&
           std::memcmp(archive.GetData() + before, kEmpty, sizeof kEmpty) == 0;
}

// A string as ZxMemoryArchive::ReadString reads it (cut at its first NUL), as a view into the archive.
bool ReadStringView(ZxMemoryArchive& archive, const char*& text, size_t& size) {
    text = "";
    size = 0;
    BYTE head[5];
    if (!archive.ReadRaw(head, 1) || head[0] != 0x01) return false;
    if (!archive.ReadRaw(head + 1, 4)) return false;
    const int32_t n = static_cast<int32_t>(uint32_t(head[1]) | uint32_t(head[2]) << 8 | uint32_t(head[3]) << 16 |
                                           uint32_t(head[4]) << 24);
    if (n == 0) return true;
    if (n < 0 || static_cast<uint32_t>(n) > archive.Remaining()) return false;
    text = reinterpret_cast<const char*>(archive.GetData() + archive.GetPosition());
    size = strnlen(text, static_cast<size_t>(n));
    archive.Skip(static_cast<uint32_t>(n));
    return true;
}
} // namespace

// ---- the flat storage ---------------------------------------------------------------------------------

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

// ---- the file -----------------------------------------------------------------------------------------

void CFolderCache::Deserialize(ZxMemoryArchive& archive) {
    // The file is read into storage of our own: a read that throws half-way (out of memory) must leave
    // the cache as it was, never half loaded and then saved that way. Identifiers go from the file's
    // buffer straight into the pool.
    Storage loaded;
    int32_t version = 0;
    int32_t count = 0;
    bool damaged = !archive.ReadSized(version) || !archive.ReadSized(count) || version != kFormatVersion || count < 0;
    // The count is only a promise: room for what the data can hold at most (41 bytes an item at least).
    // The identifiers are what remains of the data after the items' fixed fields.
    const size_t room = std::min<size_t>(count > 0 ? static_cast<size_t>(count) : 0, archive.Remaining() / 41);
    MakeRoom(loaded, room, archive.Remaining() - room * 41);
    int32_t read = 0;
    for (; read < count && archive.Remaining() > 0; ++read) {
        int32_t itemVersion = 0;
        const BYTE* entryId = nullptr;
        uint32_t entryIdSize = 0;
        const BYTE* recordKey = nullptr;
        uint32_t recordKeySize = 0;
        const char* pairId = nullptr;
        size_t pairIdSize = 0;
        FILETIME modificationTime{};
        if (!archive.ReadSized(itemVersion) || !ReadBinaryView(archive, entryId, entryIdSize) ||
            !ReadBinaryView(archive, recordKey, recordKeySize) || !ReadStringView(archive, pairId, pairIdSize) ||
            !archive.ReadSized(modificationTime))
            break;
        const BYTE* pair = reinterpret_cast<const BYTE*>(pairId);
        // Both keys name the item in the indexes; an item without one would collide with others.
        if (itemVersion != kItemVersion || !IsPairId(pairId, pairIdSize) ||
            Find(loaded, false, pair, pairIdSize) != kRemovedSlot ||
            (recordKeySize && Find(loaded, true, recordKey, recordKeySize) != kRemovedSlot))
            damaged = true;
        if (!recordKeySize || !pairIdSize) {
            damaged = true;
            continue;
        }
        MakeRoom(loaded, 1, entryIdSize + recordKeySize + pairIdSize);
        AddTo(loaded, entryId, entryIdSize, recordKey, recordKeySize, pairId, pairIdSize, TimeValue(modificationTime));
    }
    if (read != count || archive.Remaining() != 0) damaged = true;

    zx::critical_section_guard lock(m_lock);
    std::swap(m_storage, loaded);
    m_loadState = damaged ? LoadState::Damaged : LoadState::Loaded;
    m_dirty = false;
}

void CFolderCache::Serialize(ZxMemoryArchive& archive) const {
    zx::critical_section_guard lock(m_lock);
    Order();
    const Storage& s = m_storage;
    archive.WriteInt32(kFormatVersion);
    archive.WriteInt32(static_cast<int32_t>(s.live));
    // Written from the pool: saving takes no MAPI memory.
    const BYTE* pool = s.pool.data();
    for (uint32_t record : s.order) {
        const Record& r = s.records[record];
        if (!r.live) continue;
        archive.WriteInt32(kItemVersion);
        archive.WriteBinary(r.entryIdSize ? pool + r.entryId : nullptr, r.entryIdSize);
        archive.WriteBinary(pool + r.recordKey, r.recordKeySize);
        BYTE head[5] = {0x01, static_cast<BYTE>(r.pairIdSize), static_cast<BYTE>(r.pairIdSize >> 8),
                        static_cast<BYTE>(r.pairIdSize >> 16), static_cast<BYTE>(r.pairIdSize >> 24)};
        archive.WriteRaw(head, sizeof head);
        archive.WriteRaw(pool + r.pairId, r.pairIdSize);
        archive.WriteFileTime(FileTimeOf(TimeOf(r)));
    }
}

uint32_t CFolderCache::SerializedSize() const {
    zx::critical_section_guard lock(m_lock);
    // Sized values carry their size first: an Int32 takes 8 bytes, a time 12, a binary 8 and its bytes,
    // a string 5 and its characters. Version and count, then per item its version, two binaries, the
    // pair id and the time.
    uint64_t size = 16;
    for (const Record& r : m_storage.records)
        if (r.live) size += 8 + 8 + r.entryIdSize + 8 + r.recordKeySize + 5 + r.pairIdSize + 12;
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
    // The file now holds this state, whatever the load had found.
    m_loadState = LoadState::Loaded;
    return true;
}

// ---- items ---------------------------------------------------------------------------------------------

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
