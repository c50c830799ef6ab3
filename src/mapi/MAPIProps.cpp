#include "mapi/MAPIProps.h"

#include <cstring>

ULONG ZxIMsgStore::CompareEntryIDs(const SBinary& id1, const SBinary& id2) const {
    return ZxMAPIDetail::CompareEntryIds(Get(), id1, id2);
}

int ZxIMsgStore::GetStoreKind() const {
    static const struct {
        BYTE provider[16];
        ZxStoreKind kind;
    } kinds[] = {
        {{0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD, 0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A},
         ZxStoreKindPublicFolders},
        {{0x4E, 0x49, 0x54, 0x41, 0xF9, 0xBF, 0xB8, 0x01, 0x00, 0xAA, 0x00, 0x37, 0xD9, 0x6E, 0x00, 0x00},
         ZxStoreKindPersonalFolders},
        {{0x4B, 0x45, 0x06, 0xEE, 0xF0, 0xB1, 0xA1, 0x47, 0xAA, 0x05, 0x57, 0x29, 0x7D, 0x0A, 0x08, 0x4A},
         ZxStoreKindExcluded},
    };

    ZxSBinary provider;
    GetPropBinary(PR_MDB_PROVIDER, provider);
    if (provider.Size() != 16 || !provider.Data()) return ZxStoreKindOther;
    for (const auto& k : kinds)
        if (std::memcmp(provider.Data(), k.provider, 16) == 0) return k.kind;
    return ZxStoreKindOther;
}

std::string ZxIMAPIFolder::GetFolderPath(IMsgStore* storeInterface, char separator) const {
    if (!Get()) return std::string();

    // A read that fails leaves its text or id empty; the walk goes on with that.
    ZxIMsgStore store(storeInterface);
    std::string storeName;
    store.GetPropString(PR_DISPLAY_NAME_A, storeName);
    if (storeName.empty()) store.GetPropString(PR_MAILBOX_OWNER_NAME_A, storeName);
    std::string ownName;
    GetPropString(PR_DISPLAY_NAME_A, ownName);
    if (ownName.empty()) GetPropString(PR_MAILBOX_OWNER_NAME_A, ownName);

    std::string path = ownName;

    ZxSBinary subtreeId, folderId;
    store.GetPropBinary(PR_IPM_SUBTREE_ENTRYID, subtreeId);
    GetPropBinary(PR_ENTRYID, folderId);
    if (subtreeId.IsEqual(folderId)) return storeName; // the top of the store's visible tree

    ZxSBinary parentId;
    GetPropBinary(PR_PARENT_ENTRYID, parentId);
    ZxIMAPIFolder parent;
    HRESULT hr = store.OpenEntry(parentId, parent, MAPI_BEST_ACCESS);
    // A damaged store whose parent chain loops must not hang Outlook: no real tree is this deep.
    const int kMaxDepth = 1024;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        if (FAILED(hr) || !parent) break;
        if (parentId.IsEqual(subtreeId)) {
            path = storeName + separator + path;
            break;
        }
        std::string parentName;
        parent.GetPropString(PR_DISPLAY_NAME_A, parentName);
        path = parentName + separator + path;

        ZxSBinary grandId;
        parent.GetPropBinary(PR_PARENT_ENTRYID, grandId);
        if (grandId.IsEqual(parentId)) break; // the store's root is its own parent

        parentId = grandId;
        hr = store.OpenEntry(parentId, parent, MAPI_BEST_ACCESS);
        std::string nextName;
        parent.GetPropString(PR_DISPLAY_NAME_A, nextName);
        if (nextName.empty()) break;
    }
    return path;
}

HRESULT ZxIMessage::CopyTo(const ZxIMessage& target) const {
    if (!Get() || !target.Get()) return E_FAIL;
    return Get()->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, target.Get(), 0, nullptr);
}

HRESULT ZxIMessage::SaveChanges(ULONG flags) const { return Get() ? Get()->SaveChanges(flags) : E_FAIL; }

HRESULT ZxIMAPIFolder::GetContentsTable(ULONG flags, Microsoft::WRL::ComPtr<IMAPITable>& table) const {
    if (!Get()) return E_FAIL;
    return Get()->GetContentsTable(flags, table.ReleaseAndGetAddressOf());
}

HRESULT ZxIMAPIFolder::CreateMessage(ZxIMessage& message) const {
    if (!Get()) return E_FAIL;
    return Get()->CreateMessage(nullptr, 0, message.ReleaseAndGetAddressOf());
}

HRESULT ZxIMAPIFolder::DeleteMessage(const ZxSBinary& entryId) const {
    if (!Get()) return E_FAIL;
    SBinary entry = entryId.AsSBinary();
    ENTRYLIST list;
    list.cValues = 1;
    list.lpbin = &entry;
    return Get()->DeleteMessages(&list, 0, nullptr, 0);
}
