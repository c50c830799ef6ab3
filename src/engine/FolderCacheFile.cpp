// The folder cache's file: loading and saving it whole, and its bytes as laid out in FolderCache.h.
#include "engine/FolderCache.h"
#include "engine/FolderCacheValues.h"

#include "base/Archive.h"
#include "base/LogFile.h"
#include "engine/CacheRead.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

using folder_cache::FileTimeOf;

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
