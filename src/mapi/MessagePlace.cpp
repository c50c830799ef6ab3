#include "mapi/MessagePlace.h"

HRESULT ZxOpenMessage(const ZxIMAPIFolder& folder, const SBinary& entryId, ZxIMessage& message) {
    message.Reset();
    if (folder.IsNull()) return E_FAIL;
    return folder.OpenEntry(entryId, message, MAPI_BEST_ACCESS);
}

HRESULT ZxOpenMessage(const ZxIMAPIFolder& folder, const ZxSBinary& entryId, ZxIMessage& message) {
    return ZxOpenMessage(folder, entryId.AsSBinary(), message);
}

bool ZxIsGoneResult(HRESULT hr) {
    return hr == MAPI_E_NOT_FOUND || hr == MAPI_E_OBJECT_DELETED || hr == MAPI_E_INVALID_ENTRYID;
}

ZxPlace ZxPlaceOf(const ZxIMessage& message, const ZxIMsgStore& store, const ZxSBinary& folderId) {
    ZxSBinary parent;
    if (!folderId.HasData() || FAILED(message.GetPropBinary(PR_PARENT_ENTRYID, parent)) || !parent.HasData())
        return ZxPlace::Unknown;
    if (parent == folderId) return ZxPlace::InFolder;
    // Two ids of one folder may differ in their bytes; the store tells. Without a store the bytes decide;
    // a store that cannot compare leaves the place unknown.
    if (store.IsNull()) return ZxPlace::Elsewhere;
    ULONG same = 0;
    SBinary a = parent.AsSBinary();
    SBinary b = folderId.AsSBinary();
    const HRESULT hr = store->CompareEntryIDs(a.cb, reinterpret_cast<ENTRYID*>(a.lpb), b.cb,
                                              reinterpret_cast<ENTRYID*>(b.lpb), 0, &same);
    if (FAILED(hr)) return ZxPlace::Unknown;
    return same ? ZxPlace::InFolder : ZxPlace::Elsewhere;
}

ZxSBinary ZxEntryIdOf(const ZxIMAPIFolder& folder) {
    ZxSBinary id;
    if (FAILED(folder.GetPropBinary(PR_ENTRYID, id))) id.Free();
    return id;
}

bool ZxIsShortTermId(const SBinary& entryId) { return entryId.cb >= 4 && entryId.lpb && entryId.lpb[0] != 0; }

ZxSavedState ZxReadSavedState(const ZxIMessage& saved, const ZxIMAPIFolder& folder, const ZxSBinary& knownEntryId) {
    ZxSavedState state;
    state.recordKeyResult = saved.GetPropBinary(PR_RECORD_KEY, state.recordKey);
    state.timeResult = saved.GetPropTime(PR_LAST_MODIFICATION_TIME, state.time);
    // A saved message keeps its entry id; only a new one's is read.
    state.entryId = knownEntryId;
    if (!state.entryId.HasData() && (FAILED(saved.GetPropBinary(PR_ENTRYID, state.entryId)) || !state.entryId.HasData()))
        state.entryId.Free();
    // Only a property the saved message does not have yet is looked for again; a failing read stays one.
    if (state.recordKeyResult != MAPI_E_NOT_FOUND && state.timeResult != MAPI_E_NOT_FOUND) return state;
    if (!state.entryId.HasData()) return state;
    ZxIMessage reopened;
    if (FAILED(folder.OpenEntry(state.entryId, reopened, 0)) || reopened.IsNull()) return state;
    if (state.recordKeyResult == MAPI_E_NOT_FOUND)
        state.recordKeyResult = reopened.GetPropBinary(PR_RECORD_KEY, state.recordKey);
    if (state.timeResult == MAPI_E_NOT_FOUND)
        state.timeResult = reopened.GetPropTime(PR_LAST_MODIFICATION_TIME, state.time);
    return state;
}
