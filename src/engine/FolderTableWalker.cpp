#include "engine/FolderTableWalker.h"

#include "base/Errors.h"
#include "base/LogFile.h"
#include "mapi/MAPITags.h"

#include <new>

namespace {

const char kOnRowFetched[] = "CFolderTableWalker::OnRowFetched";

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

ZxSBinary BinaryOf(const SPropValue* value) {
    if (!value || value->Value.bin.cb == 0 || !value->Value.bin.lpb) return ZxSBinary();
    return ZxSBinary(value->Value.bin);
}

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
        // Folder name and subject are data: they travel as arguments, never as the format.
        GetLogFile().LogErrorFormat("Error scanning folder '%s' on item '%s' : %s", m_folderName.c_str(), subject,
                                    e.GetErrorText().c_str());
    } catch (...) {
        GetLogFile().LogErrorFormat("Unknown error scanning folder '%s' on item '%s'", m_folderName.c_str(), subject);
    }
    return true;
}

void CFolderTableWalker::ScanRow(const SRow& row) {
    ZxSBinary recordKey = BinaryOf(ColumnValue(row, kRecordKey, PR_RECORD_KEY));
    if (!recordKey.HasData()) ZX_THROW_TEXT_IN("Missing property PR_RECORD_KEY", kOnRowFetched);
    // Seen before the other checks: an item that is present must never pass for deleted.
    m_seenRecordKeys.insert(recordKey);

    // The entry id is copied only for a changed item: the row's value serves until then.
    const SPropValue* entryId = ColumnValue(row, kLongTermEntryId, PR_LONGTERM_ENTRYID_FROM_TABLE);
    if (!HasBytes(entryId)) entryId = ColumnValue(row, kEntryId, PR_ENTRYID);
    if (!HasBytes(entryId)) ZX_THROW_TEXT_IN("Missing property PR_ENTRYID", kOnRowFetched);

    const SPropValue* timeValue = ColumnValue(row, kModificationTime, PR_LAST_MODIFICATION_TIME);
    if (!timeValue) ZX_THROW_TEXT_IN("Missing property PR_LAST_MODIFICATION_TIME", kOnRowFetched);
    const FILETIME time = timeValue->Value.ft;

    const CRefCountPtr<CCacheItem> item = m_cache ? m_cache->FindByRecordKey(recordKey) : CRefCountPtr<CCacheItem>();
    const bool changed = !item || FileTimesDiffer(item->GetModificationTime(), time);
    if (!changed) {
        m_scannedTimes.insert_or_assign(std::move(recordKey), time);
        return;
    }
    ZxSBinary entryIdCopy = BinaryOf(entryId);
    m_scannedTimes[recordKey] = time;
    // The cached time stays as it is until the change has been carried across.
    m_changedItems.insert_or_assign(std::move(recordKey), std::move(entryIdCopy));
    if (item) m_changedPairIds.insert(item->PairId());
}

void CFolderTableWalker::OnTableEnd() {
    if (m_cache) m_cache->Save();
}
