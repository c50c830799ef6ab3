// Opening entries by id and comparing ids, shared by the session, stores and folders.
#include "Internal.h"

namespace standin::detail {

HRESULT OpenAnyEntry(const Bytes& storeId, ULONG cb, LPENTRYID id, LPCIID iface, ULONG flags, ULONG* objType,
                     LPUNKNOWN* out) {
    if (!out) return MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    World& w = W();
    IUnknown* opened = nullptr;
    ULONG type = 0;
    const bool writable = (flags & (MAPI_MODIFY | MAPI_BEST_ACCESS)) != 0;
    if (cb == 0 || !id) {
        StoreRec* s = storeId.empty() ? nullptr : w.StoreByOpenId(storeId);
        if (!s) return MAPI_E_INVALID_ENTRYID;
        opened = NewFolderObject(s->root);
        type = MAPI_FOLDER;
    } else {
        const Bytes bytes = BytesOf(cb, id);
        if (StoreRec* s = storeId.empty() ? w.StoreByAnyId(bytes) : nullptr) {
            if (s->unopenable) return MAPI_E_NOT_FOUND;
            opened = NewStoreObject(s->id);
            type = MAPI_STORE;
        } else if (FolderRec* f = w.Folder(bytes)) {
            if (!storeId.empty() && f->store != storeId) return MAPI_E_INVALID_ENTRYID;
            StoreRec* s = w.StoreByOpenId(f->store);
            if (!s || s->unopenable) return MAPI_E_NOT_FOUND;
            opened = NewFolderObject(f->id);
            type = MAPI_FOLDER;
        } else if (ItemRec* i = w.Item(bytes)) {
            if (i->hidden) return MAPI_E_NOT_FOUND; // not in the local copy yet
            FolderRec* parent = w.Folder(i->folder);
            if (!parent) return MAPI_E_NOT_FOUND;
            if (!storeId.empty() && parent->store != storeId) return MAPI_E_INVALID_ENTRYID;
            StoreRec* s = w.StoreByOpenId(parent->store);
            if (!s || s->unopenable) return MAPI_E_NOT_FOUND;
            opened = NewMessageObject(i->id, writable);
            type = MAPI_MESSAGE;
        } else {
            return MAPI_E_NOT_FOUND;
        }
    }
    if (iface) {
        void* p = nullptr;
        HRESULT hr = opened->QueryInterface(*iface, &p);
        opened->Release();
        if (FAILED(hr)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
        opened = static_cast<IUnknown*>(p);
    }
    if (objType) *objType = type;
    *out = opened;
    return S_OK;
}

HRESULT CompareIds(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG* result) {
    if (!result) return MAPI_E_INVALID_PARAMETER;
    if ((cb1 && !id1) || (cb2 && !id2)) return MAPI_E_INVALID_ENTRYID;
    World& w = W();
    *result = w.Key(BytesOf(cb1, id1)) == w.Key(BytesOf(cb2, id2)) ? TRUE : FALSE;
    return S_OK;
}

} // namespace standin::detail
