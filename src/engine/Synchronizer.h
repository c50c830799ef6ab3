#pragma once
// One synchronization of one folder pair in both directions: scan both folders against their state
// caches, settle items changed on both sides, carry new and changed items across, carry deletions
// across, save both caches, and report every step through the status window.
//
// A change counts as carried only once the target's SaveChanges succeeded. The scan leaves the cached
// times alone; the source entry takes the time the scan saw (or, for a new item, comes into being) only
// after the copy was saved. A change that failed or was cancelled is therefore seen again next run.
#include <windows.h>
#include <mapix.h>
#include <string>
#include <vector>

#include "base/RefCounted.h"
#include "config/AssocDesc.h"
#include "engine/FolderCache.h"
#include "engine/FolderCacheFactory.h"
#include "engine/FolderTableWalker.h"
#include "engine/PairJournal.h"
#include "engine/StatusWindow.h"
#include "mapi/MAPIProps.h"

class CSynchronizer {
public:
    using ChangedItems = CFolderTableWalker::ChangedItems; // record key, entry id, scanned time
    using RecordKeys = CFolderTableWalker::RecordKeys;
    using PairIds = CFolderTableWalker::PairIds;

    // The status window is not owned; it must outlive the synchronizer.
    CSynchronizer(const CRefCountPtr<CAssocDesc>& pair, const CRefCountPtr<CFolderCacheFactory>& cacheFactory,
                  IStatusWindow* statusWindow);
    virtual ~CSynchronizer();
    CSynchronizer(const CSynchronizer&) = delete;
    CSynchronizer& operator=(const CSynchronizer&) = delete;

    // Runs the pair. Whatever leaves it (a failure, the user's cancel) leaves after both caches that the
    // run already had were saved.
    void Proceed();

    // Settles the items changed in both folders (one pair identifier each): the item whose scanned time
    // is greater, compared as unsigned 64-bit numbers, wins when it is folder 1's; otherwise, equal times
    // included, folder 2's wins. The loser leaves its side's changed items.
    void SearchConflicts(const PairIds& conflicting, const CRefCountPtr<CFolderCache>& cache1,
                         const CRefCountPtr<CFolderCache>& cache2, ChangedItems& changed1, ChangedItems& changed2);

    // Copies the new and changed items of the source folder into the target folder; returns the number
    // of items written. Written items are marked seen in the target cache. `settledConflicts`
    // holds the pair ids the conflict search settled: only their counterparts are overwritten although
    // they changed since the last run.
    int PropagateChanges(const ZxIMAPIFolder& sourceFolder, const ZxIMAPIFolder& targetFolder,
                         const CRefCountPtr<CFolderCache>& sourceCache, const CRefCountPtr<CFolderCache>& targetCache,
                         const ChangedItems& changedItems, const PairIds& settledConflicts);

    // Deletes from the target folder the counterparts of items gone from the source folder; returns the
    // number of counterparts deleted. An item the scan did not see (not marked seen in the source cache) is taken for gone only when it can
    // no longer be opened or opens in another folder (Outlook's Delete moves it to Deleted Items); a counterpart among the target's changed items (the target scan's, after
    // the conflict search) is kept, with both entries, so that its change re-creates the item.
    int PropagateDeletions(const ZxIMAPIFolder& sourceFolder, const ZxIMAPIFolder& targetFolder,
                           const CRefCountPtr<CFolderCache>& sourceCache, const CRefCountPtr<CFolderCache>& targetCache,
                           const ChangedItems& targetChangedItems);

    // Copies a stopped run began from the source side (0: folder 1, 1: folder 2) and never recorded as
    // saved: a new item of the target folder marked with such a copy's pair identifier is that copy. It
    // and its source take their cache entries (recorded in the journal) and leave the changed items,
    // so that neither travels again; a source edited since travels onto the copy.
    void AdoptPendingCopies(const std::vector<CPairJournal::PendingCopy>& pending, const ZxIMAPIFolder& targetFolder,
                            const CRefCountPtr<CFolderCache>& sourceCache, const CRefCountPtr<CFolderCache>& targetCache,
                            ChangedItems& sourceChanged, ChangedItems& targetChanged, int sourceSide);

    // Whether deleting `deletions` of the `targetItems` items of a folder needs the user's word: every
    // item, or more than half and more than kMassDeletionMinimum.
    static bool IsMassDeletion(int deletions, size_t targetItems);
    static constexpr size_t kMassDeletionMinimum = 10;

    // A new pair identifier: a fresh GUID in registry format, 38 characters, upper-case.
    static std::string NewPairId();

private:
    CRefCountPtr<CFolderTableWalker> Scan(IMAPITable* table, const ZxIMAPIFolder& folder,
                                                 const CRefCountPtr<CFolderCache>& cache, const std::string& name) const;
    // Whether a folder's state, as loaded and as its scan met it, cannot be trusted: damaged, missing
    // while the other direction's exists, another folder's, or naming items of the folder it did not see.
    bool IsStateDamaged(const CRefCountPtr<CFolderCache>& cache, const CRefCountPtr<CFolderCache>& other,
                        const CFolderTableWalker& walker, const ZxIMAPIFolder& folder, const ZxSBinary& folderId) const;
    static ZxSBinary FolderEntryId(const ZxIMAPIFolder& folder, const std::string& name);
    bool IsSameFolder(const ZxSBinary& folderId1, const ZxSBinary& folderId2) const;
    // The name the pair gives one of its folders (its path from the store's name down); the display
    // name for any other folder.
    std::string PairNameOf(const ZxIMAPIFolder& folder) const;
    // The opened store of one of the pair's folders; an empty store for any other folder.
    const ZxIMsgStore& StoreOf(const ZxIMAPIFolder& folder) const;
    // Whether the deletion pass may delete: yes when it deletes little, or when the user says so to the
    // question that names the folders and the count. Deletions that were held once (a file beside the
    // source cache, "<cache file>.held") are asked about until they are carried. A no reports the held
    // deletions in an error line.
    bool MayDelete(const CRefCountPtr<CFolderCache>& sourceCache, const std::string& sourceName,
                   const std::string& targetName, int deletions, size_t targetItems);
    static std::string HeldPath(const CRefCountPtr<CFolderCache>& sourceCache);
    // An item skipped for now: logged, and counted for the pair's closing error line.
    void LogCannotOpenItem(const SBinary& item, const std::string& folderName);
    void LogCannotOpenItem(const ZxSBinary& item, const std::string& folderName) {
        LogCannotOpenItem(item.AsSBinary(), folderName);
    }

    CRefCountPtr<CAssocDesc> m_pair;
    CRefCountPtr<CFolderCacheFactory> m_cacheFactory;
    IStatusWindow* m_statusWindow;
    int m_itemFailures = 0; // items of the current pair skipped and logged
    CPairJournal* m_journal = nullptr; // the running pair's journal; none outside Proceed
};
