// Shared internals of the stand-in MAPI provider: the in-memory world, the call gate (counters
// and faults), property conversion and the COM base classes.
#pragma once

#include "Standin.h"

#include <mapicode.h>
#include <mapiguid.h>
#include <mapiutil.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// Exchange tags the MinGW-w64 headers lack (values of the published MAPI headers).
#ifndef PR_LONGTERM_ENTRYID_FROM_TABLE
#define PR_LONGTERM_ENTRYID_FROM_TABLE PROP_TAG(PT_BINARY, 0x6670)
#endif
#ifndef PR_MAILBOX_OWNER_NAME_A
#define PR_MAILBOX_OWNER_NAME_A PROP_TAG(PT_STRING8, 0x661C)
#endif
#ifndef PR_IPM_PUBLIC_FOLDERS_ENTRYID
#define PR_IPM_PUBLIC_FOLDERS_ENTRYID PROP_TAG(PT_BINARY, 0x6631)
#endif
#ifndef PR_NON_IPM_SUBTREE_ENTRYID
#define PR_NON_IPM_SUBTREE_ENTRYID PROP_TAG(PT_BINARY, 0x6620)
#endif

namespace standin::detail {

// ---- Locking and call accounting -----------------------------------------------------------
std::recursive_mutex& Mutex();
using Lock = std::lock_guard<std::recursive_mutex>;

// Entered at the top of every counted entry point. Takes the process-wide lock, counts the call
// under `name` (and `alias`, the declaring interface's name) and decides whether an armed fault
// fires. Calls made while another counted call is running on the thread are neither counted nor
// faulted: HrGetOneProp is one call, not two.
//
// Names are string literals (their addresses key a cache of counter slots, so that counting a call
// costs no string work); a Member names `iface` + "::" + `method`, both literals too.
struct Member {
    const char* iface;
    const char* method;
};
class Call {
public:
    explicit Call(const char* name, const char* alias = nullptr);
    explicit Call(Member name, const char* alias = nullptr);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    bool Failed() const { return failed_; }
    HRESULT Result() const { return hr_; }

private:
    void Count(const char* iface, const char* method, const char* alias);

    std::unique_lock<std::recursive_mutex> lock_;
    bool failed_ = false;
    HRESULT hr_ = S_OK;
};
void ResetCalls(); // counters and faults

void ComCreated();
void ComDestroyed();
void ResetAllocatorCounters();

// ---- Properties ------------------------------------------------------------------------------
// A property bag keyed by PROP_ID; each Value carries its own type.
using Bag = std::map<ULONG, Value>;
void BagSet(Bag& bag, ULONG tag, const Value& v); // a PT_NULL value removes
const Value* BagFind(const Bag& bag, ULONG tag);
PropMap BagToPropMap(const Bag& bag);
Bag PropMapToBag(const PropMap& map);

std::string Narrow(const std::wstring& w);
std::wstring Widen(const std::string& s);
Value BinaryValue(const Bytes& b);
Value TimeValueOf(ULONGLONG t);
Bytes BytesOf(ULONG cb, const void* p);

// The value converted to the requested type (PT_UNSPECIFIED: its own type, strings as
// Unicode when `unicode`); false when it cannot be had in that type.
bool Convert(const Value& v, ULONG requestedType, bool unicode, Value* out);
// Writes the value under `requestedTag` into `out`, allocating with MAPIAllocateMore on `root`;
// a missing or unconvertible value becomes PROP_TAG(PT_ERROR, id) with MAPI_E_NOT_FOUND.
// Returns false when the value was written as an error.
bool FillProp(SPropValue& out, ULONG requestedTag, const Value* v, bool unicode, void* root);
// A MAPI value as a Value; false for types the stand-in does not keep (PT_OBJECT, ...).
bool ToValue(const SPropValue& p, Value* out);

// Internal allocation that is never counted or faulted.
void* AllocRoot(size_t cb);
void* AllocMore(size_t cb, void* root);
char* DupString(const std::string& s, void* root);
wchar_t* DupWide(const std::wstring& s, void* root);
LPSPropTagArray NewTagArray(const std::vector<ULONG>& tags);

// ---- The world -------------------------------------------------------------------------------
struct NamedProp {
    GUID guid{};
    ULONG kind = MNID_ID;
    LONG lid = 0;
    std::wstring name;
    bool operator==(const NamedProp& o) const {
        return IsEqualGUID(guid, o.guid) && kind == o.kind && (kind == MNID_ID ? lid == o.lid : name == o.name);
    }
};
constexpr ULONG kFirstNamedId = 0x8000;
using NamedMap = std::vector<NamedProp>; // index i is property id kFirstNamedId + i

struct StoreRec {
    Bytes id, tableId, uid;
    ProviderKind kind = ProviderKind::PersonalFolders;
    bool unopenable = false, omitDisplayName = false;
    std::vector<ULONG> omit;
    Bytes root, inbox;
    Bag props;
    NamedMap named; // each store maps names to ids of its own
    bool savedPropsOnReopen = false; // see StoreSpec
    bool IsExchangeMailbox() const { return kind == ProviderKind::ExchangeMailbox; }
};

// A folder's items in contents-table order. Removing one costs no shift of the others (a mass
// deletion stays linear): removed slots are left empty and skipped, and squeezed out once they
// outnumber the items.
class ItemOrder {
public:
    class const_iterator {
    public:
        const_iterator(const std::vector<Bytes>* slots, size_t at) : slots_(slots), at_(at) { Skip(); }
        const Bytes& operator*() const { return (*slots_)[at_]; }
        const_iterator& operator++() {
            ++at_;
            Skip();
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return at_ != o.at_; }
        bool operator==(const const_iterator& o) const { return at_ == o.at_; }

    private:
        void Skip() {
            while (at_ < slots_->size() && (*slots_)[at_].empty()) ++at_;
        }
        const std::vector<Bytes>* slots_;
        size_t at_;
    };

    const_iterator begin() const { return const_iterator(&slots_, 0); }
    const_iterator end() const { return const_iterator(&slots_, slots_.size()); }
    size_t size() const { return position_.size(); }
    bool empty() const { return position_.empty(); }
    void push_back(const Bytes& id); // at the end; an id already listed is not listed twice
    void erase(const Bytes& id); // nothing when not listed
    std::vector<Bytes> ToVector() const {
        std::vector<Bytes> ids;
        ids.reserve(size());
        for (const Bytes& id : *this) ids.push_back(id);
        return ids;
    }

private:
    std::vector<Bytes> slots_; // ids are never empty: an empty slot is a removed item
    std::unordered_map<Bytes, size_t> position_;
};

struct FolderRec {
    Bytes id, shortId, store, parent;
    Bag props;
    std::vector<Bytes> children;
    ItemOrder items;
    bool canWrite = true, canDelete = true, refusesCreate = false, hierarchy = true;
};

// An item's properties, shared with the contents tables made while they were current: a table over a
// large folder takes a reference per row instead of a copy of every item, and a change first copies
// a bag that a table still holds, so each table keeps the values it was made with (a snapshot).
class ItemBag {
public:
    ItemBag() : bag_(std::make_shared<Bag>()) {}
    ItemBag(Bag bag) : bag_(std::make_shared<Bag>(std::move(bag))) {}
    ItemBag& operator=(Bag bag) {
        bag_ = std::make_shared<Bag>(std::move(bag));
        return *this;
    }
    operator const Bag&() const { return *bag_; }
    const Bag& Get() const { return *bag_; }
    // The bag to change: this item's alone from now on.
    Bag& Edit() {
        if (bag_.use_count() > 1) bag_ = std::make_shared<Bag>(*bag_);
        return *bag_;
    }
    std::shared_ptr<const Bag> Share() const { return bag_; }

private:
    std::shared_ptr<Bag> bag_;
};

// A table row: its own values first, then those it shares with an item (null: none).
struct TableRow {
    std::shared_ptr<const Bag> shared;
    Bag own;
};

struct ItemRec {
    Bytes id, shortId, folder;
    ItemBag props;
    std::vector<Bag> recipients, attachments;
    bool noLongTermColumn = false;
    ULONGLONG version = 0; // moves with every change; an open message remembers the one it saw
    // Not downloaded yet (a cached Exchange store still filling its copy): absent from the folder's
    // contents table and from OpenEntry until it is shown.
    bool hidden = false;
};


struct World {
    std::string profileName = "Outlook";
    bool profileNameAvailable = true;
    ULONGLONG now = 0;
    ULONGLONG nextObject = 1;
    ULONG nextStore = 1;
    std::vector<StoreRec> stores; // stores-table order
    std::map<Bytes, FolderRec> folders;
    std::map<Bytes, ItemRec> items;
    std::map<Bytes, Bytes> shortToLong; // short-term ids of folders and items
    NamedMap named; // the mapping of objects outside any store, and the one a loaded store starts from
    ULONG session = 0; // moves with every logon; short-term ids of mailbox items carry it
    std::map<Bytes, int> openForWrite; // long-term item id -> messages open with write access
    std::set<Bytes> openElsewhere; // items another client keeps open for writing

    StoreRec* StoreByAnyId(const Bytes& id); // openable or table id
    StoreRec* StoreByOpenId(const Bytes& id);
    FolderRec* Folder(const Bytes& id); // long or short id
    ItemRec* Item(const Bytes& id); // long or short id
    ULONGLONG Tick() {
        now += 10000000ULL;
        return now;
    }
    // The next modification time a store stamps: an Exchange mailbox uses the server's clock.
    ULONGLONG Stamp(const StoreRec* store) { return Tick() + (store && store->IsExchangeMailbox() ? kServerSkew : 0); }
    static constexpr ULONGLONG kServerSkew = 37ULL * 10000000ULL; // the server's clock runs 37 s ahead
    StoreRec* StoreOfItem(const ItemRec& item);
    // Whether an item may not be deleted now: open for writing here or in another client.
    bool IsOpenForWrite(const Bytes& longId) const;
    // The short-term id a contents table of this session shows for an item.
    Bytes SessionShortId(const ItemRec& item);

    // Id making.
    Bytes NewObjectId(const StoreRec& s, bool folder, bool shortTerm, ULONGLONG num) const;
    Bytes NewRecordKey(const StoreRec& s, ULONGLONG num) const;
    ULONGLONG NewNumber() { return nextObject++; }

    // The folder and its store; null when gone.
    StoreRec* StoreOfFolder(const FolderRec& f) { return StoreByOpenId(f.store); }
    void RemoveItem(const Bytes& longId);
    void RemoveFolderTree(const Bytes& longId);

    // Table rows.
    TableRow ContentsRow(const ItemRec& item);
    Bag HierarchyRow(const FolderRec& f, LONG depth);
    Bag StoresRow(const StoreRec& s);
    Bag FolderProps(const FolderRec& f); // stored plus computed properties
    std::string Key(const Bytes& id); // the object an id names, for CompareEntryIDs
};
World& W();
ULONGLONG StartTime(); // 2026-01-01 00:00:00 UTC

// Creates a saved item in a folder (test API and message SaveChanges share it).
ItemRec* CreateItem(FolderRec& folder, Bag props, std::vector<Bag> recipients, std::vector<Bag> attachments);
// A saved or removed item reaches the journal, when one is set (caller holds the world's lock).
void JournalItem(const ItemRec& item);
void JournalRemoval(const Bytes& id);
// A name given an id (GetIDsFromNames with MAPI_CREATE): a store keeps its name map with the items.
void JournalNamed(const NamedMap& map, size_t index);

// ---- Object notifications (Notify.cpp) ------------------------------------------------------
// Queues an fnevObject* event of a message for every matching registration; delivered later from
// the registering thread's message loop. `oldFolder` only for fnevObjectMoved.
void NotifyItem(ULONG event, const Bytes& item, const Bytes& folder, const Bytes& oldFolder = Bytes());
HRESULT AdviseStore(const void* owner, const Bytes& store, ULONG cb, LPENTRYID id, ULONG mask, IMAPIAdviseSink* sink,
                    ULONG* connection);
HRESULT UnadviseStore(const void* owner, ULONG connection);
void DropAdvises(const void* owner); // the store object goes: its registrations end
size_t AdviseCount();

// ---- COM plumbing ----------------------------------------------------------------------------
// {5A58F0A1-6B7E-4C55-9D59-5354414E4449}: asks one of our objects for its implementation.
extern const IID IID_IStandinObject;

template <class I>
class ComBase : public I {
public:
    ComBase() { ComCreated(); }
    virtual ~ComBase() { ComDestroyed(); }
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// Opening objects (all return new references).
IMsgStore* NewStoreObject(const Bytes& storeId);
IMAPIFolder* NewFolderObject(const Bytes& folderId);
IMessage* NewMessageObject(const Bytes& itemId, bool writable); // an existing item
IMessage* NewUnsavedMessage(const Bytes& folderId);
IMAPITable* NewTable(std::vector<Bag> rows, std::vector<ULONG> columns);
IMAPITable* NewTable(std::vector<TableRow> rows, std::vector<ULONG> columns);
IMAPIProp* NewProfileSection();

// Opens what an id names inside one store (null id: the root folder), or in any store when
// storeId is empty. Honours lpInterface by QueryInterface.
HRESULT OpenAnyEntry(const Bytes& storeId, ULONG cb, LPENTRYID id, LPCIID iface, ULONG flags, ULONG* objType,
                     LPUNKNOWN* out);
HRESULT CompareIds(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG* result);

// Named properties: the mapping of a store (by its id), or the profile's for an empty id.
NamedMap& NamedMapOf(const Bytes& storeId);
HRESULT IdsFromNames(NamedMap& map, ULONG count, LPMAPINAMEID* names, ULONG flags, LPSPropTagArray* out);
HRESULT NamesFromIds(NamedMap& map, LPSPropTagArray* tags, LPGUID guid, ULONG flags, ULONG* count,
                     LPMAPINAMEID** out);
// The id of a name in a map, added when missing (0 when the map is full).
ULONG NamedIdIn(NamedMap& map, const NamedProp& name);

// Runs what a test asked to happen before the call now being entered (see standin::BeforeCall).
void RunBeforeCallActions(int slot, int aliasSlot);

} // namespace standin::detail
