#pragma once
// The folder state caches of one MAPI profile: maps cache keys (A's entry id followed by B's) to cache
// files through "cache.index" in the profile's cache folder, and loads each cache at most once.
//   cache.index: WriteInt32 1, WriteInt32 count, then per entry in key order: WriteBinary key,
//   WriteString file name (name only, no folder).
// The cache folder is <add-in data folder>\Cache\<profile name> ("Cache" itself for an empty name),
// created whenever a path inside it is formed.
#include <map>
#include <string>

#include "base/RefCounted.h"
#include "base/Resource.h"
#include "engine/FolderCache.h"
#include "mapi/Binary.h"
#include "mapi/MAPIProps.h"

class CFolderCacheFactory : public CRefCountedT<SingleThreadedModel> {
public:
    explicit CFolderCacheFactory(std::string profileName);
    ~CFolderCacheFactory() override;
    CFolderCacheFactory(const CFolderCacheFactory&) = delete;
    CFolderCacheFactory& operator=(const CFolderCacheFactory&) = delete;

    // Reads "cache.index". A missing or empty file leaves the index as it is and returns false. A
    // damaged file is read as far as whole entries go; entries whose name is no plain file name are
    // dropped. The index is replaced only once the whole file was read: a throw leaves it as it was.
    bool LoadIndex();
    // Writes "cache.index", replacing it atomically; a failure is logged as an error and returns false.
    bool SaveIndex();

    // The cache of folder A relative to folder B, created and loaded on first use. A cache whose load
    // throws is not kept: the next call loads it afresh.
    CRefCountPtr<CFolderCache> GetCache(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB);
    // Whether the index names a cache file for A relative to B and that file exists.
    bool HasCache(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB);
    // Forgets the cache of A relative to B and deletes its file.
    void RemoveCache(const ZxSBinary& entryIdA, const ZxSBinary& entryIdB);
    // The cache folder, created when missing.
    std::string GetCacheFolder();

    const std::string& GetProfileName() const { return m_profileName; }
    // The index file's bytes, and reading them back (what SaveIndex and LoadIndex do around the file).
    void SerializeIndex(ZxMemoryArchive& archive) const;
    void DeserializeIndex(ZxMemoryArchive& archive);
    // A copy of the index: cache key to file name.
    std::map<ZxSBinary, std::string> GetIndex() const;

    // A's bytes followed by B's.
    static ZxSBinary MakeCacheKey(const ZxSBinary& entryIdA, const ZxSBinary& entryIdB);
    // The cache key of two opened folders from their PR_ENTRYID (an unreadable one adds no bytes).
    static ZxSBinary GetCacheKey(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB);
    // A display name made fit for a file name: \ / : * ? " < > | tab CR LF, any other byte below 0x20
    // and every byte from 0x80 up become underscores.
    static std::string MakeFileBaseName(const std::string& displayName);

private:
    std::string NewCacheFileName(const std::string& cacheFolder, const ZxIMAPIFolder& folderA);

    std::map<ZxSBinary, CRefCountPtr<CFolderCache>> m_loadedCaches;
    mutable zx::critical_section m_lock;
    std::string m_profileName;
    std::map<ZxSBinary, std::string> m_index;
};
