// The in-memory profile: stores, folder trees and items, their ids, and the test API that
// builds and changes them as a user would in Outlook.
#include "Internal.h"

#include <algorithm>

namespace standin::detail {
namespace {

// MUIDSTOREWRAP: the provider id MAPI puts in front of wrapped store entry ids.
const unsigned char kStoreWrap[16] = {0x38, 0xA1, 0xBB, 0x10, 0x05, 0xE5, 0x10, 0x1A,
                                      0xA1, 0xBB, 0x08, 0x00, 0x2B, 0x2A, 0x56, 0xC2};
const unsigned char kPst[16] = {0x4E, 0x49, 0x54, 0x41, 0xF9, 0xBF, 0xB8, 0x01,
                                0x00, 0xAA, 0x00, 0x37, 0xD9, 0x6E, 0x00, 0x00};
const unsigned char kPublic[16] = {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                   0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};
const unsigned char kExcluded[16] = {0x4B, 0x45, 0x06, 0xEE, 0xF0, 0xB1, 0xA1, 0x47,
                                     0xAA, 0x05, 0x57, 0x29, 0x7D, 0x0A, 0x08, 0x4A};
const unsigned char kMailbox[16] = {0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B,
                                    0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17};
const unsigned char kOther[16] = {0x5A, 0x58, 0x4F, 0x54, 0x48, 0x45, 0x52, 0x50,
                                  0x52, 0x4F, 0x56, 0x49, 0x44, 0x45, 0x52, 0x31};

Bytes Raw(const unsigned char* p, size_t n) { return Bytes(reinterpret_cast<const char*>(p), n); }

void AppendLE(Bytes& b, ULONGLONG v, int n) {
    for (int k = 0; k < n; ++k) b.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

const char* DllOf(ProviderKind k) {
    switch (k) {
        case ProviderKind::PersonalFolders:
            return "mspst.dll";
        case ProviderKind::ExchangePublic:
            return "emsmdb.dll";
        case ProviderKind::Excluded:
            return "exclstore.dll";
        case ProviderKind::SharedFolders:
            return "ZxBMStore.dll";
        case ProviderKind::Other:
            return "otherstore.dll";
        case ProviderKind::ExchangeMailbox:
            return "emsmdb.dll";
    }
    return "mspst.dll";
}

World* g_world = nullptr;

} // namespace

ULONGLONG StartTime() {
    SYSTEMTIME st{};
    st.wYear = 2026;
    st.wMonth = 1;
    st.wDay = 1;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

World& W() {
    if (!g_world) {
        g_world = new World();
        g_world->now = StartTime();
    }
    return *g_world;
}

StoreRec* World::StoreByAnyId(const Bytes& id) {
    for (StoreRec& s : stores)
        if (s.id == id || s.tableId == id) return &s;
    return nullptr;
}

StoreRec* World::StoreByOpenId(const Bytes& id) {
    for (StoreRec& s : stores)
        if (s.id == id) return &s;
    return nullptr;
}

FolderRec* World::Folder(const Bytes& id) {
    auto it = folders.find(id);
    if (it != folders.end()) return &it->second;
    auto s = shortToLong.find(id);
    if (s == shortToLong.end()) return nullptr;
    it = folders.find(s->second);
    return it == folders.end() ? nullptr : &it->second;
}

ItemRec* World::Item(const Bytes& id) {
    auto it = items.find(id);
    if (it != items.end()) return &it->second;
    auto s = shortToLong.find(id);
    if (s != shortToLong.end()) {
        it = items.find(s->second);
        if (it == items.end()) return nullptr;
        // A mailbox item's short-term id opens only with the session stamp of the table that gave it.
        StoreRec* store = StoreOfItem(it->second);
        return store && store->IsExchangeMailbox() ? nullptr : &it->second;
    }
    // A short-term id stamped with a session (bytes 1 to 3 of the flags, which MAPI leaves to providers of
    // short-term ids): valid in that session only.
    if (id.size() < 4 || !(static_cast<unsigned char>(id[0]) & MAPI_SHORTTERM)) return nullptr;
    Bytes plain = id;
    plain[1] = plain[2] = plain[3] = '\0';
    s = shortToLong.find(plain);
    if (s == shortToLong.end()) return nullptr;
    it = items.find(s->second);
    if (it == items.end() || SessionShortId(it->second) != id) return nullptr;
    StoreRec* store = StoreOfItem(it->second);
    return store && store->IsExchangeMailbox() ? &it->second : nullptr;
}

StoreRec* World::StoreOfItem(const ItemRec& item) {
    FolderRec* f = Folder(item.folder);
    return f ? StoreOfFolder(*f) : nullptr;
}

bool World::IsOpenForWrite(const Bytes& longId) const {
    return openForWrite.count(longId) != 0 || openElsewhere.count(longId) != 0;
}

Bytes World::SessionShortId(const ItemRec& item) {
    StoreRec* store = StoreOfItem(item);
    if (!store || !store->IsExchangeMailbox() || item.shortId.size() < 4) return item.shortId;
    Bytes id = item.shortId;
    const ULONG stamp = (session % 0xFFFFFF) + 1; // never zero: a stamped id is never the plain one
    id[1] = static_cast<char>(stamp & 0xFF);
    id[2] = static_cast<char>((stamp >> 8) & 0xFF);
    id[3] = static_cast<char>((stamp >> 16) & 0xFF);
    return id;
}

Bytes World::NewObjectId(const StoreRec& s, bool folder, bool shortTerm, ULONGLONG num) const {
    Bytes id;
    id.push_back(static_cast<char>(shortTerm ? 0x80 : 0x00)); // MAPI_SHORTTERM in abFlags[0]
    id.append(3, '\0');
    id += s.uid;
    id.push_back(static_cast<char>(folder ? 0x01 : 0x07));
    id.push_back('\0');
    AppendLE(id, num, 8);
    return id;
}

Bytes World::NewRecordKey(const StoreRec& s, ULONGLONG num) const {
    Bytes key = s.uid;
    AppendLE(key, num, 8);
    return key;
}

void ItemOrder::push_back(const Bytes& id) {
    if (id.empty() || position_.count(id)) return;
    position_.emplace(id, slots_.size());
    slots_.push_back(id);
}

void ItemOrder::erase(const Bytes& id) {
    const auto found = position_.find(id);
    if (found == position_.end()) return;
    slots_[found->second].clear();
    position_.erase(found);
    if (slots_.size() < 64 || slots_.size() < 2 * position_.size()) return;
    // Squeeze the empty slots out, keeping the order.
    size_t to = 0;
    for (Bytes& slot : slots_) {
        if (slot.empty()) continue;
        position_[slot] = to;
        if (&slots_[to] != &slot) slots_[to] = std::move(slot);
        ++to;
    }
    slots_.resize(to);
}

void World::RemoveItem(const Bytes& longId) {
    auto it = items.find(longId);
    if (it == items.end()) return;
    if (FolderRec* f = Folder(it->second.folder)) {
        f->items.erase(longId);
    }
    shortToLong.erase(it->second.shortId);
    items.erase(it);
}

void World::RemoveFolderTree(const Bytes& longId) {
    FolderRec* f = Folder(longId);
    if (!f) return;
    std::vector<Bytes> children = f->children, contents = f->items.ToVector();
    for (const Bytes& c : children)
        if (c != longId) RemoveFolderTree(c);
    for (const Bytes& i : contents) RemoveItem(i);
    f = Folder(longId);
    if (FolderRec* p = Folder(f->parent); p && p != f) {
        p->children.erase(std::remove(p->children.begin(), p->children.end(), longId), p->children.end());
    }
    shortToLong.erase(f->shortId);
    folders.erase(longId);
}

Bag World::FolderProps(const FolderRec& f) {
    Bag b = f.props;
    BagSet(b, PR_SUBFOLDERS, Value::Bool(!f.children.empty()));
    BagSet(b, PR_CONTENT_COUNT, Value::Long(static_cast<LONG>(f.items.size())));
    return b;
}

TableRow World::ContentsRow(const ItemRec& item) {
    TableRow row{item.props.Share(), Bag()};
    if (BagFind(*row.shared, PR_ENTRYID)) BagSet(row.own, PR_ENTRYID, BinaryValue(SessionShortId(item)));
    if (!BagFind(*row.shared, PR_LONGTERM_ENTRYID_FROM_TABLE) && !item.noLongTermColumn)
        BagSet(row.own, PR_LONGTERM_ENTRYID_FROM_TABLE, BinaryValue(item.id));
    return row;
}

Bag World::HierarchyRow(const FolderRec& f, LONG depth) {
    Bag b = FolderProps(f);
    if (BagFind(b, PR_ENTRYID)) BagSet(b, PR_ENTRYID, BinaryValue(f.shortId));
    BagSet(b, PR_LONGTERM_ENTRYID_FROM_TABLE, BinaryValue(f.id));
    BagSet(b, PR_DEPTH, Value::Long(depth));
    return b;
}

Bag World::StoresRow(const StoreRec& s) {
    Bag b = s.props;
    BagSet(b, PR_ENTRYID, BinaryValue(s.tableId));
    if (s.omitDisplayName) b.erase(PROP_ID(PR_DISPLAY_NAME_A));
    for (ULONG tag : s.omit) b.erase(PROP_ID(tag));
    return b;
}

std::string World::Key(const Bytes& id) {
    if (StoreRec* s = StoreByAnyId(id)) return "S" + s->id;
    if (FolderRec* f = Folder(id)) return "F" + f->id;
    if (ItemRec* i = Item(id)) return "I" + i->id;
    Bytes raw = id;
    if (raw.size() >= 4) raw[0] = raw[1] = raw[2] = raw[3] = 0; // the flags do not name the object
    return "?" + raw;
}

ItemRec* CreateItem(FolderRec& folder, Bag props, std::vector<Bag> recipients, std::vector<Bag> attachments) {
    World& w = W();
    StoreRec* store = w.StoreOfFolder(folder);
    if (!store) return nullptr;
    ULONGLONG num = w.NewNumber();
    ItemRec item;
    item.id = w.NewObjectId(*store, false, false, num);
    item.shortId = w.NewObjectId(*store, false, true, num);
    item.folder = folder.id;
    ULONGLONG now = w.Stamp(store);
    BagSet(props, PR_ENTRYID, BinaryValue(item.id));
    BagSet(props, PR_RECORD_KEY, BinaryValue(w.NewRecordKey(*store, num)));
    BagSet(props, PR_PARENT_ENTRYID, BinaryValue(folder.id));
    if (!BagFind(props, PR_LAST_MODIFICATION_TIME)) BagSet(props, PR_LAST_MODIFICATION_TIME, TimeValueOf(now));
    if (!BagFind(props, PR_CREATION_TIME)) BagSet(props, PR_CREATION_TIME, TimeValueOf(now));
    item.props = std::move(props);
    item.recipients = std::move(recipients);
    item.attachments = std::move(attachments);
    folder.items.push_back(item.id);
    w.shortToLong[item.shortId] = item.id;
    auto [it, inserted] = w.items.emplace(item.id, std::move(item));
    (void)inserted;
    return &it->second;
}

namespace {

FolderRec* NewFolder(StoreRec& s, const Bytes& parent, const std::string& name, const std::string& cls,
                     ULONG type = FOLDER_GENERIC) {
    World& w = W();
    ULONGLONG num = w.NewNumber();
    FolderRec f;
    f.id = w.NewObjectId(s, true, false, num);
    f.shortId = w.NewObjectId(s, true, true, num);
    f.store = s.id;
    f.parent = parent.empty() ? f.id : parent;
    BagSet(f.props, PR_DISPLAY_NAME_A, Value::String(name));
    if (!cls.empty()) BagSet(f.props, PR_CONTAINER_CLASS_A, Value::String(cls));
    BagSet(f.props, PR_ENTRYID, BinaryValue(f.id));
    BagSet(f.props, PR_PARENT_ENTRYID, BinaryValue(f.parent));
    BagSet(f.props, PR_RECORD_KEY, BinaryValue(w.NewRecordKey(s, num)));
    BagSet(f.props, PR_FOLDER_TYPE, Value::Long(static_cast<LONG>(type)));
    BagSet(f.props, PR_OBJECT_TYPE, Value::Long(MAPI_FOLDER));
    if (!parent.empty()) {
        if (FolderRec* p = w.Folder(parent)) p->children.push_back(f.id);
    }
    w.shortToLong[f.shortId] = f.id;
    auto [it, inserted] = w.folders.emplace(f.id, std::move(f));
    (void)inserted;
    return &it->second;
}

std::vector<Bag> NumberRows(const std::vector<PropMap>& rows, ULONG numberTag) {
    std::vector<Bag> out;
    LONG n = 0;
    for (const PropMap& m : rows) {
        Bag b = PropMapToBag(m);
        if (!BagFind(b, numberTag)) BagSet(b, numberTag, Value::Long(n));
        ++n;
        out.push_back(std::move(b));
    }
    return out;
}

void FillView(const ItemRec& item, ItemView* v) {
    v->entryId = item.id;
    v->shortTermId = item.shortId;
    v->longTermId = item.id;
    v->folder = item.folder;
    const Value* rk = BagFind(item.props, PR_RECORD_KEY);
    v->recordKey = rk && rk->type == PT_BINARY ? rk->s : Bytes();
    const Value* subj = BagFind(item.props, PR_SUBJECT_A);
    v->subject.clear();
    if (subj && subj->type == PT_STRING8) v->subject = subj->s;
    if (subj && subj->type == PT_UNICODE) v->subject = Narrow(subj->w);
    const Value* t = BagFind(item.props, PR_LAST_MODIFICATION_TIME);
    v->modified = t && t->type == PT_SYSTIME ? t->AsTime() : FILETIME{};
    v->props = BagToPropMap(item.props);
    v->recipients.clear();
    v->attachments.clear();
    for (const Bag& b : item.recipients) v->recipients.push_back(BagToPropMap(b));
    for (const Bag& b : item.attachments) v->attachments.push_back(BagToPropMap(b));
    v->hidden = item.hidden;
}

std::string DisplayNameOf(const Bag& props) {
    const Value* v = BagFind(props, PR_DISPLAY_NAME_A);
    if (v && v->type == PT_STRING8) return v->s;
    if (v && v->type == PT_UNICODE) return Narrow(v->w);
    return std::string();
}

} // namespace
} // namespace standin::detail

using namespace standin::detail;

namespace standin {

void Reset(const std::string& profileName) {
    Lock lock(Mutex());
    World w;
    w.profileName = profileName;
    w.now = StartTime();
    W() = std::move(w);
    ResetCalls();
    ResetAllocatorCounters();
}

void SetProfileName(const std::string& name) {
    Lock lock(Mutex());
    W().profileName = name;
}

std::string ProfileName() {
    Lock lock(Mutex());
    return W().profileName;
}

void SetProfileNameAvailable(bool available) {
    Lock lock(Mutex());
    W().profileNameAvailable = available;
}

Bytes ProviderBytes(ProviderKind kind) {
    switch (kind) {
        case ProviderKind::PersonalFolders:
        case ProviderKind::SharedFolders:
            return Raw(kPst, 16);
        case ProviderKind::ExchangePublic:
            return Raw(kPublic, 16);
        case ProviderKind::Excluded:
            return Raw(kExcluded, 16);
        case ProviderKind::Other:
            return Raw(kOther, 16);
        case ProviderKind::ExchangeMailbox:
            return Raw(kMailbox, 16);
    }
    return Bytes();
}

Bytes AddStore(const StoreSpec& descr) {
    Lock lock(Mutex());
    World& w = W();
    StoreRec s;
    ULONG n = w.nextStore++;
    s.uid = "ZSTN";
    AppendLE(s.uid, n, 4);
    s.uid += Bytes("STANDIN\0", 8);
    s.kind = descr.kind;
    s.unopenable = descr.unopenable;
    s.omitDisplayName = descr.omitDisplayNameInTable;
    s.omit = descr.omitInTable;
    s.savedPropsOnReopen = descr.savedPropsOnReopen;

    // A wrapped store entry id: flags, MUIDSTOREWRAP, version, flag, provider DLL name, padding,
    // then the provider's own id: flags, provider uid and what the provider needs to find the store.
    Bytes id(4, '\0');
    id += Raw(kStoreWrap, 16);
    id.push_back('\0');
    id.push_back('\0');
    id += DllOf(descr.kind);
    id.push_back('\0');
    while (id.size() % 4) id.push_back('\0');
    id.append(4, '\0');
    const Bytes provider = descr.overrideProvider ? descr.providerBytes : ProviderBytes(descr.kind);
    id += descr.kind == ProviderKind::SharedFolders || provider.size() != 16 ? Raw(kPst, 16) : provider;
    if (descr.kind == ProviderKind::SharedFolders) {
        id.push_back('\0');
        id += descr.storeFilePath;
        id.push_back('\0');
    }
    id += s.uid;
    s.id = id;
    s.tableId = id;
    if (descr.tableIdDiffers) s.tableId[21] = 0x01;

    BagSet(s.props, PR_DISPLAY_NAME_A, Value::String(descr.displayName));
    if (!descr.ownerName.empty()) BagSet(s.props, PR_MAILBOX_OWNER_NAME_A, Value::String(descr.ownerName));
    BagSet(s.props, PR_MDB_PROVIDER, BinaryValue(provider));
    BagSet(s.props, PR_DEFAULT_STORE, Value::Bool(descr.isDefault));
    BagSet(s.props, PR_ENTRYID, BinaryValue(s.id));
    BagSet(s.props, PR_RECORD_KEY, BinaryValue(s.uid));
    BagSet(s.props, PR_STORE_RECORD_KEY, BinaryValue(s.uid));
    BagSet(s.props, PR_RESOURCE_FLAGS, Value::Long(descr.isDefault ? STATUS_DEFAULT_STORE : 0));
    BagSet(s.props, PR_STORE_SUPPORT_MASK,
           Value::Long(STORE_ENTRYID_UNIQUE | STORE_MODIFY_OK | STORE_CREATE_OK | 0x00040000 /* STORE_UNICODE_OK */));
    BagSet(s.props, PR_OBJECT_TYPE, Value::Long(MAPI_STORE));
    if (descr.isDefault) {
        for (StoreRec& other : w.stores) {
            BagSet(other.props, PR_DEFAULT_STORE, Value::Bool(false));
            BagSet(other.props, PR_RESOURCE_FLAGS, Value::Long(0));
        }
    }
    w.stores.push_back(s);
    StoreRec& store = w.stores.back();

    FolderRec* root = NewFolder(store, Bytes(), "", "", FOLDER_ROOT);
    store.root = root->id;
    Bytes rootId = root->id;
    Bytes subtree = NewFolder(store, rootId, descr.subtreeName, "")->id;
    BagSet(store.props, PR_IPM_SUBTREE_ENTRYID, BinaryValue(subtree));
    if (descr.standardFolders && descr.kind == ProviderKind::ExchangePublic) {
        BagSet(store.props, PR_IPM_PUBLIC_FOLDERS_ENTRYID,
               BinaryValue(NewFolder(store, subtree, "All Public Folders", "IPF.Note")->id));
        NewFolder(store, subtree, "Favorites", "IPF.Note");
        BagSet(store.props, PR_NON_IPM_SUBTREE_ENTRYID,
               BinaryValue(NewFolder(store, rootId, "NON_IPM_SUBTREE", "")->id));
    } else if (descr.standardFolders) {
        store.inbox = NewFolder(store, subtree, "Inbox", "IPF.Note")->id;
        BagSet(store.props, PR_IPM_OUTBOX_ENTRYID, BinaryValue(NewFolder(store, subtree, "Outbox", "IPF.Note")->id));
        BagSet(store.props, PR_IPM_SENTMAIL_ENTRYID,
               BinaryValue(NewFolder(store, subtree, "Sent Items", "IPF.Note")->id));
        BagSet(store.props, PR_IPM_WASTEBASKET_ENTRYID,
               BinaryValue(NewFolder(store, subtree, "Deleted Items", "IPF.Note")->id));
        NewFolder(store, subtree, "Calendar", "IPF.Appointment");
        NewFolder(store, subtree, "Contacts", "IPF.Contact");
        NewFolder(store, subtree, "Drafts", "IPF.Note");
        NewFolder(store, subtree, "Journal", "IPF.Journal");
        NewFolder(store, subtree, "Notes", "IPF.StickyNote");
        NewFolder(store, subtree, "Tasks", "IPF.Task");
    }
    return store.id;
}

std::vector<Bytes> Stores() {
    Lock lock(Mutex());
    std::vector<Bytes> out;
    for (const StoreRec& s : W().stores) out.push_back(s.id);
    return out;
}

Bytes StoreByName(const std::string& name) {
    Lock lock(Mutex());
    for (const StoreRec& s : W().stores)
        if (DisplayNameOf(s.props) == name) return s.id;
    return Bytes();
}

Bytes StoreTableId(const Bytes& store) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByAnyId(store);
    return s ? s->tableId : Bytes();
}

void RemoveStore(const Bytes& store) {
    Lock lock(Mutex());
    World& w = W();
    StoreRec* s = w.StoreByAnyId(store);
    if (!s) return;
    Bytes id = s->id, root = s->root;
    w.RemoveFolderTree(root);
    w.stores.erase(std::remove_if(w.stores.begin(), w.stores.end(), [&](const StoreRec& r) { return r.id == id; }),
                   w.stores.end());
}

bool SetStoreProp(const Bytes& store, ULONG tag, const Value& v) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByAnyId(store);
    if (!s) return false;
    BagSet(s->props, tag, v);
    return true;
}

bool RemoveStoreProp(const Bytes& store, ULONG tag) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByAnyId(store);
    return s && s->props.erase(PROP_ID(tag)) > 0;
}

Bytes RootFolder(const Bytes& store) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByAnyId(store);
    return s ? s->root : Bytes();
}

Bytes IpmSubtree(const Bytes& store) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByAnyId(store);
    if (!s) return Bytes();
    const Value* v = BagFind(s->props, PR_IPM_SUBTREE_ENTRYID);
    return v && v->type == PT_BINARY ? v->s : Bytes();
}

Bytes Inbox(const Bytes& store) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByAnyId(store);
    return s ? s->inbox : Bytes();
}

Bytes AddFolder(const Bytes& parent, const std::string& name, const std::string& containerClass) {
    Lock lock(Mutex());
    World& w = W();
    FolderRec* p = w.Folder(parent);
    if (!p) return Bytes();
    StoreRec* s = w.StoreOfFolder(*p);
    if (!s) return Bytes();
    Bytes parentId = p->id;
    return NewFolder(*s, parentId, name, containerClass)->id;
}

Bytes FolderByPath(const std::string& path) {
    Lock lock(Mutex());
    World& w = W();
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t pos = path.find('\\', start);
        parts.push_back(path.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
        if (pos == std::string::npos) break;
        start = pos + 1;
    }
    for (StoreRec& s : w.stores) {
        std::string name = DisplayNameOf(s.props);
        if (name.empty()) {
            const Value* owner = BagFind(s.props, PR_MAILBOX_OWNER_NAME_A);
            if (owner && owner->type == PT_STRING8) name = owner->s;
        }
        if (name != parts[0]) continue;
        const Value* sub = BagFind(s.props, PR_IPM_SUBTREE_ENTRYID);
        FolderRec* f = sub ? w.Folder(sub->s) : nullptr;
        for (size_t k = 1; f && k < parts.size(); ++k) {
            FolderRec* next = nullptr;
            for (const Bytes& c : f->children) {
                FolderRec* child = w.Folder(c);
                if (child && child != f && DisplayNameOf(child->props) == parts[k]) {
                    next = child;
                    break;
                }
            }
            f = next;
        }
        if (f) return f->id;
    }
    return Bytes();
}

bool GetFolder(const Bytes& folder, FolderView* out) {
    Lock lock(Mutex());
    World& w = W();
    FolderRec* f = w.Folder(folder);
    if (!f || !out) return false;
    out->entryId = f->id;
    out->parentId = f->parent;
    out->store = f->store;
    out->name = DisplayNameOf(f->props);
    const Value* cls = BagFind(f->props, PR_CONTAINER_CLASS_A);
    out->containerClass = cls && cls->type == PT_STRING8 ? cls->s : std::string();
    out->props = BagToPropMap(w.FolderProps(*f));
    out->children.clear();
    for (const Bytes& c : f->children)
        if (c != f->id) out->children.push_back(c);
    out->canWrite = f->canWrite;
    out->canDelete = f->canDelete;
    out->hierarchySupported = f->hierarchy;
    out->itemCount = f->items.size();
    return true;
}

bool SetFolderProp(const Bytes& folder, ULONG tag, const Value& v) {
    Lock lock(Mutex());
    FolderRec* f = W().Folder(folder);
    if (!f) return false;
    BagSet(f->props, tag, v);
    return true;
}

bool RemoveFolderProp(const Bytes& folder, ULONG tag) {
    Lock lock(Mutex());
    FolderRec* f = W().Folder(folder);
    return f && f->props.erase(PROP_ID(tag)) > 0;
}

void DeleteFolder(const Bytes& folder) {
    Lock lock(Mutex());
    World& w = W();
    FolderRec* f = w.Folder(folder);
    if (f) w.RemoveFolderTree(f->id);
}

void SetFolderAccess(const Bytes& folder, bool canWrite, bool canDelete) {
    Lock lock(Mutex());
    if (FolderRec* f = W().Folder(folder)) {
        f->canWrite = canWrite;
        f->canDelete = canDelete;
    }
}

void SetFolderRefusesCreate(const Bytes& folder, bool refuses) {
    Lock lock(Mutex());
    if (FolderRec* f = W().Folder(folder)) f->refusesCreate = refuses;
}

void SetHierarchySupported(const Bytes& folder, bool supported) {
    Lock lock(Mutex());
    if (FolderRec* f = W().Folder(folder)) f->hierarchy = supported;
}

Bytes AddItem(const Bytes& folder, const std::string& subject, const PropMap& props) {
    ItemSpec descr;
    descr.subject = subject;
    descr.props = props;
    return AddItem(folder, descr);
}

Bytes AddItem(const Bytes& folder, const ItemSpec& descr) {
    Lock lock(Mutex());
    FolderRec* f = W().Folder(folder);
    if (!f) return Bytes();
    Bag props = PropMapToBag(descr.props);
    if (!BagFind(props, PR_SUBJECT_A)) BagSet(props, PR_SUBJECT_A, Value::String(descr.subject));
    if (!BagFind(props, PR_MESSAGE_CLASS_A)) BagSet(props, PR_MESSAGE_CLASS_A, Value::String(descr.messageClass));
    ItemRec* item = CreateItem(*f, std::move(props), NumberRows(descr.recipients, PR_ROWID),
                               NumberRows(descr.attachments, PR_ATTACH_NUM));
    if (!item) return Bytes();
    JournalItem(*item);
    NotifyItem(fnevObjectCreated, item->id, item->folder);
    return item->id;
}

bool EditItem(const Bytes& item, const PropMap& changes) {
    Lock lock(Mutex());
    World& w = W();
    ItemRec* i = w.Item(item);
    if (!i) return false;
    ULONGLONG now = w.Stamp(w.StoreOfItem(*i));
    for (const auto& [tag, v] : changes) BagSet(i->props.Edit(), tag, v);
    if (!changes.count(PR_LAST_MODIFICATION_TIME)) BagSet(i->props.Edit(), PR_LAST_MODIFICATION_TIME, TimeValueOf(now));
    ++i->version;
    JournalItem(*i);
    NotifyItem(fnevObjectModified, i->id, i->folder);
    return true;
}

bool SetItemRecipients(const Bytes& item, const std::vector<PropMap>& recipients) {
    Lock lock(Mutex());
    World& w = W();
    ItemRec* i = w.Item(item);
    if (!i) return false;
    i->recipients = NumberRows(recipients, PR_ROWID);
    BagSet(i->props.Edit(), PR_LAST_MODIFICATION_TIME, TimeValueOf(w.Stamp(w.StoreOfItem(*i))));
    ++i->version;
    return true;
}

bool SetItemAttachments(const Bytes& item, const std::vector<PropMap>& attachments) {
    Lock lock(Mutex());
    World& w = W();
    ItemRec* i = w.Item(item);
    if (!i) return false;
    i->attachments = NumberRows(attachments, PR_ATTACH_NUM);
    BagSet(i->props.Edit(), PR_LAST_MODIFICATION_TIME, TimeValueOf(w.Stamp(w.StoreOfItem(*i))));
    ++i->version;
    return true;
}

bool SetItemHidden(const Bytes& item, bool hidden) {
    Lock lock(Mutex());
    ItemRec* i = W().Item(item);
    if (!i) return false;
    i->hidden = hidden;
    JournalItem(*i);
    return true;
}

bool SetItemTime(const Bytes& item, FILETIME t) {
    Lock lock(Mutex());
    ItemRec* i = W().Item(item);
    if (!i) return false;
    BagSet(i->props.Edit(), PR_LAST_MODIFICATION_TIME, Value::Time(t));
    return true;
}

bool RemoveItemProp(const Bytes& item, ULONG tag) {
    Lock lock(Mutex());
    ItemRec* i = W().Item(item);
    if (!i) return false;
    if (PROP_ID(tag) == PROP_ID(PR_LONGTERM_ENTRYID_FROM_TABLE)) i->noLongTermColumn = true;
    i->props.Edit().erase(PROP_ID(tag));
    ++i->version;
    return true;
}

bool SetItemProp(const Bytes& item, ULONG tag, const Value& v) {
    Lock lock(Mutex());
    ItemRec* i = W().Item(item);
    if (!i) return false;
    BagSet(i->props.Edit(), tag, v);
    ++i->version;
    return true;
}

bool DeleteItem(const Bytes& item) {
    Lock lock(Mutex());
    World& w = W();
    ItemRec* i = w.Item(item);
    if (!i) return false;
    const Bytes removed = i->id, folder = i->folder;
    w.RemoveItem(removed);
    JournalRemoval(removed);
    NotifyItem(fnevObjectDeleted, removed, folder);
    return true;
}

bool MoveItem(const Bytes& item, const Bytes& folder) {
    Lock lock(Mutex());
    World& w = W();
    ItemRec* i = w.Item(item);
    FolderRec* to = w.Folder(folder);
    if (!i || !to) return false;
    FolderRec* from = w.Folder(i->folder);
    // Ids carry the store: only a move inside one store can keep them.
    if (!from || from->store != to->store) return false;
    if (from == to) return true;
    StoreRec* store = w.StoreOfFolder(*to);
    if (store && store->IsExchangeMailbox()) {
        // A mailbox gives a moved item a new entry id and record key: the old ids no longer open it.
        ItemRec moved = *i;
        const Bytes oldId = i->id;
        w.RemoveItem(oldId);
        JournalRemoval(oldId);
        const ULONGLONG num = w.NewNumber();
        moved.id = w.NewObjectId(*store, false, false, num);
        moved.shortId = w.NewObjectId(*store, false, true, num);
        moved.folder = to->id;
        moved.noLongTermColumn = false;
        BagSet(moved.props.Edit(), PR_ENTRYID, BinaryValue(moved.id));
        BagSet(moved.props.Edit(), PR_RECORD_KEY, BinaryValue(w.NewRecordKey(*store, num)));
        BagSet(moved.props.Edit(), PR_PARENT_ENTRYID, BinaryValue(to->id));
        ++moved.version;
        to->items.push_back(moved.id);
        w.shortToLong[moved.shortId] = moved.id;
        ItemRec& added = w.items.emplace(moved.id, std::move(moved)).first->second;
        JournalItem(added);
        return true;
    }
    from->items.erase(i->id);
    to->items.push_back(i->id);
    i->folder = to->id;
    BagSet(i->props.Edit(), PR_PARENT_ENTRYID, BinaryValue(to->id));
    JournalItem(*i);
    NotifyItem(fnevObjectMoved, i->id, to->id, from->id);
    return true;
}

bool SetItemOpenElsewhere(const Bytes& item, bool open) {
    Lock lock(Mutex());
    World& w = W();
    ItemRec* i = w.Item(item);
    if (!i) return false;
    if (open)
        w.openElsewhere.insert(i->id);
    else
        w.openElsewhere.erase(i->id);
    return true;
}

bool ItemExists(const Bytes& item) {
    Lock lock(Mutex());
    return W().Item(item) != nullptr;
}

bool GetItem(const Bytes& item, ItemView* out) {
    Lock lock(Mutex());
    ItemRec* i = W().Item(item);
    if (!i || !out) return false;
    FillView(*i, out);
    return true;
}

std::vector<ItemView> Items(const Bytes& folder) {
    Lock lock(Mutex());
    World& w = W();
    std::vector<ItemView> out;
    FolderRec* f = w.Folder(folder);
    if (!f) return out;
    for (const Bytes& id : f->items) {
        if (ItemRec* i = w.Item(id)) {
            ItemView v;
            FillView(*i, &v);
            out.push_back(std::move(v));
        }
    }
    return out;
}

Bytes FindItemBySubject(const Bytes& folder, const std::string& subject) {
    for (const ItemView& v : Items(folder))
        if (v.subject == subject) return v.entryId;
    return Bytes();
}

FILETIME Now() {
    Lock lock(Mutex());
    return TimeValueOf(W().now).AsTime();
}

void SetNow(FILETIME t) {
    Lock lock(Mutex());
    W().now = TimeValue(t);
}

FILETIME MakeTime(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

ULONGLONG TimeValue(FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

std::string Hex(const Bytes& b) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : b) {
        s.push_back(digits[c >> 4]);
        s.push_back(digits[c & 15]);
    }
    return s;
}

Bytes ToBytes(const SBinary& bin) { return BytesOf(bin.cb, bin.lpb); }

} // namespace standin
