// Test API of the stand-in MAPI runtime (mapi32.dll built from standin/mapi).
//
// Tests, tools and benchmarks build an in-memory Outlook profile with these functions, hand
// NewSession() to the code under test as Outlook's NameSpace.MAPIOBJECT would, change the
// profile behind its back as a user would in Outlook, inject faults, count calls and check
// that no MAPI object or buffer leaked. Nothing here throws: failures return false/empty.
//
// Identifiers: every function that takes or returns a store, folder or item uses raw id bytes
// (Bytes). A store is named by its store entry id (the one OpenMsgStore accepts), a folder by
// its PR_ENTRYID, an item by its long-term entry id (PR_ENTRYID of the opened message and
// PR_LONGTERM_ENTRYID_FROM_TABLE of its contents row). Functions also accept the short-term id
// of an item or folder (the PR_ENTRYID column of contents and hierarchy tables).
#pragma once

#include <windows.h>
#include <mapix.h>
#include <mapidefs.h>
#include <mapitags.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#ifdef STANDIN_BUILD
#define STANDIN_API __declspec(dllexport)
#else
#define STANDIN_API __declspec(dllimport)
#endif

namespace standin {

// Raw bytes of entry ids, record keys, provider ids and binary values.
using Bytes = std::string;

// One property value of any MAPI type. `type` is the PT_* type; the field used depends on it:
//   PT_I2, PT_LONG, PT_BOOLEAN, PT_I8, PT_CURRENCY, PT_ERROR, PT_SYSTIME (as a 64-bit FILETIME) -> i
//   PT_FLOAT, PT_DOUBLE, PT_APPTIME                                              -> d
//   PT_STRING8, PT_BINARY, PT_CLSID (16 bytes)                                   -> s
//   PT_UNICODE                                                                   -> w
//   PT_MV_* (PT_MV_LONG, PT_MV_I8, PT_MV_DOUBLE, PT_MV_SYSTIME, PT_MV_STRING8,
//            PT_MV_UNICODE, PT_MV_BINARY, PT_MV_CLSID, ...)                      -> mv (single values)
struct Value {
    ULONG type = PT_NULL;
    LONGLONG i = 0;
    double d = 0;
    std::string s;
    std::wstring w;
    std::vector<Value> mv;

    static Value Long(LONG v) {
        Value x;
        x.type = PT_LONG;
        x.i = v;
        return x;
    }
    static Value Short(short v) {
        Value x;
        x.type = PT_I2;
        x.i = v;
        return x;
    }
    static Value Bool(bool v) {
        Value x;
        x.type = PT_BOOLEAN;
        x.i = v ? 1 : 0;
        return x;
    }
    static Value I8(LONGLONG v) {
        Value x;
        x.type = PT_I8;
        x.i = v;
        return x;
    }
    static Value Currency(LONGLONG v) {
        Value x;
        x.type = PT_CURRENCY;
        x.i = v;
        return x;
    }
    static Value Double(double v) {
        Value x;
        x.type = PT_DOUBLE;
        x.d = v;
        return x;
    }
    static Value Float(float v) {
        Value x;
        x.type = PT_FLOAT;
        x.d = v;
        return x;
    }
    static Value AppTime(double v) {
        Value x;
        x.type = PT_APPTIME;
        x.d = v;
        return x;
    }
    static Value Time(FILETIME t) {
        Value x;
        x.type = PT_SYSTIME;
        x.i = static_cast<LONGLONG>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
        return x;
    }
    static Value String(const std::string& v) {
        Value x;
        x.type = PT_STRING8;
        x.s = v;
        return x;
    }
    static Value Wide(const std::wstring& v) {
        Value x;
        x.type = PT_UNICODE;
        x.w = v;
        return x;
    }
    static Value Binary(const Bytes& v) {
        Value x;
        x.type = PT_BINARY;
        x.s = v;
        return x;
    }
    static Value Guid(const GUID& g) {
        Value x;
        x.type = PT_CLSID;
        x.s.assign(reinterpret_cast<const char*>(&g), sizeof g);
        return x;
    }
    static Value Error(HRESULT hr) {
        Value x;
        x.type = PT_ERROR;
        x.i = static_cast<LONG>(hr);
        return x;
    }
    // A multi-valued property: mvType is a PT_MV_* type, every element has the matching single type.
    static Value Multi(ULONG mvType, std::vector<Value> elements) {
        Value x;
        x.type = mvType;
        x.mv = std::move(elements);
        return x;
    }

    FILETIME AsTime() const {
        FILETIME t;
        t.dwLowDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(i) & 0xFFFFFFFFu);
        t.dwHighDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(i) >> 32);
        return t;
    }
    bool operator==(const Value& o) const {
        return type == o.type && i == o.i && d == o.d && s == o.s && w == o.w && mv == o.mv;
    }
    bool operator!=(const Value& o) const { return !(*this == o); }
};

// Properties keyed by tag. A property is identified by its PROP_ID; the Value's own type decides
// how it is stored (the PROP_TYPE of the key is not used when writing). Maps handed back by the
// API are keyed by PROP_TAG(value.type, id).
using PropMap = std::map<ULONG, Value>;

enum class ProviderKind {
    PersonalFolders, // MSPST_UID_PROVIDER 4E 49 54 41 F9 BF B8 01 00 AA 00 37 D9 6E 00 00
    ExchangePublic, // 78 B2 FA 70 AF F7 11 CD 9B C8 00 AA 00 2F C4 5A
    Excluded, // 4B 45 06 EE F0 B1 A1 47 AA 05 57 29 7D 0A 08 4A
    SharedFolders, // "ZxBMStore.dll": personal-folders provider id, entry id carries the file path
    Other, // some other provider with its own 16-byte id
    ExchangeMailbox // 54 94 A1 C0 29 7F 10 1B A5 87 08 00 2B 2A 25 17 (the Exchange private store): the
        // server's clock stamps modification times; a moved item gets a new entry id and record key; the
        // short-term ids of contents-table rows open only in the session that read them
};

struct StoreSpec {
    std::string displayName = "Personal Folders";
    std::string ownerName; // PR_MAILBOX_OWNER_NAME_A; absent when empty
    ProviderKind kind = ProviderKind::PersonalFolders;
    bool isDefault = false; // PR_DEFAULT_STORE
    std::string storeFilePath; // SharedFolders: path carried in the store entry id
    bool overrideProvider = false; // when true, PR_MDB_PROVIDER = providerBytes (any length)
    Bytes providerBytes;
    bool unopenable = false; // OpenMsgStore/OpenEntry of the store fail (MAPI_E_NOT_FOUND)
    bool tableIdDiffers = false; // the stores table's PR_ENTRYID differs from the openable id
        // (it still opens through IMAPISession::OpenEntry)
    bool omitDisplayNameInTable = false; // the stores-table row lacks PR_DISPLAY_NAME_A
    std::vector<ULONG> omitInTable; // further tags the stores-table row lacks
    std::string subtreeName = "Top of Personal Folders"; // display name of the IPM subtree
    bool standardFolders = true; // create Inbox, Outbox, Sent Items, Deleted Items,
        // Calendar, Contacts, Tasks, Notes, Journal, Drafts
    bool savedPropsOnReopen = false; // as some providers: after SaveChanges the open message lacks the
        // properties the save computed (PR_LAST_MODIFICATION_TIME, PR_RECORD_KEY, PR_CREATION_TIME, and
        // PR_ENTRYID unless saved with KEEP_OPEN_READONLY); opened again, it has them
};

// An item for AddItem with recipients and attachments.
struct ItemSpec {
    std::string subject; // PR_SUBJECT_A unless props sets a subject
    std::string messageClass = "IPM.Note"; // PR_MESSAGE_CLASS_A unless props sets one
    PropMap props;
    std::vector<PropMap> recipients; // PR_ROWID is assigned when missing
    std::vector<PropMap> attachments; // PR_ATTACH_NUM is assigned
};

// What the store holds for one item.
struct ItemView {
    Bytes entryId; // long-term entry id (= PR_ENTRYID of the opened message)
    Bytes shortTermId; // PR_ENTRYID column of the contents table
    Bytes longTermId; // PR_LONGTERM_ENTRYID_FROM_TABLE (= entryId)
    Bytes recordKey; // empty when the item has none
    Bytes folder; // entry id of the folder holding it
    std::string subject; // PR_SUBJECT as 8-bit text (empty when absent)
    FILETIME modified{}; // PR_LAST_MODIFICATION_TIME (zero when absent)
    PropMap props; // every stored property, including the identity ones
    std::vector<PropMap> recipients, attachments;
    bool hidden = false; // see SetItemHidden
};

struct FolderView {
    Bytes entryId, parentId, store;
    std::string name, containerClass;
    PropMap props;
    std::vector<Bytes> children;
    bool canWrite = true, canDelete = true, hierarchySupported = true;
    size_t itemCount = 0;
};

// ---- World -------------------------------------------------------------------------------
// Empties the profile, resets the clock to 2026-01-01 00:00:00 UTC, counters and faults.
// Objects still held by callers stay alive but see an empty world.
STANDIN_API void Reset(const std::string& profileName = "Outlook");
STANDIN_API void SetProfileName(const std::string& name);
STANDIN_API std::string ProfileName();
STANDIN_API void SetProfileNameAvailable(bool available); // false: PR_PROFILE_NAME_A absent

// ---- Stores ------------------------------------------------------------------------------
STANDIN_API Bytes AddStore(const StoreSpec& descr); // returns the (openable) store entry id
STANDIN_API std::vector<Bytes> Stores(); // in stores-table order
STANDIN_API Bytes StoreByName(const std::string& displayName); // empty when none
STANDIN_API Bytes StoreTableId(const Bytes& store); // the id the stores table shows
STANDIN_API Bytes ProviderBytes(ProviderKind kind); // the 16 provider bytes of a kind
STANDIN_API void RemoveStore(const Bytes& store);
STANDIN_API bool SetStoreProp(const Bytes& store, ULONG tag, const Value& v);
STANDIN_API bool RemoveStoreProp(const Bytes& store, ULONG tag);
STANDIN_API Bytes RootFolder(const Bytes& store);
STANDIN_API Bytes IpmSubtree(const Bytes& store);
// Inbox, Outbox, Sent Items, Deleted Items by the store's special-folder ids; empty when none.
STANDIN_API Bytes Inbox(const Bytes& store);

// ---- Folders -----------------------------------------------------------------------------
STANDIN_API Bytes AddFolder(const Bytes& parent, const std::string& name,
                            const std::string& containerClass = "IPF.Note");
// "Store name\Folder\Sub": the store's display name, then folders below its IPM subtree;
// the store name alone gives the IPM subtree. Empty when there is no such folder.
STANDIN_API Bytes FolderByPath(const std::string& path);
STANDIN_API bool GetFolder(const Bytes& folder, FolderView* out);
STANDIN_API bool SetFolderProp(const Bytes& folder, ULONG tag, const Value& v);
STANDIN_API bool RemoveFolderProp(const Bytes& folder, ULONG tag);
STANDIN_API void DeleteFolder(const Bytes& folder); // with its subfolders and items
STANDIN_API void SetFolderAccess(const Bytes& folder, bool canWrite, bool canDelete);
// While set, CreateMessage in the folder answers MAPI_E_NO_ACCESS. Independent of
// SetFolderAccess: a folder without write access still creates messages (in memory) but refuses
// their SaveChanges with MAPI_E_NO_ACCESS; a folder without delete access refuses DeleteMessages.
STANDIN_API void SetFolderRefusesCreate(const Bytes& folder, bool refuses);
STANDIN_API void SetHierarchySupported(const Bytes& folder, bool supported);

// ---- Named properties --------------------------------------------------------------------
// The property set of a named property's tag (id 0x8000 and up) in a store's own mapping; false for an
// id no name has there.
STANDIN_API bool NamedPropSet(const Bytes& store, ULONG tag, GUID* propertySet);

// ---- Items -------------------------------------------------------------------------------
// A saved item, as if a user created it in Outlook: gets entry ids, a record key and the next
// clock time. Returns its long-term entry id, empty when the folder does not exist.
STANDIN_API Bytes AddItem(const Bytes& folder, const std::string& subject, const PropMap& props = {});
STANDIN_API Bytes AddItem(const Bytes& folder, const ItemSpec& descr);
// A user's edit: properties set (a Value of type PT_NULL removes the property), the clock moves
// forward one second and becomes the item's PR_LAST_MODIFICATION_TIME.
STANDIN_API bool EditItem(const Bytes& item, const PropMap& changes);
STANDIN_API bool SetItemRecipients(const Bytes& item, const std::vector<PropMap>& recipients);
STANDIN_API bool SetItemAttachments(const Bytes& item, const std::vector<PropMap>& attachments);
STANDIN_API bool SetItemTime(const Bytes& item, FILETIME t); // the clock is not moved
STANDIN_API bool RemoveItemProp(const Bytes& item, ULONG tag); // raw removal, time unchanged
STANDIN_API bool SetItemProp(const Bytes& item, ULONG tag, const Value& v); // raw, time unchanged
STANDIN_API bool DeleteItem(const Bytes& item);
// Outlook's Delete (a move to Deleted Items) and a user's drag to another folder: the item keeps its
// entry ids, record key and time, as in a personal folders file. Only within one store; false otherwise.
STANDIN_API bool MoveItem(const Bytes& item, const Bytes& folder);
STANDIN_API bool ItemExists(const Bytes& item);
// Another client (an Outlook window) keeps the item open for writing, or lets it go. While it is open,
// DeleteMessages does not delete it (MAPI_W_PARTIAL_COMPLETION).
STANDIN_API bool SetItemOpenElsewhere(const Bytes& item, bool open);
// The id of a named property in a store's own mapping, made when missing (0 when the store is unknown).
STANDIN_API ULONG NamedPropId(const Bytes& store, const GUID& set, LONG lid);
STANDIN_API ULONG NamedPropId(const Bytes& store, const GUID& set, const std::wstring& name);
// A cached store that is still downloading: a hidden item is absent from its folder's contents table
// and from OpenEntry (MAPI_E_NOT_FOUND) until it is shown again; it keeps its ids and properties.
STANDIN_API bool SetItemHidden(const Bytes& item, bool hidden);
STANDIN_API bool GetItem(const Bytes& item, ItemView* out);
STANDIN_API std::vector<ItemView> Items(const Bytes& folder); // in contents-table order
STANDIN_API Bytes FindItemBySubject(const Bytes& folder, const std::string& subject);

// ---- Sessions ----------------------------------------------------------------------------
// A new IMAPISession reference (the caller releases it), as NameSpace.MAPIOBJECT gives.
STANDIN_API IMAPISession* NewSession();

// ---- Faults and counters -----------------------------------------------------------------
// Method names: "<interface of the object>::<method>" with the object's interface:
// IMAPISession, IMsgStore, IMAPIFolder, IMessage, IAttach, IMAPITable, IProfSect; e.g.
// "IMAPIFolder::CreateMessage", "IMessage::SaveChanges", "IMAPITable::QueryRows".
// Inherited methods also answer to the declaring interface's name, e.g. "IMAPIProp::GetProps"
// matches GetProps of every object and "IMAPIContainer::GetContentsTable" that of folders.
// Runtime functions: "MAPIAllocateBuffer", "MAPIAllocateMore", "HrGetOneProp", "HrQueryAllRows",
// "MAPIInitialize". HrGetOneProp and HrQueryAllRows are one call each (the calls they make
// inside are neither counted nor faulted). Not counted: AddRef, Release, MAPIFreeBuffer,
// FreeProws, MAPIUninitialize, and calls made by the test API itself.
//
// The k-th matching call (1-based, counted from now) fails with hr, `times` calls in a row
// (-1: that call and every later one). A faulted call does nothing else.
STANDIN_API void FailCall(const std::string& method, long k, HRESULT hr, long times = 1);
STANDIN_API void FailNthCall(long k, HRESULT hr); // the k-th counted call of any kind
// Another client acts meanwhile: `action` runs once, just before the k-th matching call (1-based, counted
// from now) does its work. The action may use this API (an edit, a deletion) but not MAPI.
STANDIN_API void BeforeCall(const std::string& method, long k, std::function<void()> action);
STANDIN_API void ClearFaults();
STANDIN_API long FaultsFired(); // faults injected since Reset/ClearFaults
STANDIN_API std::map<std::string, long> CallCounts(); // per name (both names of a call)
STANDIN_API long CallCount(const std::string& method);
STANDIN_API long TotalCalls(); // each call once
STANDIN_API void ResetCounters();

// Live COM objects plus outstanding MAPIAllocateBuffer root blocks.
STANDIN_API long LiveObjects();
STANDIN_API long LiveComObjects();
STANDIN_API long LiveBuffers();
// MAPIFreeBuffer calls with a pointer that is no live MAPIAllocateBuffer root (double frees,
// blocks from MAPIAllocateMore, foreign pointers); they are ignored and counted here.
STANDIN_API long InvalidFrees();

// ---- Clock -------------------------------------------------------------------------------
// Starts at 2026-01-01 00:00:00 UTC; every save and every test-API edit first advances it by
// one second and then uses it.
STANDIN_API FILETIME Now();
STANDIN_API void SetNow(FILETIME t);
STANDIN_API FILETIME MakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
STANDIN_API ULONGLONG TimeValue(FILETIME t); // the 64-bit value of a FILETIME

// ---- Profile files -----------------------------------------------------------------------
// The whole world (profile name, clock, stores, folders, items with every property,
// recipients, attachments, ids, keys, times) as text; see README.md for the format.
// Loading replaces the world; on failure the world is unchanged and *error names the line.
STANDIN_API std::string SaveProfileText();
STANDIN_API bool LoadProfileText(const std::string& text, std::string* error);
STANDIN_API bool SaveProfile(const std::string& path, std::string* error);
STANDIN_API bool LoadProfile(const std::string& path, std::string* error);
// Durability as a real store has it: with a journal set, every change that a MAPI save or deletion
// (or the item functions of this API) made is appended to the journal before the call returns, one
// committed entry each. ReplayJournal applies the committed entries of a journal to the loaded
// profile (idempotent; a missing file is no journal; an entry cut short is ignored). An empty path
// closes the journal. SaveProfile replaces the profile file atomically; a caller folds the journal
// in by saving the profile and then deleting the journal.
STANDIN_API bool SetJournal(const std::string& path, std::string* error);
STANDIN_API bool ReplayJournal(const std::string& path, std::string* error);

// ---- Helpers -----------------------------------------------------------------------------
STANDIN_API std::string Hex(const Bytes& b); // upper-case, two digits per byte
STANDIN_API Bytes ToBytes(const SBinary& bin);

} // namespace standin
