#pragma once
// The folder scanner: reads record key, entry id and modification time of every item of a folder's
// contents table (200 rows a batch) and compares them with the folder's state cache.
//
// The scan marks the cache's items it saw (the deletion pass reads the marks) and otherwise only
// records what it saw; it never writes a new modification time into the cache. A change
// must stay pending until it has been carried to the other folder: the synchronizer commits an item's
// time (the changed item's own) only after the copy was saved, so a change that failed or was cancelled
// is seen again at the next run.
//
// A row without record key is logged and skipped. A row with a record key that fails another check
// (no entry id, no time) is logged, but its record key still counts as seen, so that the deletion pass
// never deletes the counterpart of an item that is still in the folder; it adds nothing else.
#include <windows.h>
#include <mapix.h>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/RefCounted.h"
#include "engine/ChangedItems.h"
#include "engine/FolderCache.h"
#include "engine/MAPITableWalker.h"
#include "engine/StatusWindow.h"
#include "mapi/Binary.h"
#include "mapi/MAPIProps.h"

class CFolderTableWalker : public CMAPITableWalker {
public:
    static constexpr int kBatchSize = 200;
    // Column positions.
    enum Column : ULONG { kLongTermEntryId = 0, kEntryId, kModificationTime, kRecordKey, kSubject, kColumnCount };

    using ChangedItems = CChangedItems; // record key, entry id and scanned time, in record-key order
    using RecordKeys = std::set<ZxSBinary>;
    using PairIds = std::set<std::string>;
    using ScannedTimes = std::map<ZxSBinary, FILETIME>; // record key -> time seen now

    // `table` is the folder's contents table (flags 0); `folderName` appears only in log lines.
    CFolderTableWalker(IMAPITable* table, const ZxIMAPIFolder& folder, const CRefCountPtr<CFolderCache>& cache,
                       const std::string& folderName);
    ~CFolderTableWalker() override;

    // Forgets what the cache's items were seen by an earlier scan, then walks the table.
    void Proceed() override;
    // Never throws for a bad row: the failure is logged and the row skipped. Always true. Running out of
    // memory is no bad row: std::bad_alloc leaves the walk.
    bool OnRowFetched(const SRow& row) override;
    // Saves the cache (it writes only when dirty).
    void OnTableEnd() override;
    // Between batches the status (when one was given) may give the thread way to the user.
    void OnBatchEnd() override;
    void SetStatusWindow(IStatusWindow* status) { m_status = status; }

    // New items and items whose time differs from the cached one (earlier times too), each with its
    // current modification time.
    const ChangedItems& GetChangedItems() const { return m_changedItems; }
    // Record keys of every row that had one. The cache's items among them are marked seen in the cache
    // itself (what the deletion pass reads); this set is made when asked for.
    RecordKeys GetSeenRecordKeys() const;
    // The number of rows that had a record key.
    size_t GetSeenRows() const { return m_rows.size(); }
    // Pair identifiers of changed items that the cache already knew.
    const PairIds& GetChangedPairIds() const { return m_changedPairIds; }
    // Rows that failed a check (each logged): items this run could not take into account.
    int GetFailedRows() const { return m_failedRows; }
    // Rows whose record key the cache knew.
    size_t GetKnownRows() const { return m_knownRows; }
    // The current modification time of every row that passed all checks; made when asked for.
    ScannedTimes GetScannedTimes() const;
    // The changed items handed over to a user that changes them (the synchronizer); the walker keeps
    // none of them afterwards. Taking them needs no memory.
    ChangedItems TakeChangedItems() { return std::move(m_changedItems); }

private:
    // A row with a record key: the key's bytes in the walker's pool, and its time when the row passed
    // every check. Rows are kept flat: a scan takes no memory per row beyond them.
    struct Row {
        uint32_t recordKey = 0, recordKeySize = 0;
        FILETIME time{};
        bool timed = false;
    };

    void ScanRow(const SRow& row);

    CRefCountPtr<CFolderCache> m_cache;
    ChangedItems m_changedItems;
    PairIds m_changedPairIds;
    std::string m_folderName;
    std::vector<Row> m_rows;
    std::vector<BYTE> m_rowKeys;
    int m_failedRows = 0;
    size_t m_knownRows = 0;
    IStatusWindow* m_status = nullptr;
};
