#include "ui/MAPIFolderTree.h"

#include <cstring>

#include "base/Errors.h"
#include "base/Resource.h"
#include "base/TextConversion.h"
#include "config/FolderKind.h"
#include "mapi/MAPIModule.h"
#include "mapi/MAPITags.h"
#include "resources/ResourceIds.h"

namespace FolderPickers {
namespace {

// The Polish texts are kept as users have always seen them, in the system's ANSI code page (ToAnsi).
// Users and support quote the picker's failures by module, function and line: the places they have always
// been reported with (those of the tree control that reads the folders), whatever the lines here are.
constexpr Error::ZxFixedPlace kNoSubtreeId{"MAPIFolderTreeCtrl", "FolderPickers::ZxMAPIFolderTreeCtrl::OnTvnItemexpanding",
                                           306};
constexpr Error::ZxFixedPlace kStoreNotOpened{"MAPIFolderTreeCtrl", "FolderPickers::ZxMAPIFolderTreeCtrl::OpenMsgStore",
                                              246};
constexpr Error::ZxFixedPlace kFolderNotOpened{"MAPIFolderTreeCtrl", "FolderPickers::ZxMAPIFolderTreeCtrl::ReadSubfolders",
                                               378};
constexpr Error::ZxFixedPlace kNoHierarchyTable{"MAPIFolderTreeCtrl",
                                                "FolderPickers::ZxMAPIFolderTreeCtrl::ReadSubfolders", 389};
constexpr Error::ZxFixedPlace kChildrenNotRead{"MAPIFolderTreeCtrl", "FolderPickers::ZxMAPIFolderTreeCtrl::ReadSubfolders",
                                               402};

// MDB_NO_DIALOG | MAPI_BEST_ACCESS | MDB_NO_MAIL: browsing needs no transport and no temporary profile entry.
constexpr ULONG kOpenStoreFlags = 0x91;

const BYTE kExcludedProvider[16] = {0x4B, 0x45, 0x06, 0xEE, 0xF0, 0xB1, 0xA1, 0x47,
                                    0xAA, 0x05, 0x57, 0x29, 0x7D, 0x0A, 0x08, 0x4A};
const BYTE kPublicFoldersProvider[16] = {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                         0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};

bool IsProvider(const ZxSBinary& provider, const BYTE (&uid)[16]) {
    return provider.Size() == 16 && provider.Data() && std::memcmp(provider.Data(), uid, 16) == 0;
}

// The row's value of `tag` when the row carries it (error values and other types are absent).
const SPropValue* Column(const SRow& row, ULONG index, ULONG tag) {
    if (!row.lpProps || index >= row.cValues || row.lpProps[index].ulPropTag != tag) return nullptr;
    return &row.lpProps[index];
}

} // namespace

const std::vector<std::string>& ZxMAPIFolderTree::ExcludedStorePrefixes() {
    static const std::vector<std::string> prefixes = {"SMTP (", "SsystemAufsicht", "SystemMailbox{",
                                                      "System Attendant"};
    return prefixes;
}

ZxMAPIFolderTree::ZxMAPIFolderTree(const ZxIMAPISession& session) : m_session(session) {}

ZxMAPIFolderTree::~ZxMAPIFolderTree() = default;

int32_t ZxMAPIFolderTree::IndexOfStore(const ZxSBinary& storeId) {
    for (size_t i = 0; i < m_storeIds.size(); ++i)
        if (m_storeIds[i] == storeId) return static_cast<int32_t>(i);
    m_storeIds.push_back(storeId);
    return static_cast<int32_t>(m_storeIds.size() - 1);
}

const ZxSBinary& ZxMAPIFolderTree::GetStoreEntryId(int32_t storeIndex) const {
    static const ZxSBinary none;
    if (storeIndex < 0 || static_cast<size_t>(storeIndex) >= m_storeIds.size()) return none;
    return m_storeIds[static_cast<size_t>(storeIndex)];
}

void ZxMAPIFolderTree::FillTopLevel() {
    if (!m_topLevel.IsEmpty()) return;
    if (!m_storesTable) {
        auto table = std::make_unique<CMsgStoresTableFromProfile>();
        table->Create(m_session.Get());
        m_storesTable = std::move(table);
    }
    const ULONG rows = m_storesTable->GetRowCount();
    for (ULONG row = 0; row < rows; ++row) {
        const ZxSBinary storeId = m_storesTable->GetEntryID(row);
        if (!storeId.HasData()) continue;
        const std::string name = m_storesTable->GetDisplayName(row);
        bool excluded = false;
        for (const std::string& prefix : ExcludedStorePrefixes())
            if (name.compare(0, prefix.size(), prefix) == 0) excluded = true;
        if (excluded) continue;

        uint32_t flags = kNodeStore | kNodeMail;
        const ZxSBinary provider = m_storesTable->GetProvider(row);
        if (IsProvider(provider, kExcludedProvider)) continue;
        if (m_storesTable->IsDefaultStore(row)) flags |= kNodeDefaultStore;
        if (IsProvider(provider, kPublicFoldersProvider)) flags |= kNodePublic;
        // Personal folders files, mailboxes and every other provider are listed as they are.

        auto node = std::make_unique<CFolderDesc>();
        node->displayName = name;
        node->storeIndex = IndexOfStore(storeId);
        node->hasSubfolders = true;
        node->flags = flags;
        m_topLevel.Append(std::move(node));
    }
}

bool ZxMAPIFolderTree::ReadChildrenOnce(CFolderDesc& node) {
    if (node.childrenRead) return false;
    OpenMsgStore(node);
    if (!node.entryId.HasData()) {
        ZxSBinary subtree;
        const HRESULT hr = m_openStore.GetPropBinary(PR_IPM_SUBTREE_ENTRYID, subtree);
        if (FAILED(hr) || !subtree.HasData())
            ZX_THROW_MAPI_AT(kNoSubtreeId, FAILED(hr) ? hr : MAPI_E_NOT_FOUND,
                             ToAnsi(L"Nie można pobrać identyfikatora głównego foldera."));
        node.entryId = subtree;
    }
    ReadSubfolders(node);
    return true;
}

void ZxMAPIFolderTree::ForgetOpenStore() {
    m_openStore.Reset();
    m_openStoreIndex = -1;
    m_openStoreIsPublic = false;
    for (ZxSBinary* id : {&m_openStoreId, &m_inboxId, &m_outboxId, &m_sentItemsId, &m_deletedItemsId, &m_publicRootId,
                          &m_nonIpmSubtreeId})
        id->Free();
}

void ZxMAPIFolderTree::OpenMsgStore(const CFolderDesc& node) {
    if (m_openStore && node.storeIndex == m_openStoreIndex) return;
    ForgetOpenStore();

    ZxIMsgStore store;
    const HRESULT hr = m_session.OpenMsgStore(GetStoreEntryId(node.storeIndex), store, kOpenStoreFlags);
    if (FAILED(hr) || !store)
        ZX_THROW_MAPI_AT(kStoreNotOpened, FAILED(hr) ? hr : MAPI_E_NOT_FOUND,
                         ToAnsi(L"Nie można otworzyć wybranej skrzynki pocztowej."));
    m_openStore = store;
    m_openStoreIndex = node.storeIndex;
    m_openStoreIsPublic = (node.flags & kNodePublic) != 0;

    // A special folder that cannot be read is simply not marked.
    m_openStore.GetPropBinary(PR_ENTRYID, m_openStoreId);
    if (m_openStoreIsPublic) {
        m_openStore.GetPropBinary(PR_IPM_PUBLIC_FOLDERS_ENTRYID, m_publicRootId);
        m_openStore.GetPropBinary(PR_NON_IPM_SUBTREE_ENTRYID, m_nonIpmSubtreeId);
        return;
    }
    m_openStore.GetPropBinary(PR_IPM_OUTBOX_ENTRYID, m_outboxId);
    m_openStore.GetPropBinary(PR_IPM_WASTEBASKET_ENTRYID, m_deletedItemsId);
    m_openStore.GetPropBinary(PR_IPM_SENTMAIL_ENTRYID, m_sentItemsId);

    ULONG cb = 0;
    ENTRYID* inbox = nullptr;
    char* explicitClass = nullptr;
    char defaultClass[] = "";
    const HRESULT inboxHr = m_openStore->GetReceiveFolder(defaultClass, 0, &cb, &inbox, &explicitClass);
    zx::unique_mapi_buffer inboxBuffer(inbox), classBuffer(explicitClass);
    if (SUCCEEDED(inboxHr) && inbox && cb) m_inboxId = ZxSBinary(cb, reinterpret_cast<const BYTE*>(inbox));
}

uint32_t ZxMAPIFolderTree::SpecialFolderFlags(const ZxSBinary& childId) const {
    auto same = [&](const ZxSBinary& special) {
        return special.HasData() && m_openStore.CompareEntryIDs(childId, special) != 0;
    };
    if (m_openStoreIsPublic) {
        if (same(m_publicRootId)) return kNodePublicRoot | kNodePublic | kNodeMail;
        if (same(m_nonIpmSubtreeId)) return kNodeNonIpmSubtree | kNodePublic | kNodeMail;
        return 0;
    }
    if (same(m_inboxId)) return kNodeInbox | kNodeMail;
    if (same(m_outboxId)) return kNodeOutbox | kNodeMail;
    if (same(m_deletedItemsId)) return kNodeDeletedItems | kNodeMail;
    if (same(m_sentItemsId)) return kNodeSentItems | kNodeMail;
    return 0;
}

void ZxMAPIFolderTree::ReadSubfolders(CFolderDesc& node) {
    node.childrenRead = true;

    ZxIMAPIFolder folder;
    HRESULT hr = m_openStore.OpenEntry(node.entryId, folder, MAPI_BEST_ACCESS);
    if (FAILED(hr) || !folder)
        ZX_THROW_MAPI_AT(kFolderNotOpened, FAILED(hr) ? hr : MAPI_E_INTERFACE_NOT_SUPPORTED,
                         ToAnsi(L"Nie można otworzyć wybranego foldera."));

    Microsoft::WRL::ComPtr<IMAPITable> table;
    hr = folder->GetHierarchyTable(0, table.GetAddressOf());
    if (hr == MAPI_E_NO_SUPPORT) return; // a folder that keeps no subfolders
    if (FAILED(hr) || !table)
        ZX_THROW_MAPI_AT(kNoHierarchyTable, FAILED(hr) ? hr : E_POINTER, "Failed to enumerate child folders.");

    SizedSPropTagArray(5, columns) = {
        5, {PR_ENTRYID, PR_LONGTERM_ENTRYID_FROM_TABLE, PR_DISPLAY_NAME_A, PR_SUBFOLDERS, PR_CONTAINER_CLASS_A}};
    ZxSRowSet rows;
    hr = ZxMAPIModule::Instance().QueryAllRows(table.Get(), reinterpret_cast<SPropTagArray*>(&columns), nullptr,
                                               nullptr, 0, rows.Receive());
    if (FAILED(hr))
        ZX_THROW_MAPI_AT(kChildrenNotRead, hr, "Failed to read child folders.");

    const bool parentIsStore = (node.flags & kNodeStore) != 0;
    for (ULONG r = 0; r < rows.RowCount(); ++r) {
        const SRow& row = rows.Row(r);
        auto child = std::make_unique<CFolderDesc>();
        if (const SPropValue* id = Column(row, 1, PR_LONGTERM_ENTRYID_FROM_TABLE))
            child->entryId = ZxSBinary(id->Value.bin);
        else if (const SPropValue* shortId = Column(row, 0, PR_ENTRYID))
            child->entryId = ZxSBinary(shortId->Value.bin);
        // A folder that cannot be named cannot be opened or chosen: the reading ends here.
        if (!child->entryId.HasData()) throw CUnnamedChildFolder();
        if (const SPropValue* name = Column(row, 2, PR_DISPLAY_NAME_A); name && name->Value.lpszA)
            child->displayName = name->Value.lpszA;
        if (const SPropValue* sub = Column(row, 3, PR_SUBFOLDERS)) child->hasSubfolders = sub->Value.b != 0;
        const SPropValue* cls = Column(row, 4, PR_CONTAINER_CLASS_A);
        child->flags = static_cast<uint32_t>(
            GetFolderKindBit(cls && cls->Value.lpszA ? std::string(cls->Value.lpszA) : std::string("IPF.Note")));
        if (node.flags & kNodePublic) child->flags |= kNodePublic;
        if (parentIsStore) {
            if (const uint32_t special = SpecialFolderFlags(child->entryId)) child->flags = special;
        }
        child->storeIndex = node.storeIndex;
        child->parent = &node;
        node.children.Append(std::move(child));
    }
}

int ZxMAPIFolderTree::GetImageId(uint32_t flags) {
    static const struct {
        uint32_t flag;
        int image;
    } kImages[] = {
        {kNodeDefaultStore, IDB_FOLDER_DEFAULT_STORE}, {kNodeStore, IDB_FOLDER_STORE},
        {kNodeSentItems, IDB_FOLDER_SENT_ITEMS},       {kNodeDeletedItems, IDB_FOLDER_DELETED_ITEMS},
        {kNodeInbox, IDB_FOLDER_INBOX},                {kNodeOutbox, IDB_FOLDER_OUTBOX},
        {kNodeMail, IDB_FOLDER_MAIL},                  {kNodeTask, IDB_FOLDER_TASK},
        {kNodeJournal, IDB_FOLDER_JOURNAL},            {kNodeContact, IDB_FOLDER_CONTACTS},
        {kNodeCalendar, IDB_FOLDER_CALENDAR},          {kNodeNote, IDB_FOLDER_NOTE},
    };
    for (const auto& row : kImages)
        if (flags & row.flag) return row.image;
    return IDB_FOLDER_MAIL;
}

std::string ZxMAPIFolderTree::GetDisplayPath(const CFolderDesc& node) {
    std::string path = node.displayName;
    for (const CFolderDesc* up = node.parent; up; up = up->parent) path = up->displayName + "\\" + path;
    return path;
}

CMAPIFolderDesc ZxMAPIFolderTree::MakeAnswer(const CFolderDesc* node) const {
    if (!node) return CMAPIFolderDesc();
    return CMAPIFolderDesc(node->entryId, GetStoreEntryId(node->storeIndex), GetDisplayPath(*node), node->flags);
}

void ZxMAPIFolderTree::OpenChosenFolder(const CFolderDesc& node, ZxIMAPIFolder& folder) {
    folder.Reset();
    OpenMsgStore(node);
    ZxSBinary id = node.entryId;
    if (!id.HasData()) m_openStore.GetPropBinary(PR_IPM_SUBTREE_ENTRYID, id);
    ZxIMAPIFolder opened;
    if (SUCCEEDED(m_openStore.OpenEntry(id, opened, MAPI_BEST_ACCESS))) folder = opened;
}

} // namespace FolderPickers
