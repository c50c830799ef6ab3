#include "engine/FolderCacheFactory.h"

#include "base/Archive.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/Resource.h"
#include "base/Errors.h"
#include "base/StringTable.h"
#include "engine/CacheRead.h"
#include "resources/StringIds.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

namespace {

const char kCacheFolderName[] = "Cache";
const char kIndexFileName[] = "cache.index";
const char kCacheExtension[] = ".cache";
const int32_t kIndexVersion = 1;

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Index names come from a file that may be damaged: only a plain name inside the cache folder is
// taken, never one that reaches elsewhere (or that DeleteFileA could take for another file).
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos &&
           !IsDeviceFileName(name);
}

// Room a cache file's path leaves for more than its base: the random number, ".cache", the journal's
// and the temporary file's endings.
const size_t kNameSuffixRoom = 10 + 6 + 8 + 4;

void SeedRandomOnce() {
    static bool seeded = false;
    if (!seeded) {
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        seeded = true;
    }
}

} // namespace

CFolderCacheFactory::CFolderCacheFactory(std::string profileName) : m_profileName(std::move(profileName)) {}

CFolderCacheFactory::~CFolderCacheFactory() = default;

std::string CFolderCacheFactory::GetCacheFolder() {
    zx::critical_section_guard lock(m_lock);
    ZxFsPath folder(GetAddinDataFolder());
    folder.Append(kCacheFolderName);
    if (!m_profileName.empty()) folder.Append(GetProfileFolderName(m_profileName));
    CreateFolderPath(folder.Str());
    return folder.Str();
}

std::map<ZxSBinary, std::string> CFolderCacheFactory::GetIndex() const {
    zx::critical_section_guard lock(m_lock);
    return m_index;
}

ZxSBinary CFolderCacheFactory::MakeCacheKey(const ZxSBinary& entryIdA, const ZxSBinary& entryIdB) {
    std::vector<BYTE> bytes;
    if (entryIdA.HasData()) bytes.insert(bytes.end(), entryIdA.Data(), entryIdA.Data() + entryIdA.Size());
    if (entryIdB.HasData()) bytes.insert(bytes.end(), entryIdB.Data(), entryIdB.Data() + entryIdB.Size());
    return ZxSBinary(static_cast<ULONG>(bytes.size()), bytes.data());
}

ZxSBinary CFolderCacheFactory::GetCacheKey(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB) {
    ZxSBinary entryIdA;
    ZxSBinary entryIdB;
    if (FAILED(folderA.GetPropBinary(PR_ENTRYID, entryIdA))) entryIdA.Free();
    if (FAILED(folderB.GetPropBinary(PR_ENTRYID, entryIdB))) entryIdB.Free();
    return MakeCacheKey(entryIdA, entryIdB);
}

std::string CFolderCacheFactory::MakeFileBaseName(const std::string& displayName, size_t maxLength) {
    std::string base = displayName;
    for (char& c : base) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::string("\\/:*?\"<>|\t\r\n").find(c) != std::string::npos || byte < 0x20 || byte >= 0x80) c = '_';
    }
    // "Con.Edison.cache" and every name made from it would be the console: no such name is ever free.
    if (IsDeviceFileName(base)) base.insert(0, 1, '_');
    if (base.size() > maxLength) base = MakeUsableFileName(base, false, maxLength);
    return base;
}

bool CFolderCacheFactory::LoadIndex() {
    zx::critical_section_guard lock(m_lock);
    ZxMemoryArchive archive;
    const ZxFsPath cacheFolder(GetCacheFolder());
    if (!archive.LoadFromFile((cacheFolder / kIndexFileName).Str())) {
        // Cache files that hold state but no index that names them: the index was lost, not never made.
        // (An empty one is a name taken by a run that stopped before its index entry was written.)
        WIN32_FIND_DATAA found;
        const zx::unique_hfind search(
            FindFirstFileA((cacheFolder / (std::string("*") + kCacheExtension)).Str().c_str(), &found));
        if (search) {
            do {
                if (found.nFileSizeLow != 0 || found.nFileSizeHigh != 0) m_indexDamaged = true;
            } while (!m_indexDamaged && FindNextFileA(search.get(), &found));
        }
        return false;
    }
    DeserializeIndex(archive);
    return true;
}

bool CFolderCacheFactory::IsIndexDamaged() const {
    zx::critical_section_guard lock(m_lock);
    return m_indexDamaged;
}

void CFolderCacheFactory::DeserializeIndex(ZxMemoryArchive& archive) {
    // Read into an index of our own: a read that throws half-way (out of memory) leaves the index as it
    // was. An index short of entries would give every pair it lost a new, empty cache.
    std::map<ZxSBinary, std::string> index;
    int32_t version = 0;
    int32_t count = 0;
    bool damaged = !archive.ReadSized(version) || !archive.ReadSized(count) || version != kIndexVersion || count < 0;
    // The count is only a promise: a damaged file ends the loop where its data ends.
    int32_t read = 0;
    for (; read < count && archive.Remaining() > 0; ++read) {
        ZxSBinary key;
        std::string name;
        if (!ReadWholeBinary(archive, key) || !archive.ReadString(name)) break;
        if (!IsPlainFileName(name) || !key.HasData() || index.count(key)) {
            damaged = true;
            if (!IsPlainFileName(name)) continue;
        }
        index.insert_or_assign(std::move(key), std::move(name));
    }
    if (read != count || archive.Remaining() != 0) damaged = true;
    zx::critical_section_guard lock(m_lock);
    m_index.swap(index);
    m_indexDamaged = damaged;
}

void CFolderCacheFactory::SerializeIndex(ZxMemoryArchive& archive) const {
    zx::critical_section_guard lock(m_lock);
    archive.WriteInt32(kIndexVersion);
    archive.WriteInt32(static_cast<int32_t>(m_index.size()));
    for (const auto& entry : m_index) {
        WriteBinary(archive, entry.first);
        archive.WriteString(entry.second);
    }
}

bool CFolderCacheFactory::SaveIndex() {
    zx::critical_section_guard lock(m_lock);
    ZxMemoryArchive archive;
    SerializeIndex(archive);
    const std::string path = (ZxFsPath(GetCacheFolder()) / kIndexFileName).Str();
    if (!archive.SaveToFile(path)) {
        GetLogFile().LogErrorFormat("Cannot save cache index '%s'.", path.c_str());
        return false;
    }
    return true;
}

std::string CFolderCacheFactory::NewCacheFileName(const std::string& cacheFolder, const ZxIMAPIFolder& folderA) {
    std::string displayName;
    if (FAILED(folderA.GetPropString(PR_DISPLAY_NAME_A, displayName))) displayName.clear();
    // The whole path stays within MAX_PATH, whatever the length of the folder's name.
    const size_t used = cacheFolder.size() + 1 + kNameSuffixRoom;
    const size_t room = used < MAX_PATH - 1 ? MAX_PATH - 1 - used : 0;
    const std::string base = MakeFileBaseName(displayName, std::max<size_t>(std::min(room, kMaxBaseLength), 10));
    ZxFsPath path = ZxFsPath(cacheFolder) / (base + kCacheExtension);
    for (int attempt = 0; PathExists(path.Str()); ++attempt) {
        if (attempt == kNameAttempts)
            ZX_THROW_TEXT_HERE(ZxFormat(ZxLoadString(IDS_NO_CACHE_FILE_NAME).c_str(), displayName.c_str(),
                                        cacheFolder.c_str()));
        SeedRandomOnce();
        path = ZxFsPath(cacheFolder) / (base + std::to_string(std::rand()) + kCacheExtension);
    }
    return path.FileName();
}

CRefCountPtr<CFolderCache> CFolderCacheFactory::GetCache(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB) {
    zx::critical_section_guard lock(m_lock);
    const ZxSBinary key = GetCacheKey(folderA, folderB);
    const auto loaded = m_loadedCaches.find(key);
    if (loaded != m_loadedCaches.end()) return loaded->second;

    const std::string cacheFolder = GetCacheFolder();
    const auto indexed = m_index.find(key);
    std::string name = indexed == m_index.end() ? std::string() : indexed->second;
    if (name.empty() || !FileExists((ZxFsPath(cacheFolder) / name).Str())) {
        name = NewCacheFileName(cacheFolder, folderA);
        // The empty file takes the name before the index records it.
        ZxFileWrite reserve((ZxFsPath(cacheFolder) / name).Str(), FILE_SHARE_READ);
        m_index[key] = name;
        SaveIndex();
        reserve.Close();
    }

    // Only a cache that loaded in full joins the loaded caches: a half-loaded one must never be handed
    // to a later pair of the run, nor saved by it.
    CRefCountPtr<CFolderCache> cache(new CFolderCache((ZxFsPath(cacheFolder) / name).Str()));
    cache->Load();
    m_loadedCaches.emplace(key, cache);
    return cache;
}

CRefCountPtr<CFolderCache> CFolderCacheFactory::GetCache(const ZxSBinary& entryIdA, const ZxSBinary& entryIdB,
                                                         const ZxIMAPIFolder& folderA) {
    zx::critical_section_guard lock(m_lock);
    const ZxSBinary key = MakeCacheKey(entryIdA, entryIdB);
    const auto loaded = m_loadedCaches.find(key);
    if (loaded != m_loadedCaches.end()) return loaded->second;

    const ZxFsPath cacheFolder(GetCacheFolder());
    const auto indexed = m_index.find(key);
    std::string name = indexed == m_index.end() ? std::string() : indexed->second;
    // The index names a file that is gone: the state was recorded once and is lost now.
    const bool lost = !name.empty() && !FileExists((cacheFolder / name).Str());
    if (name.empty() || lost) {
        const std::string previous = name;
        name = NewCacheFileName(cacheFolder.Str(), folderA);
        const std::string path = (cacheFolder / name).Str();
        // The empty file takes the name before the index records it.
        ZxFileWrite reserve(path, FILE_SHARE_READ);
        if (!reserve.IsOpen()) ThrowCannotRecord(path);
        m_index[key] = name;
        if (!SaveIndex()) {
            // Nothing of this attempt stays: the next run meets the same state and tries again.
            if (previous.empty())
                m_index.erase(key);
            else
                m_index[key] = previous;
            reserve.Close();
            DeleteFileA(path.c_str());
            ThrowCannotRecord((cacheFolder / kIndexFileName).Str());
        }
        reserve.Close();
    }

    const std::string path = (cacheFolder / name).Str();
    CRefCountPtr<CFolderCache> cache(new CFolderCache(path));
    cache->Load();
    if (lost) cache->MarkDamaged();
    if (!cache->Reserve()) ThrowCannotRecord(path);
    m_loadedCaches.emplace(key, cache);
    return cache;
}

void CFolderCacheFactory::ThrowCannotRecord(const std::string& path) {
    ZX_THROW_TEXT_HERE(ZxFormat(ZxLoadString(IDS_CANNOT_RECORD_STATE).c_str(), path.c_str()));
}

bool CFolderCacheFactory::HoldsStateUnderAnotherKey(const ZxSBinary& entryIdA, const CChangedItems& items) {
    zx::critical_section_guard lock(m_lock);
    if (items.empty() || !entryIdA.HasData()) return false;
    const ZxFsPath cacheFolder(GetCacheFolder());
    for (const auto& entry : m_index) {
        const ZxSBinary& key = entry.first;
        if (key.Size() >= entryIdA.Size() && std::memcmp(key.Data(), entryIdA.Data(), entryIdA.Size()) == 0) continue;
        if (m_loadedCaches.count(key)) continue;
        CFolderCache other((cacheFolder / entry.second).Str());
        if (!other.Load()) continue;
        for (const CChangedItems::Item item : items)
            if (other.FindByRecordKey(item.RecordKey())) return true;
    }
    return false;
}

bool CFolderCacheFactory::HasCache(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB) {
    zx::critical_section_guard lock(m_lock);
    const auto indexed = m_index.find(GetCacheKey(folderA, folderB));
    if (indexed == m_index.end()) return false;
    return FileExists((ZxFsPath(GetCacheFolder()) / indexed->second).Str());
}

void CFolderCacheFactory::RemoveCache(const ZxSBinary& entryIdA, const ZxSBinary& entryIdB) {
    zx::critical_section_guard lock(m_lock);
    const ZxSBinary key = MakeCacheKey(entryIdA, entryIdB);
    m_loadedCaches.erase(key);
    const auto indexed = m_index.find(key);
    if (indexed == m_index.end()) return;
    DeleteFileA((ZxFsPath(GetCacheFolder()) / indexed->second).Str().c_str());
    m_index.erase(indexed);
    SaveIndex();
}
