#pragma once
// What the folder picker's tree knows and reads, without its window: the stores of the profile that may
// be listed, each node's children read from MAPI once, the one store open at a time with its special
// folders, and the flags, images and display paths of the nodes. The tree control shows these nodes.
#include <windows.h>
#include <mapix.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "mapi/Binary.h"
#include "mapi/MAPIProps.h"
#include "mapi/MsgStoresTableFromProfile.h"
#include "mapi/Session.h"
#include "ui/MAPIFolderDesc.h"

namespace FolderPickers {

// Flags of a node. The kind bits are those of ZxFolderKind.
enum ZxFolderNodeFlags : uint32_t {
    kNodeMail = 0x00001,
    kNodeTask = 0x00002,
    kNodeJournal = 0x00004,
    kNodeContact = 0x00008,
    kNodeCalendar = 0x00010,
    kNodeNote = 0x00020,
    kNodeInbox = 0x00100,
    kNodeOutbox = 0x00200,
    kNodeDeletedItems = 0x00400,
    kNodeSentItems = 0x00800,
    kNodeStore = 0x02000,
    kNodeDefaultStore = 0x04000,
    kNodePublic = 0x08000,
    kNodePublicRoot = 0x10000,
    kNodeNonIpmSubtree = 0x20000,
};

// An owning list of pointers: clearing it (or its end) deletes the elements.
template <class T>
class IListT {
public:
    using Items = std::vector<std::unique_ptr<T>>;

    T& Append(std::unique_ptr<T> item) {
        m_items.push_back(std::move(item));
        return *m_items.back();
    }
    void Clear() { m_items.clear(); }
    size_t Size() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    T& At(size_t i) const { return *m_items[i]; }
    typename Items::const_iterator begin() const { return m_items.begin(); }
    typename Items::const_iterator end() const { return m_items.end(); }

private:
    Items m_items;
};

// A folder row without an entry identifier: such a folder cannot be opened or chosen, and the reading
// of its siblings ends. Not one of the add-in's errors, which the tree control shows and goes on: it
// reaches the window's guard as an unhandled failure.
class CUnnamedChildFolder : public std::exception {
public:
    const char* what() const noexcept override { return "A child folder has no entry identifier."; }
};

class ZxMAPIFolderTree {
public:
    // One node of the tree: a store of the profile or one of its folders.
    class CFolderDesc {
    public:
        ZxSBinary entryId; // empty for a store until its root of visible folders was looked up
        std::string displayName;
        int32_t storeIndex = -1; // into the table of store entry ids; children inherit their parent's
        uint32_t flags = 0;
        bool childrenRead = false;
        bool hasSubfolders = false; // PR_SUBFOLDERS; always true for a store
        IListT<CFolderDesc> children;
        CFolderDesc* parent = nullptr; // null at the top level
    };

    // Store display names that begin with one of these (case-sensitive) are system mailboxes: not listed.
    static const std::vector<std::string>& ExcludedStorePrefixes();

    explicit ZxMAPIFolderTree(const ZxIMAPISession& session);
    ZxMAPIFolderTree(const ZxMAPIFolderTree&) = delete;
    ZxMAPIFolderTree& operator=(const ZxMAPIFolderTree&) = delete;
    virtual ~ZxMAPIFolderTree();

    // Reads the profile's stores table into top-level nodes, only while there are none. Throws when the
    // table cannot be had.
    void FillTopLevel();
    const IListT<CFolderDesc>& GetTopLevel() const { return m_topLevel; }

    // The children of a node, read from MAPI the first time only: opens the node's store, gives a store
    // node the store's IPM subtree as its entry id and reads the subfolders. Returns true when this call
    // read them. Throws ZxExceptionMAPI with the texts users know; the node then counts as read.
    bool ReadChildrenOnce(CFolderDesc& node);

    // Makes the node's store the open one (nothing to do when it already is).
    void OpenMsgStore(const CFolderDesc& node);
    void ReadSubfolders(CFolderDesc& node);

    // The answer for a node (null: the empty answer) and the folder it names, opened in its store. The
    // open fails quietly: the folder stays empty.
    CMAPIFolderDesc MakeAnswer(const CFolderDesc* node) const;
    void OpenChosenFolder(const CFolderDesc& node, ZxIMAPIFolder& folder);

    // Bitmap number of the folder image set for a node's flags.
    static int GetImageId(uint32_t flags);
    // The node's text and that of every ancestor, from the store down, joined by '\'.
    static std::string GetDisplayPath(const CFolderDesc& node);

    const ZxSBinary& GetStoreEntryId(int32_t storeIndex) const;
    const ZxIMsgStore& GetOpenStore() const { return m_openStore; }
    const ZxIMAPISession& GetSession() const { return m_session; }

protected:
    IListT<CFolderDesc> m_topLevel;

private:
    int32_t IndexOfStore(const ZxSBinary& storeId);
    void ForgetOpenStore();
    uint32_t SpecialFolderFlags(const ZxSBinary& childId) const;

    ZxIMAPISession m_session;
    std::unique_ptr<CMsgStoresTableFromProfile> m_storesTable;
    std::vector<ZxSBinary> m_storeIds;

    // The one store open at a time and its special folders (only those of its kind are read).
    int32_t m_openStoreIndex = -1;
    ZxIMsgStore m_openStore;
    ZxSBinary m_openStoreId;
    bool m_openStoreIsPublic = false;
    ZxSBinary m_inboxId, m_outboxId, m_sentItemsId, m_deletedItemsId;
    ZxSBinary m_publicRootId, m_nonIpmSubtreeId;
};

} // namespace FolderPickers
