// Named properties: each store keeps its own name-to-id mapping, as real stores do (one name has
// different ids in two stores; CopyTo between them translates). Objects outside any store (the profile
// section) use the profile's mapping.
#include "Internal.h"

#include <cstring>

namespace standin::detail {
namespace {

bool NameOf(const MAPINAMEID* n, NamedProp* out) {
    if (!n || !n->lpguid) return false;
    out->guid = *n->lpguid;
    out->kind = n->ulKind;
    if (n->ulKind == MNID_ID) {
        out->lid = n->Kind.lID;
    } else if (n->ulKind == MNID_STRING) {
        if (!n->Kind.lpwstrName) return false;
        out->name = n->Kind.lpwstrName;
    } else {
        return false;
    }
    return true;
}

} // namespace

NamedMap& NamedMapOf(const Bytes& storeId) {
    World& w = W();
    if (StoreRec* s = storeId.empty() ? nullptr : w.StoreByOpenId(storeId)) return s->named;
    return w.named;
}

ULONG NamedIdIn(NamedMap& map, const NamedProp& name) {
    size_t index = 0;
    while (index < map.size() && !(map[index] == name)) ++index;
    if (index == map.size()) {
        if (kFirstNamedId + index > 0xFFFE) return 0;
        map.push_back(name);
        JournalNamed(map, index);
    }
    return static_cast<ULONG>(kFirstNamedId + index);
}

HRESULT IdsFromNames(NamedMap& map, ULONG count, LPMAPINAMEID* names, ULONG flags, LPSPropTagArray* out) {
    if (!out) return MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    std::vector<ULONG> tags;
    if (count == 0 || !names) { // every name known
        for (size_t k = 0; k < map.size(); ++k) tags.push_back(PROP_TAG(PT_UNSPECIFIED, kFirstNamedId + k));
        *out = NewTagArray(tags);
        return S_OK;
    }
    bool errors = false;
    for (ULONG k = 0; k < count; ++k) {
        NamedProp name;
        if (!NameOf(names[k], &name)) {
            tags.push_back(PROP_TAG(PT_ERROR, 0));
            errors = true;
            continue;
        }
        size_t index = 0;
        while (index < map.size() && !(map[index] == name)) ++index;
        if (index == map.size()) {
            if (!(flags & MAPI_CREATE) || kFirstNamedId + index > 0xFFFE) {
                tags.push_back(PROP_TAG(PT_ERROR, 0));
                errors = true;
                continue;
            }
            map.push_back(name);
            JournalNamed(map, index);
        }
        tags.push_back(PROP_TAG(PT_UNSPECIFIED, kFirstNamedId + index));
    }
    *out = NewTagArray(tags);
    return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT NamesFromIds(NamedMap& map, LPSPropTagArray* tags, LPGUID guid, ULONG, ULONG* count, LPMAPINAMEID** out) {
    if (!tags || !count || !out) return MAPI_E_INVALID_PARAMETER;
    *count = 0;
    *out = nullptr;
    std::vector<ULONG> ids;
    if (*tags) {
        for (ULONG k = 0; k < (*tags)->cValues; ++k) ids.push_back((*tags)->aulPropTag[k]);
    } else {
        for (size_t k = 0; k < map.size(); ++k)
            if (!guid || IsEqualGUID(*guid, map[k].guid))
                ids.push_back(PROP_TAG(PT_UNSPECIFIED, kFirstNamedId + k));
        *tags = NewTagArray(ids);
    }
    auto* names = static_cast<LPMAPINAMEID*>(AllocRoot(sizeof(LPMAPINAMEID) * (ids.empty() ? 1 : ids.size())));
    bool errors = false;
    for (size_t k = 0; k < ids.size(); ++k) {
        ULONG id = PROP_ID(ids[k]);
        names[k] = nullptr;
        if (id < kFirstNamedId || id - kFirstNamedId >= map.size()) {
            errors = true;
            continue;
        }
        const NamedProp& n = map[id - kFirstNamedId];
        auto* entry = static_cast<LPMAPINAMEID>(AllocMore(sizeof(MAPINAMEID), names));
        entry->lpguid = static_cast<LPGUID>(AllocMore(sizeof(GUID), names));
        *entry->lpguid = n.guid;
        entry->ulKind = n.kind;
        if (n.kind == MNID_ID) {
            entry->Kind.lID = n.lid;
        } else {
            entry->Kind.lpwstrName = DupWide(n.name, names);
        }
        names[k] = entry;
    }
    *count = static_cast<ULONG>(ids.size());
    *out = names;
    return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
}

} // namespace standin::detail

namespace standin {

using namespace detail;

namespace {

ULONG IdInStore(const Bytes& store, const NamedProp& name) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByOpenId(store);
    return s ? NamedIdIn(s->named, name) : 0;
}

} // namespace

ULONG NamedPropId(const Bytes& store, const GUID& set, LONG lid) {
    NamedProp name;
    name.guid = set;
    name.lid = lid;
    return IdInStore(store, name);
}

ULONG NamedPropId(const Bytes& store, const GUID& set, const std::wstring& text) {
    NamedProp name;
    name.guid = set;
    name.kind = MNID_STRING;
    name.name = text;
    return IdInStore(store, name);
}

bool NamedPropSet(const Bytes& store, ULONG tag, GUID* propertySet) {
    Lock lock(Mutex());
    StoreRec* s = W().StoreByOpenId(store);
    const ULONG id = PROP_ID(tag);
    if (!s || id < kFirstNamedId || id - kFirstNamedId >= s->named.size()) return false;
    if (propertySet) *propertySet = s->named[id - kFirstNamedId].guid;
    return true;
}

} // namespace standin
