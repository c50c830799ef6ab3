// Named properties: one name-to-id mapping for the whole profile (real stores keep one per
// store; one mapping keeps ids equal across stores, which is all a copy between stores needs).
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

HRESULT IdsFromNames(ULONG count, LPMAPINAMEID* names, ULONG flags, LPSPropTagArray* out) {
    if (!out) return MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    World& w = W();
    std::vector<ULONG> tags;
    if (count == 0 || !names) { // every name known
        for (size_t k = 0; k < w.named.size(); ++k) tags.push_back(PROP_TAG(PT_UNSPECIFIED, kFirstNamedId + k));
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
        while (index < w.named.size() && !(w.named[index] == name)) ++index;
        if (index == w.named.size()) {
            if (!(flags & MAPI_CREATE) || kFirstNamedId + index > 0xFFFE) {
                tags.push_back(PROP_TAG(PT_ERROR, 0));
                errors = true;
                continue;
            }
            w.named.push_back(name);
            JournalNamed(index);
        }
        tags.push_back(PROP_TAG(PT_UNSPECIFIED, kFirstNamedId + index));
    }
    *out = NewTagArray(tags);
    return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT NamesFromIds(LPSPropTagArray* tags, LPGUID guid, ULONG, ULONG* count, LPMAPINAMEID** out) {
    if (!tags || !count || !out) return MAPI_E_INVALID_PARAMETER;
    *count = 0;
    *out = nullptr;
    World& w = W();
    std::vector<ULONG> ids;
    if (*tags) {
        for (ULONG k = 0; k < (*tags)->cValues; ++k) ids.push_back((*tags)->aulPropTag[k]);
    } else {
        for (size_t k = 0; k < w.named.size(); ++k)
            if (!guid || IsEqualGUID(*guid, w.named[k].guid))
                ids.push_back(PROP_TAG(PT_UNSPECIFIED, kFirstNamedId + k));
        *tags = NewTagArray(ids);
    }
    auto* names = static_cast<LPMAPINAMEID*>(AllocRoot(sizeof(LPMAPINAMEID) * (ids.empty() ? 1 : ids.size())));
    bool errors = false;
    for (size_t k = 0; k < ids.size(); ++k) {
        ULONG id = PROP_ID(ids[k]);
        names[k] = nullptr;
        if (id < kFirstNamedId || id - kFirstNamedId >= w.named.size()) {
            errors = true;
            continue;
        }
        const NamedProp& n = w.named[id - kFirstNamedId];
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

bool NamedPropSet(ULONG tag, GUID* propertySet) {
    const detail::World& w = detail::W();
    const ULONG id = PROP_ID(tag);
    if (id < detail::kFirstNamedId || id - detail::kFirstNamedId >= w.named.size()) return false;
    if (propertySet) *propertySet = w.named[id - detail::kFirstNamedId].guid;
    return true;
}

} // namespace standin
