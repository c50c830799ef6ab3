#include "engine/Synchronizer.h"

#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "base/Errors.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/StringTable.h"
#include "mapi/MAPITags.h"
#include "resources/StringIds.h"

namespace {

const char kProceed[] = "CSynchronizer::Proceed";
const char kPropagateChanges[] = "CSynchronizer::PropagateChanges";
const char kSearchConflicts[] = "CSynchronizer::SearchConflicts";

using Microsoft::WRL::ComPtr;

// A text of the string table with untrusted values (names, subjects) as its %s arguments.
template <class... Strings>
std::string TextOf(unsigned id, const Strings&... values) {
    return ZxFormat(ZxLoadString(id).c_str(), values.c_str()...);
}

// A call that "succeeded" without handing out its object still failed.
HRESULT FailureOf(HRESULT hr) { return FAILED(hr) ? hr : MAPI_E_CALL_FAILED; }

// The time the scan saw for an item it reported as changed. The scan records a time for every such
// item, so a missing one means the scan's results do not belong together: nothing is carried then.
FILETIME ScannedTime(const CSynchronizer::ScannedTimes& times, const ZxSBinary& recordKey, const char* function) {
    const auto found = times.find(recordKey);
    if (found == times.end()) ZX_THROW_TEXT_IN("The scan holds no time for a changed item.", function);
    return found->second;
}

ULONGLONG TimeValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::string DisplayName(const ZxIMAPIFolder& folder) {
    std::string name;
    if (FAILED(folder.GetPropString(PR_DISPLAY_NAME_A, name))) name.clear();
    return name;
}

HRESULT OpenMessage(const ZxIMAPIFolder& folder, const ZxSBinary& entryId, ZxIMessage& message) {
    message.Reset();
    if (folder.IsNull()) return E_FAIL;
    return folder.OpenEntry(entryId, message, MAPI_BEST_ACCESS);
}

// Whether an open failed because the item no longer exists (rather than for a passing reason).
bool IsGoneResult(HRESULT hr) {
    return hr == MAPI_E_NOT_FOUND || hr == MAPI_E_OBJECT_DELETED || hr == MAPI_E_INVALID_ENTRYID;
}

// Whether the item that the cache knows by this entry id has really left the folder. An item the scan
// did not see may still be there (a row it could not read): its counterpart must not be deleted then.
// An entry id that cannot be tried leaves the scan's word standing.
bool IsItemGone(const ZxIMAPIFolder& folder, const ZxSBinary& entryId) {
    if (!entryId.HasData()) return true;
    ZxIMessage message;
    const HRESULT hr = OpenMessage(folder, entryId, message);
    return FAILED(hr) && IsGoneResult(hr);
}

void LogCannotOpenItem(const ZxSBinary& item, const std::string& folderName) {
    GetLogFile().LogError(TextOf(IDS_CANNOT_OPEN_ITEM, item.ToHex(), folderName));
}

CFolderTableWalker::PairIds Intersection(const CFolderTableWalker::PairIds& a, const CFolderTableWalker::PairIds& b) {
    CFolderTableWalker::PairIds both;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::inserter(both, both.end()));
    return both;
}

// Saving on the way out of a failed pair must not replace the failure that is on its way.
void SaveQuietly(const CRefCountPtr<CFolderCache>& cache) {
    if (!cache) return;
    try {
        cache->Save();
    } catch (...) {}
}

} // namespace

CSynchronizer::CSynchronizer(const CRefCountPtr<CAssocDesc>& pair,
                             const CRefCountPtr<CFolderCacheFactory>& cacheFactory, IStatusWindow* statusWindow)
    : m_pair(pair), m_cacheFactory(cacheFactory), m_statusWindow(statusWindow) {}

CSynchronizer::~CSynchronizer() = default;

void CSynchronizer::Proceed() {
    if (!m_pair) return;
    IStatusWindow& status = *m_statusWindow;
    const std::string name1 = m_pair->GetFolder1().GetFolderName();
    const std::string name2 = m_pair->GetFolder2().GetFolderName();
    const ZxIMAPIFolder folder1 = m_pair->GetFolder1().GetFolder();
    const ZxIMAPIFolder folder2 = m_pair->GetFolder2().GetFolder();
    CRefCountPtr<CFolderCache> cache1;
    CRefCountPtr<CFolderCache> cache2;
    try {
        status.ReportInfoFormat(IDS_SYNC_FOLDERS, name1.c_str(), name2.c_str());
        if (folder1.IsNull()) {
            status.ReportErrorFormat(IDS_CANNOT_OPEN_FOLDER, name1.c_str());
            return;
        }
        if (folder2.IsNull()) {
            status.ReportErrorFormat(IDS_CANNOT_OPEN_FOLDER, name2.c_str());
            return;
        }

        // The state of each folder relative to the other.
        cache1 = GetFolderCache(folder1, folder2, name1, name2);
        cache2 = GetFolderCache(folder2, folder1, name2, name1);

        // Both contents tables before either scan.
        ComPtr<IMAPITable> table1;
        HRESULT hr = folder1.GetContentsTable(0, table1);
        if (FAILED(hr) || !table1) ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_ACCESS_DENIED, name1));
        ComPtr<IMAPITable> table2;
        hr = folder2.GetContentsTable(0, table2);
        if (FAILED(hr) || !table2) ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_ACCESS_DENIED, name2));

        // Scanning.
        status.ReportInfoFormat(IDS_SCANNING_FOLDER, name1.c_str());
        const CRefCountPtr<CFolderTableWalker> walker1(new CFolderTableWalker(table1.Get(), folder1, cache1, name1));
        walker1->Proceed();
        status.ReportInfoFormat(IDS_SCANNING_FOLDER, name2.c_str());
        const CRefCountPtr<CFolderTableWalker> walker2(new CFolderTableWalker(table2.Get(), folder2, cache2, name2));
        walker2->Proceed();
        // The walkers live to the end of the pair: their results are taken over or read in place.
        ChangedItems changed1 = walker1->TakeChangedItems();
        ChangedItems changed2 = walker2->TakeChangedItems();
        const ScannedTimes& scannedTimes1 = walker1->GetScannedTimes();
        const ScannedTimes& scannedTimes2 = walker2->GetScannedTimes();

        // Searching for conflicts.
        status.ReportInfo(IDS_SEARCHING_CONFLICTS);
        const PairIds conflicting = Intersection(walker1->GetChangedPairIds(), walker2->GetChangedPairIds());
        SearchConflicts(conflicting, cache1, cache2, changed1, changed2, scannedTimes1, scannedTimes2);
        RecordKeys seen1 = walker1->TakeSeenRecordKeys();
        RecordKeys seen2 = walker2->TakeSeenRecordKeys();

        // Synchronization of changed items. Each direction adds what it wrote to the target's seen
        // record keys, so that the deletion pass does not take a fresh copy for a vanished item; the
        // changed items were taken before anything was written, so nothing travels back.
        status.ReportInfo(IDS_SYNC_CHANGED);
        const int changesIn2 =
            PropagateChanges(folder1, folder2, cache1, cache2, changed1, scannedTimes1, conflicting, seen2);
        const int changesIn1 =
            PropagateChanges(folder2, folder1, cache2, cache1, changed2, scannedTimes2, conflicting, seen1);

        // Synchronization of deleted items.
        status.ReportInfo(IDS_SYNC_DELETED);
        const int deletionsIn2 = PropagateDeletions(folder1, folder2, cache1, cache2, seen1, changed2);
        const int deletionsIn1 = PropagateDeletions(folder2, folder1, cache2, cache1, seen2, changed1);

        cache1->Save();
        cache2->Save();

        status.ReportInfo(IDS_SYNC_COMPLETE);
        status.ReportInfoFormat(IDS_SYNC_SUMMARY, changesIn1, deletionsIn1, name1.c_str());
        status.ReportInfoFormat(IDS_SYNC_SUMMARY, changesIn2, deletionsIn2, name2.c_str());
        // Two blank lines part this pair from the next, in the report and in the log.
        status.ReportInfo(std::string());
        status.ReportInfo(std::string());
    } catch (...) {
        // What the caches learned before the failure (copies made, deletions carried) stays learned.
        SaveQuietly(cache1);
        SaveQuietly(cache2);
        throw;
    }
}

void CSynchronizer::SearchConflicts(const PairIds& conflicting, const CRefCountPtr<CFolderCache>& cache1,
                                    const CRefCountPtr<CFolderCache>& cache2, ChangedItems& changed1,
                                    ChangedItems& changed2, const ScannedTimes& scannedTimes1,
                                    const ScannedTimes& scannedTimes2) {
    for (const std::string& pairId : conflicting) {
        m_statusWindow->ProcessMessages();
        const CRefCountPtr<CCacheItem> item1 = cache1->FindByPairId(pairId);
        const CRefCountPtr<CCacheItem> item2 = cache2->FindByPairId(pairId);
        if (!item1 || !item2) continue;
        // The items' current times as scanned: the cached times are those of the previous run.
        const ZxSBinary& recordKey1 = item1->RecordKey();
        const ZxSBinary& recordKey2 = item2->RecordKey();
        const ULONGLONG time1 = TimeValue(ScannedTime(scannedTimes1, recordKey1, kSearchConflicts));
        const ULONGLONG time2 = TimeValue(ScannedTime(scannedTimes2, recordKey2, kSearchConflicts));
        if (time1 > time2)
            changed2.erase(recordKey2); // folder 1's version overwrites folder 2's
        else
            changed1.erase(recordKey1); // folder 2's version wins, equal times too
    }
}

int CSynchronizer::PropagateChanges(const ZxIMAPIFolder& sourceFolder, const ZxIMAPIFolder& targetFolder,
                                    const CRefCountPtr<CFolderCache>& sourceCache,
                                    const CRefCountPtr<CFolderCache>& targetCache, const ChangedItems& changedItems,
                                    const ScannedTimes& sourceScannedTimes, const PairIds& settledConflicts,
                                    RecordKeys& targetSeenRecordKeys) {
    const std::string sourceName = DisplayName(sourceFolder);
    const std::string targetName = DisplayName(targetFolder);
    m_statusWindow->ShowProgress(static_cast<int>(changedItems.size()));
    int position = 0;
    int count = 0;
    for (const auto& [recordKey, entryId] : changedItems) {
        m_statusWindow->SetProgress(position++);
        const FILETIME scannedTime = ScannedTime(sourceScannedTimes, recordKey, kPropagateChanges);

        // The source item: known to the source cache (changed since the last run) or new. A new item's
        // entry waits until its copy is saved; only then does it join the source cache. It is made
        // ready beforehand, so that taking it in after the save cannot fail.
        CRefCountPtr<CCacheItem> sourceItem = sourceCache->FindByRecordKey(recordKey);
        CRefCountPtr<CCacheItem> newSourceItem;
        CFolderCache::PreparedItem newSourceEntry;
        ZxIMessage source;
        if (!sourceItem) {
            const HRESULT hr = OpenMessage(sourceFolder, entryId, source);
            if (FAILED(hr) || source.IsNull()) {
                LogCannotOpenItem(entryId, sourceName);
                continue;
            }
            newSourceItem = CRefCountPtr<CCacheItem>(new CCacheItem(entryId, recordKey, scannedTime, NewPairId()));
            newSourceEntry = CFolderCache::Prepare(newSourceItem);
        } else {
            const HRESULT hr = OpenMessage(sourceFolder, sourceItem->EntryId(), source);
            if (FAILED(hr) || source.IsNull()) {
                LogCannotOpenItem(recordKey, sourceName);
                continue;
            }
        }
        const std::string& pairId = (sourceItem ? sourceItem : newSourceItem)->PairId();

        // The target: the counterpart the target cache knows, overwritten in place, or a new message.
        CRefCountPtr<CCacheItem> targetItem = targetCache->FindByPairId(pairId);
        ZxIMessage target;
        if (targetItem) {
            const ZxSBinary& targetEntryId = targetItem->EntryId();
            const HRESULT hr =
                targetEntryId.HasData() ? OpenMessage(targetFolder, targetEntryId, target) : MAPI_E_NOT_FOUND;
            if (!(FAILED(hr) && IsGoneResult(hr)) && target.IsNull()) {
                // Still there but out of reach for now: a copy beside it would leave its old version
                // behind for good. The change stays pending.
                LogCannotOpenItem(targetEntryId, targetName);
                continue;
            }
            // A counterpart that changed since the last run is overwritten only when the conflict
            // search settled it. Otherwise its change went unseen (a row the scan could not read, an
            // edit made during the run): both changes stay pending and the next run settles them.
            if (!target.IsNull() && !settledConflicts.count(pairId)) {
                FILETIME targetTime{};
                if (FAILED(target.GetPropTime(PR_LAST_MODIFICATION_TIME, targetTime)) ||
                    FileTimesDiffer(targetTime, targetItem->GetModificationTime()))
                    continue;
            }
        }
        if (target.IsNull()) {
            if (targetItem) {
                targetCache->RemoveItem(targetItem);
                targetCache->SetDirty(true);
                targetItem.Reset();
            }
            const HRESULT hr = targetFolder.CreateMessage(target);
            if (FAILED(hr) || target.IsNull())
                ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_CANNOT_CREATE_ITEM, targetName));
        }

        std::string subject;
        if (FAILED(source.GetPropString(PR_SUBJECT_A, subject))) subject.clear();
        HRESULT hr = source.CopyTo(target);
        if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, TextOf(IDS_ERROR_COPYING, subject, targetName));
        hr = target.SaveChanges(KEEP_OPEN_READWRITE);
        if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, TextOf(IDS_ERROR_SAVING, subject, targetName));
        ++count;

        // The change has reached the target: only now does the source cache take it in, with the time
        // the scan saw (neither step can fail). An edit made after the scan has a later time and is seen
        // at the next run.
        if (newSourceItem)
            sourceCache->Add(std::move(newSourceEntry));
        else
            sourceItem->SetModificationTime(scannedTime);
        sourceCache->SetDirty(true);

        // A failure from here on (a property MAPI does not give, or no memory) leaves the saved copy
        // without its entry: the next run takes it for a new item of the target folder.
        ZxSBinary targetRecordKey;
        hr = target.GetPropBinary(PR_RECORD_KEY, targetRecordKey);
        if (FAILED(hr) || !targetRecordKey.HasData())
            ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_NO_RECORD_KEY, subject, targetName));
        FILETIME targetTime{};
        hr = target.GetPropTime(PR_LAST_MODIFICATION_TIME, targetTime);
        if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, TextOf(IDS_NO_MODIFICATION_TIME, subject, targetName));
        if (targetItem) {
            targetItem->SetModificationTime(targetTime);
        } else {
            ZxSBinary targetEntryId;
            if (FAILED(target.GetPropBinary(PR_ENTRYID, targetEntryId))) targetEntryId.Free();
            ZxSBinary recordKeyCopy = targetRecordKey; // the original joins the seen record keys last
            targetCache->AddItem(CRefCountPtr<CCacheItem>(
                new CCacheItem(std::move(targetEntryId), std::move(recordKeyCopy), targetTime, std::string(pairId))));
        }
        targetCache->SetDirty(true);
        // Last, so that running out of memory here cannot cost the copy its entry; a failure leaves
        // the pair, and with it the deletion pass that reads these keys.
        targetSeenRecordKeys.insert(std::move(targetRecordKey));
    }
    return count;
}

int CSynchronizer::PropagateDeletions(const ZxIMAPIFolder& sourceFolder, const ZxIMAPIFolder& targetFolder,
                                      const CRefCountPtr<CFolderCache>& sourceCache,
                                      const CRefCountPtr<CFolderCache>& targetCache, const RecordKeys& seenRecordKeys,
                                      const ChangedItems& targetChangedItems) {
    const std::string sourceName = DisplayName(sourceFolder);
    const std::string targetName = DisplayName(targetFolder);
    const std::vector<CRefCountPtr<CCacheItem>> items = sourceCache->GetItems();
    m_statusWindow->ShowProgress(static_cast<int>(items.size()));
    int position = 0;
    int count = 0;
    for (const CRefCountPtr<CCacheItem>& item : items) {
        m_statusWindow->SetProgress(position++);
        if (seenRecordKeys.count(item->RecordKey())) continue;
        if (!IsItemGone(sourceFolder, item->EntryId())) continue;
        // A counterpart changed since the last run whose change has not reached the source yet (its
        // copy failed or waits): the change beats the deletion, at the next run if not in this one.
        const CRefCountPtr<CCacheItem> targetItem = targetCache->FindByPairId(item->PairId());
        if (targetItem && targetChangedItems.count(targetItem->RecordKey())) continue;

        // Removing the entries cannot fail, nor can anything between them and DeleteMessages: both
        // entries go, and the deletion is asked for, or nothing changes.
        sourceCache->RemoveItem(item);
        sourceCache->SetDirty(true);
        if (!targetItem) continue;
        ++count;
        targetCache->RemoveItem(targetItem);
        targetCache->SetDirty(true);

        const HRESULT hr = targetFolder.DeleteMessage(targetItem->EntryId());
        // A warning (the message was gone already) is success.
        if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, TextOf(IDS_ERROR_DELETING, targetName));
    }
    return count;
}

std::string CSynchronizer::NewPairId() {
    GUID guid;
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr)) ZX_THROW_COMMON_HERE(static_cast<DWORD>(hr), std::string());
    wchar_t wide[64] = {};
    const int length = StringFromGUID2(guid, wide, static_cast<int>(std::size(wide)));
    if (length <= 1) ZX_THROW_COMMON_HERE(static_cast<DWORD>(E_FAIL), std::string());
    char narrow[64] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, static_cast<int>(sizeof narrow), nullptr, nullptr);
    return narrow;
}

// The cache the factory keys by both folders' entry ids. A factory that could not read an entry id
// keys the cache by the other one alone, which would make every item of the folder look new and every
// deletion go unnoticed: such a cache is refused.
CRefCountPtr<CFolderCache> CSynchronizer::GetFolderCache(const ZxIMAPIFolder& folderA, const ZxIMAPIFolder& folderB,
                                                         const std::string& nameA, const std::string& nameB) {
    ZxSBinary entryIdA;
    HRESULT hr = folderA.GetPropBinary(PR_ENTRYID, entryIdA);
    if (FAILED(hr) || !entryIdA.HasData()) ZX_THROW_MAPI_IN(FailureOf(hr), TextOf(IDS_ACCESS_DENIED, nameA), kProceed);
    ZxSBinary entryIdB;
    hr = folderB.GetPropBinary(PR_ENTRYID, entryIdB);
    if (FAILED(hr) || !entryIdB.HasData()) ZX_THROW_MAPI_IN(FailureOf(hr), TextOf(IDS_ACCESS_DENIED, nameB), kProceed);

    CRefCountPtr<CFolderCache> cache = m_cacheFactory->GetCache(folderA, folderB);
    const std::map<ZxSBinary, std::string> index = m_cacheFactory->GetIndex();
    const auto named = index.find(CFolderCacheFactory::MakeCacheKey(entryIdA, entryIdB));
    if (!cache || named == index.end() ||
        (ZxFsPath(m_cacheFactory->GetCacheFolder()) / named->second).Str() != cache->GetFilePath())
        ZX_THROW_MAPI_IN(MAPI_E_CALL_FAILED, TextOf(IDS_ACCESS_DENIED, nameA), kProceed);
    return cache;
}
