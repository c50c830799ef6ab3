#include "engine/Synchronizer.h"

#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <map>
#include <iterator>
#include <memory>
#include <utility>

#include "base/Errors.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/StringTable.h"
#include "config/PairChecks.h"
#include "engine/CopyMark.h"
#include "mapi/MAPITags.h"
#include "mapi/MessageOverwrite.h"
#include "mapi/MessagePlace.h"
#include "resources/StringIds.h"
#include "base/TextConversion.h"
#include "base/FileTime.h"

namespace {

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
FILETIME ScannedTime(const CSynchronizer::ChangedItems& changed, const ZxSBinary& recordKey) {
    FILETIME time{};
    if (!changed.Find(recordKey.AsSBinary(), time)) ZX_THROW_TEXT_HERE("The scan holds no time for a changed item.");
    return time;
}

std::string DisplayName(const ZxIMAPIFolder& folder) {
    std::string name;
    if (FAILED(folder.GetPropString(PR_DISPLAY_NAME_A, name))) name.clear();
    return name;
}

// A folder without a class holds mail.
std::string ContainerClass(const ZxIMAPIFolder& folder) {
    std::string containerClass;
    if (FAILED(folder.GetPropString(PR_CONTAINER_CLASS_A, containerClass))) containerClass.clear();
    return containerClass;
}

// Whether the item that the cache knows by this entry id has really left the folder: it cannot be
// opened because it no longer exists, or it opens in another folder (moved there, Deleted Items
// included). An item the scan did not see may still be there (a row it could not read): its
// counterpart must not be deleted then. Whatever cannot be told leaves the item standing.
bool IsItemGone(const ZxIMAPIFolder& folder, const ZxIMsgStore& store, const ZxSBinary& folderId,
                const ZxSBinary& entryId) {
    if (!entryId.HasData()) return true;
    ZxIMessage message;
    const HRESULT hr = ZxOpenMessage(folder, entryId, message);
    if (FAILED(hr) || message.IsNull()) return FAILED(hr) && ZxIsGoneResult(hr);
    return ZxPlaceOf(message, store, folderId) == ZxPlace::Elsewhere;
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
    std::unique_ptr<CPairJournal> journal;
    m_itemFailures = 0;
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
        const ZxSBinary folderId1 = FolderEntryId(folder1, name1);
        const ZxSBinary folderId2 = FolderEntryId(folder2, name2);
        // A folder paired with itself (only a damaged or hand-made settings file holds one) would copy
        // every item onto itself at every run.
        if (IsSameFolder(folderId1, folderId2)) {
            status.ReportErrorFormat(IDS_SAME_FOLDER_PAIR, name1.c_str());
            return;
        }
        // Folders of different kinds (only a damaged or hand-made settings file pairs them) would mix
        // their items at every run.
        const std::string class1 = GetComparableFolderClass(ContainerClass(folder1));
        const std::string class2 = GetComparableFolderClass(ContainerClass(folder2));
        if (class1 != class2) {
            status.ReportErrorFormat(IDS_FOLDER_KINDS_PAIR, name1.c_str(), GetFolderKindText(class1).c_str(),
                                     name2.c_str(), GetFolderKindText(class2).c_str());
            return;
        }
        // The factory hands back caches whose index entry and file are recorded, or says which file
        // cannot be written: then nothing is copied or deleted.
        // Loading a cache, taking a table and saving a cache are each long enough on a large folder to
        // be felt beside the user: a run beside Outlook gets the thread back between them.
        cache1 = m_cacheFactory->GetCache(folderId1, folderId2, folder1);
        status.GiveWay();
        cache2 = m_cacheFactory->GetCache(folderId2, folderId1, folder2);
        status.GiveWay();
        // What a run that was stopped had done since the caches were last saved; the copies it had
        // begun are looked for once both folders are scanned.
        journal.reset(new CPairJournal(m_cacheFactory->GetCacheFolder(), cache1, cache2));
        m_journal = journal.get();
        const std::vector<CPairJournal::PendingCopy> pending = journal->Replay();

        // Both contents tables before either scan.
        ComPtr<IMAPITable> table1;
        HRESULT hr = folder1.GetContentsTable(0, table1);
        if (FAILED(hr) || !table1) ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_ACCESS_DENIED, name1));
        status.GiveWay();
        ComPtr<IMAPITable> table2;
        hr = folder2.GetContentsTable(0, table2);
        if (FAILED(hr) || !table2) ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_ACCESS_DENIED, name2));
        status.GiveWay();

        // Scanning.
        status.ReportInfoFormat(IDS_SCANNING_FOLDER, name1.c_str());
        CRefCountPtr<CFolderTableWalker> walker1 = Scan(table1.Get(), folder1, cache1, name1);
        status.ReportInfoFormat(IDS_SCANNING_FOLDER, name2.c_str());
        CRefCountPtr<CFolderTableWalker> walker2 = Scan(table2.Get(), folder2, cache2, name2);

        // State that is damaged, one-sided or another folder's would make one direction start over
        // alone: the other folder would get a second copy of every item and the two would stay
        // different. The user is told, and both folders are merged again as at their first
        // synchronization, after which they are equal.
        const bool damaged1 = IsStateDamaged(cache1, cache2, *walker1, folder1, folderId1);
        const bool damaged2 = IsStateDamaged(cache2, cache1, *walker2, folder2, folderId2);
        if (damaged1 || damaged2) {
            if (damaged1) status.ReportErrorFormat(IDS_STATE_DAMAGED, name1.c_str());
            if (damaged2) status.ReportErrorFormat(IDS_STATE_DAMAGED, name2.c_str());
            cache1->Clear();
            cache2->Clear();
            // What the journal says belongs to the state given up.
            journal->Discard();
            walker1 = Scan(table1.Get(), folder1, cache1, name1);
            walker2 = Scan(table2.Get(), folder2, cache2, name2);
        }
        // The walkers live to the end of the pair: their results are taken over or read in place.
        ChangedItems changed1 = walker1->TakeChangedItems();
        ChangedItems changed2 = walker2->TakeChangedItems();
        if (!pending.empty() && !damaged1 && !damaged2) {
            AdoptPendingCopies(pending, folder2, cache1, cache2, changed1, changed2, 0);
            AdoptPendingCopies(pending, folder1, cache2, cache1, changed2, changed1, 1);
        }

        // Searching for conflicts.
        status.ReportInfo(IDS_SEARCHING_CONFLICTS);
        const PairIds conflicting = Intersection(walker1->GetChangedPairIds(), walker2->GetChangedPairIds());
        SearchConflicts(conflicting, cache1, cache2, changed1, changed2);

        // Synchronization of changed items. Each direction marks what it wrote as seen in the target's
        // cache, so that the deletion pass does not take a fresh copy for a vanished item; the changed
        // items were taken before anything was written, so nothing travels back.
        status.ReportInfo(IDS_SYNC_CHANGED);
        const int changesIn2 = PropagateChanges(folder1, folder2, cache1, cache2, changed1, conflicting);
        const int changesIn1 = PropagateChanges(folder2, folder1, cache2, cache1, changed2, conflicting);

        // Synchronization of deleted items.
        status.ReportInfo(IDS_SYNC_DELETED);
        const int deletionsIn2 = PropagateDeletions(folder1, folder2, cache1, cache2, changed2);
        const int deletionsIn1 = PropagateDeletions(folder2, folder1, cache2, cache1, changed1);

        // Once both caches hold what the journal says, it has nothing more to tell.
        status.GiveWay();
        const bool saved1 = cache1->Save();
        status.GiveWay();
        const bool saved2 = cache2->Save();
        if (saved1 && saved2) journal->Discard();
        m_journal = nullptr;

        status.ReportInfo(IDS_SYNC_COMPLETE);
        status.ReportInfoFormat(IDS_SYNC_SUMMARY, changesIn1, deletionsIn1, name1.c_str());
        status.ReportInfoFormat(IDS_SYNC_SUMMARY, changesIn2, deletionsIn2, name2.c_str());
        // Items skipped on the way (each logged) leave the pair unfinished: the window must not read
        // as a clean run.
        const int failures = m_itemFailures + walker1->GetFailedRows() + walker2->GetFailedRows();
        if (failures > 0) status.ReportErrorFormat(IDS_ITEMS_FAILED, failures, name1.c_str(), name2.c_str());
        // Two blank lines part this pair from the next, in the report and in the log.
        status.ReportInfo(std::string());
        status.ReportInfo(std::string());
    } catch (...) {
        // What the caches learned before the failure (copies made, deletions carried) stays learned.
        // The journal stays: a copy the failure interrupted after it was saved is found by its mark.
        m_journal = nullptr;
        SaveQuietly(cache1);
        SaveQuietly(cache2);
        throw;
    }
}

void CSynchronizer::SearchConflicts(const PairIds& conflicting, const CRefCountPtr<CFolderCache>& cache1,
                                    const CRefCountPtr<CFolderCache>& cache2, ChangedItems& changed1,
                                    ChangedItems& changed2) {
    for (const std::string& pairId : conflicting) {
        m_statusWindow->ProcessMessages();
        const CRefCountPtr<CCacheItem> item1 = cache1->FindByPairId(pairId);
        const CRefCountPtr<CCacheItem> item2 = cache2->FindByPairId(pairId);
        if (!item1 || !item2) continue;
        // The items' current times as scanned: the cached times are those of the previous run.
        const ZxSBinary& recordKey1 = item1->RecordKey();
        const ZxSBinary& recordKey2 = item2->RecordKey();
        const ULONGLONG time1 = TimeValue(ScannedTime(changed1, recordKey1));
        const ULONGLONG time2 = TimeValue(ScannedTime(changed2, recordKey2));
        if (time1 > time2)
            changed2.Erase(recordKey2.AsSBinary()); // folder 1's version overwrites folder 2's
        else
            changed1.Erase(recordKey1.AsSBinary()); // folder 2's version wins, equal times too
    }
}

int CSynchronizer::PropagateChanges(const ZxIMAPIFolder& sourceFolder, const ZxIMAPIFolder& targetFolder,
                                    const CRefCountPtr<CFolderCache>& sourceCache,
                                    const CRefCountPtr<CFolderCache>& targetCache, const ChangedItems& changedItems,
                                    const PairIds& settledConflicts) {
    const std::string sourceName = DisplayName(sourceFolder);
    const std::string targetName = DisplayName(targetFolder);
    const ZxSBinary targetFolderId = ZxEntryIdOf(targetFolder);
    const ZxIMsgStore& targetStore = StoreOf(targetFolder);
    // Room for every changed item in both caches, so that taking an item in after its copy was saved
    // cannot fail for want of memory.
    size_t identifierBytes = 0;
    for (const CChangedItems::Item item : changedItems)
        identifierBytes += item.RecordKey().cb + item.EntryId().cb + 38;
    sourceCache->MakeRoom(changedItems.size(), identifierBytes);
    targetCache->MakeRoom(changedItems.size(), identifierBytes);
    // New copies carry the mark from the moment they are saved; overwritten ones lose any.
    const CCopyMark mark(targetFolder, !changedItems.empty());
    if (!changedItems.empty() && !mark.IsKnown())
        GetLogFile().LogErrorFormat("Cannot name the copy mark in folder '%s' (0x%08lX).", targetName.c_str(),
                                    static_cast<unsigned long>(mark.GetResolveResult()));
    m_statusWindow->ShowProgress(static_cast<int>(changedItems.size()));
    int position = 0;
    int count = 0;
    for (const CChangedItems::Item item : changedItems) {
        m_statusWindow->SetProgress(position++);
        // Views into the changed items' pool, which outlives the loop.
        const SBinary recordKey = item.RecordKey();
        const SBinary entryId = item.EntryId();
        const FILETIME scannedTime = item.Time();

        // The source item: known to the source cache (changed since the last run) or new. A new item's
        // entry waits until its copy is saved; only then does it join the source cache (in the room
        // made above, so that taking it in cannot fail).
        CRefCountPtr<CCacheItem> sourceItem = sourceCache->FindByRecordKey(recordKey);
        std::string pairId;
        ZxIMessage source;
        ZxSBinary longTermId; // of a new item whose row carried a short-term id
        if (!sourceItem) {
            const HRESULT hr = ZxOpenMessage(sourceFolder, entryId, source);
            if (FAILED(hr) || source.IsNull()) {
                LogCannotOpenItem(entryId, sourceName);
                continue;
            }
            // The cache keeps ids for later sessions: the opened message gives its long-term id.
            if (ZxIsShortTermId(entryId) &&
                (FAILED(source.GetPropBinary(PR_ENTRYID, longTermId)) || !longTermId.HasData())) {
                LogCannotOpenItem(entryId, sourceName);
                continue;
            }
            pairId = NewPairId();
        } else {
            const HRESULT hr = ZxOpenMessage(sourceFolder, sourceItem->EntryId(), source);
            if (FAILED(hr) || source.IsNull()) {
                LogCannotOpenItem(recordKey, sourceName);
                continue;
            }
        }
        if (sourceItem) pairId = sourceItem->PairId();

        // The target: the counterpart the target cache knows, overwritten in place, or a new message.
        CRefCountPtr<CCacheItem> targetItem = targetCache->FindByPairId(pairId);
        ZxIMessage target;
        if (targetItem) {
            const ZxSBinary& targetEntryId = targetItem->EntryId();
            const HRESULT hr =
                targetEntryId.HasData() ? ZxOpenMessage(targetFolder, targetEntryId, target) : MAPI_E_NOT_FOUND;
            if (!(FAILED(hr) && ZxIsGoneResult(hr)) && target.IsNull()) {
                // Still there but out of reach for now: a copy beside it would leave its old version
                // behind for good. The change stays pending.
                LogCannotOpenItem(targetEntryId, targetName);
                continue;
            }
            if (!target.IsNull()) {
                const ZxPlace place = ZxPlaceOf(target, targetStore, targetFolderId);
                if (place == ZxPlace::Unknown) {
                    LogCannotOpenItem(targetEntryId, targetName);
                    continue;
                }
                // Moved out of the target folder (deleted in Outlook): the change re-creates the item
                // in the folder, and the moved copy is left as it is.
                if (place == ZxPlace::Elsewhere) target.Reset();
            }
            // A counterpart that changed since the last run is overwritten only when the conflict
            // search settled it. Otherwise its change went unseen (a row the scan could not read, an
            // edit made during the run): both changes stay pending and the next run settles them.
            if (!target.IsNull() && !settledConflicts.count(pairId)) {
                FILETIME targetTime{};
                if (FAILED(target.GetPropTime(PR_LAST_MODIFICATION_TIME, targetTime)) ||
                    FileTimesDiffer(targetTime, targetItem->GetModificationTime())) {
                    LogCannotOpenItem(targetEntryId, targetName);
                    continue;
                }
            }
        }
        if (target.IsNull()) {
            if (targetItem) {
                targetCache->RemoveItem(targetItem);
                targetCache->SetDirty(true);
                targetItem.Reset();
            }
            // The copy is begun in the journal before it exists, so that a kill after its save leaves
            // the next run what it needs to recognise it.
            if (m_journal) m_journal->Copying(sourceCache.Get(), pairId, entryId, recordKey, scannedTime);
            const HRESULT hr = targetFolder.CreateMessage(target);
            if (FAILED(hr) || target.IsNull())
                ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_CANNOT_CREATE_ITEM, targetName));
        }
        const bool newCopy = !targetItem;

        std::string subject;
        if (FAILED(source.GetPropString(PR_SUBJECT_A, subject))) subject.clear();
        // CopyTo onto the counterpart only adds: what the source no longer has is removed first, so that
        // the saved counterpart is an exact copy.
        HRESULT hr = targetItem ? ZxClearForOverwrite(source, target) : S_OK;
        if (SUCCEEDED(hr)) hr = source.CopyTo(target);
        if (SUCCEEDED(hr)) hr = newCopy ? (mark.IsKnown() ? mark.Set(target, pairId) : S_OK) : mark.Clear(target);
        if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, TextOf(IDS_ERROR_COPYING, subject, targetName));
        // Nothing more is written to the copy: saved for reading, some stores give its entry id only so.
        hr = target.SaveChanges(KEEP_OPEN_READONLY);
        if (hr == MAPI_E_OBJECT_CHANGED) {
            // Someone changed the counterpart after it was opened here: that change is kept, and both
            // changes are settled at the next run.
            ++m_itemFailures;
            GetLogFile().LogError(TextOf(IDS_ITEM_CHANGED_MEANWHILE, subject, targetName));
            continue;
        }
        if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, TextOf(IDS_ERROR_SAVING, subject, targetName));
        ++count;

        // The change has reached the target: only now does the source cache take it in, with the time
        // the scan saw (neither step can fail). An edit made after the scan has a later time and is seen
        // at the next run.
        if (sourceItem)
            sourceItem->SetModificationTime(scannedTime);
        else
            sourceCache->AddRecord(longTermId.HasData() ? longTermId.AsSBinary() : entryId, recordKey, scannedTime,
                                   pairId, true);
        sourceCache->SetDirty(true);

        // A failure from here on (a property MAPI does not give, or no memory) leaves the saved copy
        // without its entry: the next run takes it for a new item of the target folder. What is recorded
        // is what the store recorded, as the next scan will see it.
        const ZxSavedState saved =
            ZxReadSavedState(target, targetFolder, targetItem ? targetItem->EntryId() : ZxSBinary());
        target.Reset();
        if (FAILED(saved.recordKeyResult) || !saved.recordKey.HasData())
            ZX_THROW_MAPI_HERE(FailureOf(saved.recordKeyResult), TextOf(IDS_NO_RECORD_KEY, subject, targetName));
        if (FAILED(saved.timeResult))
            ZX_THROW_MAPI_HERE(saved.timeResult, TextOf(IDS_NO_MODIFICATION_TIME, subject, targetName));
        // The written item is present in the target folder: the deletion pass must not take it for one
        // that vanished.
        if (m_journal)
            m_journal->Copied(sourceCache.Get(), pairId, entryId, recordKey, scannedTime, saved.entryId.AsSBinary(),
                              saved.recordKey.AsSBinary(), saved.time);
        if (targetItem) {
            targetItem->SetModificationTime(saved.time);
            targetCache->MarkSeen(saved.recordKey.AsSBinary());
        } else {
            targetCache->AddRecord(saved.entryId.AsSBinary(), saved.recordKey.AsSBinary(), saved.time, pairId, true);
        }
        targetCache->SetDirty(true);
    }
    return count;
}

int CSynchronizer::PropagateDeletions(const ZxIMAPIFolder& sourceFolder, const ZxIMAPIFolder& targetFolder,
                                      const CRefCountPtr<CFolderCache>& sourceCache,
                                      const CRefCountPtr<CFolderCache>& targetCache,
                                      const ChangedItems& targetChangedItems) {
    const std::string targetName = DisplayName(targetFolder);
    const ZxSBinary sourceFolderId = ZxEntryIdOf(sourceFolder);
    const ZxIMsgStore& sourceStore = StoreOf(sourceFolder);
    const ZxSBinary targetFolderId = ZxEntryIdOf(targetFolder);
    const ZxIMsgStore& targetStore = StoreOf(targetFolder);
    // Every cached item in pair-identifier order moves the progress bar; only those the scan did not
    // see (and that no copy wrote) are looked at.
    const size_t itemCount = sourceCache->GetItemCount();
    const std::vector<std::pair<size_t, CRefCountPtr<CCacheItem>>> unseen = sourceCache->GetUnseenItems();
    m_statusWindow->ShowProgress(static_cast<int>(itemCount));
    // First what is gone from the source, each with its counterpart (none when it was never made).
    std::vector<std::pair<CRefCountPtr<CCacheItem>, CRefCountPtr<CCacheItem>>> gone;
    size_t next = 0;
    for (size_t position = 0; position < itemCount; ++position) {
        m_statusWindow->SetProgress(static_cast<int>(position));
        if (next == unseen.size() || unseen[next].first != position) continue;
        const CRefCountPtr<CCacheItem>& item = unseen[next++].second;
        if (!IsItemGone(sourceFolder, sourceStore, sourceFolderId, item->EntryId())) continue;
        // A counterpart changed since the last run whose change has not reached the source yet (its
        // copy failed or waits): the change beats the deletion, at the next run if not in this one.
        CRefCountPtr<CCacheItem> targetItem = targetCache->FindByPairId(item->PairId());
        if (targetItem && targetChangedItems.Contains(targetItem->RecordKey().AsSBinary())) continue;
        gone.emplace_back(item, std::move(targetItem));
    }
    int counterparts = 0;
    for (const auto& entry : gone) counterparts += entry.second ? 1 : 0;
    if (!MayDelete(sourceCache, PairNameOf(sourceFolder), PairNameOf(targetFolder), counterparts,
                   targetCache->GetItemCount()))
        return 0;

    int count = 0;
    for (const auto& [item, targetItem] : gone) {
        // Removing the entries cannot fail, nor can anything between them and DeleteMessages: both
        // entries go, and the deletion is asked for, or nothing changes.
        sourceCache->RemoveItem(item);
        sourceCache->SetDirty(true);
        if (targetItem) {
            ++count;
            targetCache->RemoveItem(targetItem);
            targetCache->SetDirty(true);
            const HRESULT hr = targetFolder.DeleteMessage(targetItem->EntryId());
            // A warning (the message was gone already) is success.
            if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, TextOf(IDS_ERROR_DELETING, targetName));
            // A message open for writing (in an Outlook window, say) is left by the store with the same
            // warning. Both entries come back, so that the counterpart is never taken for a new item and
            // the deletion is carried at the next run.
            if (hr == MAPI_W_PARTIAL_COMPLETION &&
                !IsItemGone(targetFolder, targetStore, targetFolderId, targetItem->EntryId())) {
                sourceCache->AddItem(item);
                targetCache->AddRecord(targetItem->EntryId().AsSBinary(), targetItem->RecordKey().AsSBinary(),
                                       targetItem->GetModificationTime(), targetItem->PairId(), true);
                --count;
                ++m_itemFailures;
                GetLogFile().LogError(TextOf(IDS_ITEM_OPEN_NOT_DELETED, targetItem->EntryId().ToHex(), targetName));
                continue;
            }
        }
        // Recorded once done: a kill before this leaves both entries, and the next run deletes again
        // (a message already gone only warns).
        if (m_journal) m_journal->Deleted(sourceCache.Get(), item->PairId(), item->RecordKey().AsSBinary());
    }
    // Whatever was held is carried now.
    DeleteFileA(HeldPath(sourceCache).c_str());
    return count;
}

bool CSynchronizer::IsMassDeletion(int deletions, size_t targetItems) {
    if (deletions <= 0) return false;
    const size_t n = static_cast<size_t>(deletions);
    return n >= targetItems || (n > kMassDeletionMinimum && n * 2 > targetItems);
}

std::string CSynchronizer::HeldPath(const CRefCountPtr<CFolderCache>& sourceCache) {
    return sourceCache->GetFilePath() + ".held";
}

bool CSynchronizer::MayDelete(const CRefCountPtr<CFolderCache>& sourceCache, const std::string& sourceName,
                              const std::string& targetName, int deletions, size_t targetItems) {
    const std::string held = HeldPath(sourceCache);
    const bool wasHeld = GetFileAttributesA(held.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (deletions == 0 || (!wasHeld && !IsMassDeletion(deletions, targetItems))) return true;
    // Held before the user is asked: a run that stops while the question is open, or a later run that
    // finds fewer items missing, asks again instead of deleting.
    if (!wasHeld) {
        ZxFileWrite mark(held, FILE_SHARE_READ);
        if (!mark.IsOpen()) ZX_THROW_TEXT_HERE(TextOf(IDS_CANNOT_RECORD_STATE, held));
    }
    const std::string question =
        ZxFormat(ZxLoadString(IDS_CONFIRM_DELETIONS).c_str(), deletions, static_cast<int>(targetItems),
                 targetName.c_str(), sourceName.c_str(), sourceName.c_str());
    GetLogFile().LogInfo(question);
    if (m_statusWindow->ConfirmDeletions(question)) return true;
    m_statusWindow->ReportErrorFormat(IDS_DELETIONS_HELD, deletions, targetName.c_str());
    return false;
}

void CSynchronizer::AdoptPendingCopies(const std::vector<CPairJournal::PendingCopy>& pending,
                                       const ZxIMAPIFolder& targetFolder, const CRefCountPtr<CFolderCache>& sourceCache,
                                       const CRefCountPtr<CFolderCache>& targetCache, ChangedItems& sourceChanged,
                                       ChangedItems& targetChanged, int sourceSide) {
    std::map<std::string, const CPairJournal::PendingCopy*> begun;
    for (const CPairJournal::PendingCopy& copy : pending)
        if (copy.sourceSide == sourceSide && !targetCache->FindByPairId(copy.pairId)) begun[copy.pairId] = &copy;
    if (begun.empty()) return;
    const CCopyMark mark(targetFolder, false);
    if (!mark.IsKnown()) return; // no item of this store was ever marked
    // Only items new to the target cache can be copies the journal could not record.
    std::vector<std::pair<ZxSBinary, const CPairJournal::PendingCopy*>> found;
    for (const CChangedItems::Item item : targetChanged) {
        if (begun.empty()) break;
        const SBinary recordKey = item.RecordKey();
        if (targetCache->FindByRecordKey(recordKey)) continue;
        ZxIMessage message;
        if (FAILED(ZxOpenMessage(targetFolder, item.EntryId(), message)) || message.IsNull()) continue;
        const auto it = begun.find(mark.Read(message));
        if (it == begun.end()) continue;
        const CPairJournal::PendingCopy& copy = *it->second;
        begun.erase(it);
        // The copy and its source take the entries the kill kept them from; the journal records it.
        FILETIME sourceTime{};
        const bool sourceSeen = sourceChanged.Find(copy.sourceRecordKey.AsSBinary(), sourceTime);
        m_journal->Copied(sourceCache.Get(), copy.pairId, copy.sourceEntryId.AsSBinary(),
                          copy.sourceRecordKey.AsSBinary(), copy.scannedTime, item.EntryId(), recordKey, item.Time());
        // The source's entry may have been taken in before the kill (it is, right after the save).
        if (sourceCache->GetPairId(copy.sourceRecordKey.AsSBinary()) != copy.pairId)
            sourceCache->AddRecord(copy.sourceEntryId.AsSBinary(), copy.sourceRecordKey.AsSBinary(),
                                   copy.scannedTime, copy.pairId, sourceSeen);
        targetCache->AddRecord(item.EntryId(), recordKey, item.Time(), copy.pairId, true);
        // A source edited since the copy began is still carried, onto this copy now.
        if (sourceSeen && !FileTimesDiffer(sourceTime, copy.scannedTime))
            sourceChanged.Erase(copy.sourceRecordKey.AsSBinary());
        found.emplace_back(ZxSBinary(recordKey.cb, recordKey.lpb), &copy);
    }
    for (const auto& adopted : found) targetChanged.Erase(adopted.first.AsSBinary());
}

std::string CSynchronizer::NewPairId() {
    GUID guid;
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr)) ZX_THROW_COMMON_HERE(static_cast<DWORD>(hr), std::string());
    wchar_t wide[64] = {};
    const int length = StringFromGUID2(guid, wide, static_cast<int>(std::size(wide)));
    if (length <= 1) ZX_THROW_COMMON_HERE(static_cast<DWORD>(E_FAIL), std::string());
    return ToAnsi(wide);
}

CRefCountPtr<CFolderTableWalker> CSynchronizer::Scan(IMAPITable* table, const ZxIMAPIFolder& folder,
                                                     const CRefCountPtr<CFolderCache>& cache, const std::string& name) const {
    CRefCountPtr<CFolderTableWalker> walker(new CFolderTableWalker(table, folder, cache, name));
    walker->SetStatusWindow(m_statusWindow);
    walker->Proceed();
    return walker;
}

bool CSynchronizer::IsStateDamaged(const CRefCountPtr<CFolderCache>& cache, const CRefCountPtr<CFolderCache>& other,
                                   const CFolderTableWalker& walker, const ZxIMAPIFolder& folder,
                                   const ZxSBinary& folderId) const {
    switch (cache->GetLoadState()) {
        case CFolderCache::LoadState::Damaged:
            return true;
        case CFolderCache::LoadState::Missing:
            // No state of this direction while the other has some (or the index that named it was
            // lost): this direction alone would start over.
            // A first synchronization as far as the index tells, while a cache of another key holds
            // items of this folder: the index keys that named its state were damaged.
            return other->GetItemCount() > 0 ||
                   (other->GetLoadState() == CFolderCache::LoadState::Missing && walker.GetSeenRows() > 0 &&
                    (m_cacheFactory->IsIndexDamaged() ||
                     m_cacheFactory->HoldsStateUnderAnotherKey(folderId, walker.GetChangedItems())));
        case CFolderCache::LoadState::Loaded:
            break;
    }
    const size_t cached = cache->GetItemCount();
    // No item recorded for a folder that holds items, while the other direction recorded some: the
    // state of this direction was lost (a run stopped between saving the two caches, say).
    if (cached == 0) return other->GetItemCount() > 0 && walker.GetSeenRows() > 0;
    if (walker.GetFailedRows() > 0) return false;
    // Not one cached item is in the folder while the folder holds items: the state is another folder's.
    if (walker.GetKnownRows() == 0 && walker.GetSeenRows() > 0) return true;
    if (walker.GetKnownRows() == cached) return false;
    // A cached item the scan did not see but that is still in the folder: the state does not describe
    // this folder (its deletion pass would keep the entry forever, and the item would travel again).
    const ZxIMsgStore& store = StoreOf(folder);
    for (const auto& unseen : cache->GetUnseenItems()) {
        const CRefCountPtr<CCacheItem>& item = unseen.second;
        ZxIMessage message;
        if (FAILED(ZxOpenMessage(folder, item->EntryId(), message)) || message.IsNull()) continue;
        if (ZxPlaceOf(message, store, folderId) == ZxPlace::InFolder) return true;
    }
    return false;
}

void CSynchronizer::LogCannotOpenItem(const SBinary& item, const std::string& folderName) {
    ++m_itemFailures;
    GetLogFile().LogError(TextOf(IDS_CANNOT_OPEN_ITEM, ToHex(item), folderName));
}

std::string CSynchronizer::PairNameOf(const ZxIMAPIFolder& folder) const {
    if (m_pair && !folder.IsNull()) {
        if (m_pair->GetFolder1().GetFolder().Get() == folder.Get()) return m_pair->GetFolder1().GetFolderName();
        if (m_pair->GetFolder2().GetFolder().Get() == folder.Get()) return m_pair->GetFolder2().GetFolderName();
    }
    return DisplayName(folder);
}

const ZxIMsgStore& CSynchronizer::StoreOf(const ZxIMAPIFolder& folder) const {
    static const ZxIMsgStore none;
    if (!m_pair || folder.IsNull()) return none;
    if (m_pair->GetFolder1().GetFolder().Get() == folder.Get()) return m_pair->GetFolder1().GetStore();
    if (m_pair->GetFolder2().GetFolder().Get() == folder.Get()) return m_pair->GetFolder2().GetStore();
    return none;
}

// A folder's entry id keys its caches. One that cannot be read would key them by the other folder alone,
// which would make every item look new and every deletion go unnoticed: the pair stops instead.
ZxSBinary CSynchronizer::FolderEntryId(const ZxIMAPIFolder& folder, const std::string& name) {
    ZxSBinary entryId;
    const HRESULT hr = folder.GetPropBinary(PR_ENTRYID, entryId);
    if (FAILED(hr) || !entryId.HasData()) ZX_THROW_MAPI_HERE(FailureOf(hr), TextOf(IDS_ACCESS_DENIED, name));
    return entryId;
}

bool CSynchronizer::IsSameFolder(const ZxSBinary& folderId1, const ZxSBinary& folderId2) const {
    if (folderId1 == folderId2) return true;
    const ZxIMsgStore& store = m_pair->GetFolder1().GetStore();
    return !store.IsNull() && m_pair->GetFolder1().GetStoreEntryId() == m_pair->GetFolder2().GetStoreEntryId() &&
           store.CompareEntryIDs(folderId1, folderId2) != 0;
}
