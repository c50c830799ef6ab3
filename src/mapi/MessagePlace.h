#pragma once
// Where a message is and what its store recorded for it: opening a message of a folder, telling whether
// it has left the folder, and reading back the state of a message just saved.
#include <windows.h>
#include <mapix.h>

#include "mapi/Binary.h"
#include "mapi/MAPIProps.h"

// Opens a message of the folder's store with MAPI_BEST_ACCESS (what `message` held is released first).
[[nodiscard]] HRESULT ZxOpenMessage(const ZxIMAPIFolder& folder, const SBinary& entryId, ZxIMessage& message);
[[nodiscard]] HRESULT ZxOpenMessage(const ZxIMAPIFolder& folder, const ZxSBinary& entryId, ZxIMessage& message);

// Whether an open failed because the item no longer exists (rather than for a passing reason).
bool ZxIsGoneResult(HRESULT hr);

// Where an opened message lives. A folder's OpenEntry opens any message of its store, and Outlook's
// Delete moves an item to Deleted Items without changing its entry id (personal folders files): an item
// counts as in the folder only when its parent is the folder.
enum class ZxPlace { InFolder, Elsewhere, Unknown };
ZxPlace ZxPlaceOf(const ZxIMessage& message, const ZxIMsgStore& store, const ZxSBinary& folderId);

// The object's PR_ENTRYID; empty when it cannot be read.
ZxSBinary ZxEntryIdOf(const ZxIMAPIFolder& folder);

// A short-term entry id (MAPI_SHORTTERM and its companions in the first flag byte) opens its item only in
// the session that read it; a long-term id has no flags set.
bool ZxIsShortTermId(const SBinary& entryId);

// What the store recorded for a message it just saved: its record key, modification time and entry id.
// Some stores give the properties a save computes only to the message opened again. `knownEntryId` is
// the entry id of a message that was saved before (empty for a new one, whose id is read). A read that
// fails otherwise keeps its result.
struct ZxSavedState {
    ZxSBinary recordKey;
    FILETIME time{};
    ZxSBinary entryId;
    HRESULT recordKeyResult = S_OK;
    HRESULT timeResult = S_OK;
};
ZxSavedState ZxReadSavedState(const ZxIMessage& saved, const ZxIMAPIFolder& folder, const ZxSBinary& knownEntryId);
