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
#include "engine/ChangedItems.h"
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
    // Whether the last LoadIndex met an index that did not read back as written, or found none while
    // cache files exist: caches it no longer names cannot be told from new ones.
    bool IsIndexDamaged() const;
    // Writes "cache.index", replacing it atomically; a failure is logged as an error and returns false.
    bool SaveIndex();

    // The cache of folder A relative to folder B, created and loaded on first use. A cache whose load
    // throws is not kept: the next call loads it afresh.
    CRefCountPtr<CFolderCache> GetCache(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB);
    // The same for a run, keyed by the folders' entry ids as the caller read them (`folderA` names a new
    // file). Before the cache is handed back, its index entry is on disk and its file is written or can
    // be replaced: a pair never acts on state it cannot record. When that fails, throws ZxExceptionText
    // naming the file that cannot be written, and no cache is kept.
    CRefCountPtr<CFolderCache> GetCache(const ZxSBinary& entryIdA, const ZxSBinary& entryIdB,
                                        const ZxIMAPIFolder& folderA);
    // Whether a cache file that the index names under a key that is not folder A's (one that does not
    // start with A's entry id) holds one of these items of folder A by record key: A's state was
    // recorded once under a key that is damaged now. Reads only files of such keys that exist.
    bool HoldsStateUnderAnotherKey(const ZxSBinary& entryIdA, const CChangedItems& items);
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
    // and every byte from 0x80 up become underscores; a base that Windows would take for a device
    // ("Con.Edison", "LPT1.txt") gets an underscore in front; a base longer than `maxLength` is cut and
    // ends in a hash of the whole name.
    static std::string MakeFileBaseName(const std::string& displayName, size_t maxLength = kMaxBaseLength);
    // How many names NewCacheFileName tries before it gives up.
    static constexpr int kNameAttempts = 1000;
    static constexpr size_t kMaxBaseLength = 100;

private:
    [[noreturn]] static void ThrowCannotRecord(const std::string& path);
    // A free name for a new cache file of folder A: its display name made fit, then with random numbers,
    // never a device. Throws ZxExceptionText naming the folder when no free name turns up.
    std::string NewCacheFileName(const std::string& cacheFolder, const ZxIMAPIFolder& folderA);

    std::map<ZxSBinary, CRefCountPtr<CFolderCache>> m_loadedCaches;
    mutable zx::critical_section m_lock;
    std::string m_profileName;
    std::map<ZxSBinary, std::string> m_index;
    bool m_indexDamaged = false;
};
