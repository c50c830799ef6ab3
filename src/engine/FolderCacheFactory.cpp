#include "engine/FolderCacheFactory.h"

#include "base/Archive.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "engine/CacheRead.h"

#include <cstdlib>
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
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

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
    if (!m_profileName.empty()) folder.Append(m_profileName);
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

std::string CFolderCacheFactory::MakeFileBaseName(const std::string& displayName) {
    std::string base = displayName;
    for (char& c : base) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::string("\\/:*?\"<>|\t\r\n").find(c) != std::string::npos || byte < 0x20 || byte >= 0x80) c = '_';
    }
    return base;
}

bool CFolderCacheFactory::LoadIndex() {
    zx::critical_section_guard lock(m_lock);
    ZxMemoryArchive archive;
    if (!archive.LoadFromFile((ZxFsPath(GetCacheFolder()) / kIndexFileName).Str())) return false;
    DeserializeIndex(archive);
    return true;
}

void CFolderCacheFactory::DeserializeIndex(ZxMemoryArchive& archive) {
    // Read into an index of our own: a read that throws half-way (out of memory) leaves the index as it
    // was. An index short of entries would give every pair it lost a new, empty cache.
    std::map<ZxSBinary, std::string> index;
    int32_t version = 0;
    int32_t count = 0;
    archive.ReadSized(version);
    archive.ReadSized(count);
    // The count is only a promise: a damaged file ends the loop where its data ends.
    for (int32_t i = 0; i < count && archive.Remaining() > 0; ++i) {
        ZxSBinary key;
        std::string name;
        if (!ReadWholeBinary(archive, key) || !archive.ReadString(name)) break;
        if (!IsPlainFileName(name)) continue;
        index.insert_or_assign(std::move(key), std::move(name));
    }
    zx::critical_section_guard lock(m_lock);
    m_index.swap(index);
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
    const std::string base = MakeFileBaseName(displayName);
    ZxFsPath path = ZxFsPath(cacheFolder) / (base + kCacheExtension);
    while (PathExists(path.Str())) {
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
