#pragma once
// One item of a folder state cache: how an item of the folder looked at the end of the previous run.
#include <windows.h>
#include <atomic>
#include <string>

#include "base/RefCounted.h"
#include "mapi/Binary.h"

class CCacheItem : public CRefCountedT<FreeThreadedModel> {
public:
    CCacheItem();
    CCacheItem(const ZxSBinary& entryId, const ZxSBinary& recordKey, const FILETIME& modificationTime,
               const std::string& pairId);
    // Takes the identifiers over instead of copying them (no memory needed for them).
    CCacheItem(ZxSBinary&& entryId, ZxSBinary&& recordKey, const FILETIME& modificationTime, std::string&& pairId);
    CCacheItem(const CCacheItem&) = delete;
    CCacheItem& operator=(const CCacheItem&) = delete;

    ZxSBinary GetEntryId() const;
    ZxSBinary GetRecordKey() const;
    std::string GetPairId() const;
    // The identifiers without a copy (a copy needs memory and may fail), for the cache's maps and its
    // file. They are fixed when the item is made, so no lock is needed to read them.
    const ZxSBinary& EntryId() const { return m_entryId; }
    const ZxSBinary& RecordKey() const { return m_recordKey; }
    const std::string& PairId() const { return m_pairId; }
    FILETIME GetModificationTime() const;
    // Changes the time only; the owner of the cache marks it dirty itself.
    void SetModificationTime(const FILETIME& modificationTime);

private:
    ZxSBinary m_entryId;
    ZxSBinary m_recordKey;
    std::string m_pairId;
    // The one field that changes: read and written whole, without a lock (a critical section per
    // item costs a heap block each, and there is one item per item of the folder).
    std::atomic<ULONGLONG> m_modificationTime{0};
};

// Whether two times differ in either 32-bit half.
inline bool FileTimesDiffer(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime != b.dwLowDateTime || a.dwHighDateTime != b.dwHighDateTime;
}
