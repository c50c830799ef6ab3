#pragma once
// What a pair's run changed in its two state caches since they were last saved, appended to a file
// beside them while it happens, so that a run that was killed (Outlook ended, power lost, a reboot)
// leaves the next run the state it had reached: copies already saved are known to both caches,
// deletions already carried are forgotten, and a copy saved just before the kill, before it could be
// recorded, is recognised by its copy mark (engine/CopyMark). Once both caches are saved the journal
// says nothing new and is deleted.
//
// The file is named after the cache file whose name sorts first, followed by ".journal", so that
// either order of the pair finds it. It is a sequence of records, each: 4 bytes payload size, 4 bytes
// checksum of the payload (FNV-1a), the payload written with the archive primitives:
//   WriteInt32 kind, then
//   header (always first): WriteString cache file name of side 0, of side 1
//   copying (before a new copy is saved): WriteInt32 source side, WriteString pair id,
//     WriteBinary source entry id, source record key, WriteFileTime scanned time
//   copied (after a copy is saved): as copying, then WriteBinary target entry id, target record key,
//     WriteFileTime target time
//   deleted (after a counterpart was deleted): WriteInt32 source side, WriteString pair id,
//     WriteBinary source record key
// A record cut short or with a wrong checksum ends the journal (a write the kill interrupted).
//
// Only a copy that is begun must be on the file before it exists (the record of a copy begun is what
// sends the next run looking for its mark). Every other record waits in memory and goes out with the
// next copy begun, on Flush, or when the journal is destroyed: a kill that loses one costs the next
// run a little work and nothing else (a copy saved is found by its mark, a deletion carried is asked
// for again and the store answers that the message is gone, an overwrite is settled as a conflict
// between two equal versions).
#include <windows.h>
#include <string>
#include <vector>

#include "base/RefCounted.h"
#include "base/Resource.h"
#include "engine/FolderCache.h"
#include "mapi/Binary.h"

class ZxMemoryArchive;

class CPairJournal {
public:
    // A copy that was begun (its target made) but never recorded as saved.
    struct PendingCopy {
        int sourceSide = 0; // 0: from cache 1's folder into cache 2's, 1: the other way
        std::string pairId;
        ZxSBinary sourceEntryId;
        ZxSBinary sourceRecordKey;
        FILETIME scannedTime{};
    };

    // The journal of the pair whose caches are `cache1` (folder 1 relative to folder 2) and `cache2`.
    CPairJournal(const std::string& cacheFolder, const CRefCountPtr<CFolderCache>& cache1,
                 const CRefCountPtr<CFolderCache>& cache2);
    // Writes the records that wait (a failure is logged).
    ~CPairJournal();
    CPairJournal(const CPairJournal&) = delete;
    CPairJournal& operator=(const CPairJournal&) = delete;

    // Applies a journal that a stopped run left to both caches (which then are dirty) and returns the
    // copies it began and did not record as done. No journal: nothing changes.
    std::vector<PendingCopy> Replay();
    // Opens the journal for appending (writing its header when it is new). Throws ZxExceptionText
    // naming the file when it cannot be written: a pair never acts on state it cannot record.
    void Open();

    // Each records one change, or throws ZxExceptionText naming the file when it cannot be written
    // (Copying writes at once, the others when the next write goes out).
    // `source` is the cache of the folder the change comes from (cache 1 or cache 2).
    void Copying(const CFolderCache* source, const std::string& pairId, const SBinary& sourceEntryId,
                 const SBinary& sourceRecordKey, const FILETIME& scannedTime);
    void Copied(const CFolderCache* source, const std::string& pairId, const SBinary& sourceEntryId,
                const SBinary& sourceRecordKey, const FILETIME& scannedTime, const SBinary& targetEntryId,
                const SBinary& targetRecordKey, const FILETIME& targetTime);
    void Deleted(const CFolderCache* source, const std::string& pairId, const SBinary& sourceRecordKey);

    // Writes the records that wait; throws as the records do.
    void Flush();
    // Closes and deletes the journal (records that wait included): both caches hold everything it
    // says. A journal that cannot be deleted stays (replaying it again changes nothing) and is logged.
    void Discard();

    std::string GetPath() const { return m_path; }
    bool Exists() const;

private:
    enum Kind : int32_t { kHeader = 1, kCopying = 2, kCopied = 3, kDeleted = 4 };
    int SideOf(const CFolderCache* source) const;
    // The fields a copy's two records share.
    static void WriteCopy(ZxMemoryArchive& payload, int32_t kind, int side, const std::string& pairId,
                          const SBinary& sourceEntryId, const SBinary& sourceRecordKey, const FILETIME& scannedTime);
    void Append(const ZxMemoryArchive& payload, bool now);
    [[noreturn]] void ThrowCannotWrite() const;

    std::string m_path;
    std::string m_name1, m_name2; // the caches' file names
    CRefCountPtr<CFolderCache> m_cache1, m_cache2;
    zx::unique_hfile m_file;
    std::vector<BYTE> m_unwritten; // whole records, in order, not on the file yet
};
