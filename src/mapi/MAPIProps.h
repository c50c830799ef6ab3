#pragma once
// Value-like wrappers that hold one reference to a MAPI store, folder, message or other property
// object. Copies share the object; a wrapper with no object answers E_FAIL (or 0) and calls nothing.
#include <windows.h>
#include <mapix.h>
#include <wrl/client.h>
#include <string>

#include "mapi/MAPIPropT.h"
#include "mapi/MAPITags.h"

// The members every wrapper has over its interface I: construction from a pointer takes a reference
// of its own; Attach takes over the caller's reference; Get gives the raw pointer for further calls.
#define ZX_MAPI_WRAPPER_MEMBERS(Class, I, iid)                                 \
public:                                                                        \
    using Interface = I;                                                       \
    static const IID& InterfaceId() { return iid; }                            \
    Class() = default;                                                         \
    explicit Class(I* p) : m_ptr(p) {}                                         \
    I* Get() const { return m_ptr.Get(); }                                     \
    I* operator->() const { return m_ptr.Get(); }                              \
    bool IsNull() const { return m_ptr == nullptr; }                           \
    explicit operator bool() const { return m_ptr != nullptr; }                \
    void Attach(I* p) { *m_ptr.ReleaseAndGetAddressOf() = p; }                 \
    I* Detach() { return m_ptr.Detach(); }                                     \
    void Reset() { m_ptr.Reset(); }                                            \
    /* For calls that hand out a new reference (for example CreateMessage). */ \
    I** ReleaseAndGetAddressOf() { return m_ptr.ReleaseAndGetAddressOf(); }    \
                                                                               \
private:                                                                       \
    Microsoft::WRL::ComPtr<I> m_ptr;                                           \
                                                                               \
public:

class ZxIMAPIFolder;

// Kinds of store told apart by their provider id (PR_MDB_PROVIDER).
enum ZxStoreKind : int {
    ZxStoreKindOther = 0,
    ZxStoreKindPublicFolders = 1, // Exchange public folder store
    ZxStoreKindPersonalFolders = 2, // personal folders file
    ZxStoreKindExcluded = 3, // the provider the picker leaves out
};

class ZxIMsgStore : public ZxIMAPIPropT<ZxIMsgStore>, public ZxMAPIContainerT<ZxIMsgStore, IMsgStore> {
    ZX_MAPI_WRAPPER_MEMBERS(ZxIMsgStore, IMsgStore, IID_IMsgStore)

    ~ZxIMsgStore() override = default;

    // Into a ZxIMAPIFolder (or any wrapper): the generic OpenEntry of the container.
    using ZxMAPIContainerT::OpenEntry;
    // Into a bare folder reference (the folder picker keeps those).
    [[nodiscard]] HRESULT OpenEntry(const SBinary& id, Microsoft::WRL::ComPtr<IMAPIFolder>& out, ULONG flags) const {
        return OpenEntryAs<IMAPIFolder>(id, IID_IMAPIFolder, out, flags);
    }
    [[nodiscard]] HRESULT OpenEntry(const ZxSBinary& id, Microsoft::WRL::ComPtr<IMAPIFolder>& out, ULONG flags) const {
        return OpenEntry(id.AsSBinary(), out, flags);
    }

    // Nonzero when both ids name the same object; 0 with no object.
    ULONG CompareEntryIDs(const SBinary& id1, const SBinary& id2) const;
    ULONG CompareEntryIDs(const ZxSBinary& id1, const ZxSBinary& id2) const {
        return CompareEntryIDs(id1.AsSBinary(), id2.AsSBinary());
    }
    // One of ZxStoreKind by the 16 bytes of PR_MDB_PROVIDER; 0 for anything else or no object.
    int GetStoreKind() const;
};

class ZxIMessage : public ZxIMAPIPropT<ZxIMessage> {
    ZX_MAPI_WRAPPER_MEMBERS(ZxIMessage, IMessage, IID_IMessage)

    ~ZxIMessage() override = default;

    // Copies every property, recipients and attachments included, onto `target` (IMessage::CopyTo with
    // no exclusions and no progress); E_FAIL when either side has no object.
    [[nodiscard]] HRESULT CopyTo(const ZxIMessage& target) const;
    // Commits the changes (IMessage::SaveChanges with `flags`).
    [[nodiscard]] HRESULT SaveChanges(ULONG flags) const;
};

class ZxIMAPIFolder : public ZxIMAPIPropT<ZxIMAPIFolder>, public ZxMAPIContainerT<ZxIMAPIFolder, IMAPIFolder> {
    ZX_MAPI_WRAPPER_MEMBERS(ZxIMAPIFolder, IMAPIFolder, IID_IMAPIFolder)

    ~ZxIMAPIFolder() override = default;

    // The folder's display path from the store's name down, parts joined by `separator`.
    std::string GetFolderPath(IMsgStore* store, char separator) const;

    // The contents table (IMAPIFolder::GetContentsTable with `flags`) into `table`.
    [[nodiscard]] HRESULT GetContentsTable(ULONG flags, Microsoft::WRL::ComPtr<IMAPITable>& table) const;
    // A new, unsaved message of the folder into `message` (what it held is released first).
    [[nodiscard]] HRESULT CreateMessage(ZxIMessage& message) const;
    // Deletes the one message `entryId` names; MAPI_W_PARTIAL_COMPLETION when it was gone already.
    [[nodiscard]] HRESULT DeleteMessage(const ZxSBinary& entryId) const;
};

class ZxIMAPIProp : public ZxIMAPIPropT<ZxIMAPIProp> {
    ZX_MAPI_WRAPPER_MEMBERS(ZxIMAPIProp, IMAPIProp, IID_IMAPIProp)

    ~ZxIMAPIProp() override = default;
};
