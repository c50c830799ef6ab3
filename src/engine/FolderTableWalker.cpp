#include "engine/FolderTableWalker.h"

#include "base/Errors.h"
#include "base/LogFile.h"
#include "mapi/MAPITags.h"

#include <new>

namespace {

CMAPITagsArray FolderColumns() {
    return CMAPITagsArray{CPropTag(PR_LONGTERM_ENTRYID_FROM_TABLE), CPropTag(PR_ENTRYID),
                          CPropTag(PR_LAST_MODIFICATION_TIME), CPropTag(PR_RECORD_KEY), CPropTag(PR_SUBJECT_A)};
}

// The value at a column position when it carries exactly `tag` (a column the provider could not
// supply comes back error-typed), else null.
const SPropValue* ColumnValue(const SRow& row, ULONG column, ULONG tag) {
    if (!row.lpProps || column >= row.cValues) return nullptr;
    const SPropValue& value = row.lpProps[column];
    return value.ulPropTag == tag ? &value : nullptr;
}

bool HasBytes(const SPropValue* value) { return value && value->Value.bin.cb != 0 && value->Value.bin.lpb; }

} // namespace

CFolderTableWalker::CFolderTableWalker(IMAPITable* table, const ZxIMAPIFolder& folder,
                                       const CRefCountPtr<CFolderCache>& cache, const std::string& folderName)
    : CMAPITableWalker(FolderColumns(), table, folder, kBatchSize), m_cache(cache), m_folderName(folderName) {}

CFolderTableWalker::~CFolderTableWalker() = default;

bool CFolderTableWalker::OnRowFetched(const SRow& row) {
    // Read in place: the subject is needed only for a log line, and the row outlives them.
    const char* subject = "";
    if (const SPropValue* value = ColumnValue(row, kSubject, PR_SUBJECT_A); value && value->Value.lpszA)
        subject = value->Value.lpszA;
    try {
        ScanRow(row);
    } catch (const std::bad_alloc&) {
        // Out of memory is no fault of this item, and a scan that went on without it could miss items
        // that are there (and let their counterparts be deleted): the scan fails instead.
        throw;
    } catch (const Error::ZxException& e) {
        ++m_failedRows;
        // Folder name and subject are data: they travel as arguments, never as the format.
        GetLogFile().LogErrorFormat("Error scanning folder '%s' on item '%s' : %s", m_folderName.c_str(), subject,
                                    e.GetErrorText().c_str());
    } catch (...) {
        ++m_failedRows;
        GetLogFile().LogErrorFormat("Unknown error scanning folder '%s' on item '%s'", m_folderName.c_str(), subject);
    }
    return true;
}

void CFolderTableWalker::Proceed() {
    m_rows.clear();
    m_rowKeys.clear();
    if (m_cache) m_cache->ClearSeen();
    CMAPITableWalker::Proceed();
    // Sorted once, after the walk, rather than kept in order row by row.
    m_changedItems.Seal();
}

void CFolderTableWalker::ScanRow(const SRow& row) {
    // Read in place: only a changed item's identifiers are copied.
    const SPropValue* recordKey = ColumnValue(row, kRecordKey, PR_RECORD_KEY);
    if (!HasBytes(recordKey)) ZX_THROW_TEXT_HERE("Missing property PR_RECORD_KEY");
    const SBinary& key = recordKey->Value.bin;
    // Seen before the other checks: an item that is present must never pass for deleted.
    Row seen;
    seen.recordKey = static_cast<uint32_t>(m_rowKeys.size());
    seen.recordKeySize = key.cb;
    m_rowKeys.insert(m_rowKeys.end(), key.lpb, key.lpb + key.cb);
    m_rows.push_back(seen);
    FILETIME cachedTime{};
    const bool known = m_cache && m_cache->FindForScan(key, cachedTime);

    const SPropValue* entryId = ColumnValue(row, kLongTermEntryId, PR_LONGTERM_ENTRYID_FROM_TABLE);
    if (!HasBytes(entryId)) entryId = ColumnValue(row, kEntryId, PR_ENTRYID);
    if (!HasBytes(entryId)) ZX_THROW_TEXT_HERE("Missing property PR_ENTRYID");

    const SPropValue* timeValue = ColumnValue(row, kModificationTime, PR_LAST_MODIFICATION_TIME);
    if (!timeValue) ZX_THROW_TEXT_HERE("Missing property PR_LAST_MODIFICATION_TIME");
    const FILETIME time = timeValue->Value.ft;
    m_rows.back().time = time;
    m_rows.back().timed = true;

    if (known) ++m_knownRows;
    if (known && !FileTimesDiffer(cachedTime, time)) return;
    // The cached time stays as it is until the change has been carried across.
    m_changedItems.Add(key, entryId->Value.bin, time);
    if (known) m_changedPairIds.insert(m_cache->GetPairId(key));
}

CFolderTableWalker::RecordKeys CFolderTableWalker::GetSeenRecordKeys() const {
    RecordKeys keys;
    for (const Row& row : m_rows) keys.insert(ZxSBinary(row.recordKeySize, m_rowKeys.data() + row.recordKey));
    return keys;
}

CFolderTableWalker::ScannedTimes CFolderTableWalker::GetScannedTimes() const {
    ScannedTimes times;
    for (const Row& row : m_rows)
        if (row.timed) times.insert_or_assign(ZxSBinary(row.recordKeySize, m_rowKeys.data() + row.recordKey), row.time);
    return times;
}

void CFolderTableWalker::OnTableEnd() {
    if (m_cache) m_cache->Save();
}

void CFolderTableWalker::OnBatchEnd() {
    if (m_status) m_status->GiveWay();
}
