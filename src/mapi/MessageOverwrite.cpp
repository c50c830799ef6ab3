#include "mapi/MessageOverwrite.h"

#include <algorithm>
#include <set>
#include <vector>

#include "mapi/MAPIModule.h"
#include "mapi/PropValues.h"

namespace {

// A block MAPI handed out (property tag arrays, name arrays), freed through the MAPI module.
template <class T>
class MapiOwned {
public:
    MapiOwned() = default;
    MapiOwned(const MapiOwned&) = delete;
    MapiOwned& operator=(const MapiOwned&) = delete;
    ~MapiOwned() {
        if (m_block) ZxMAPIModule::Instance().FreeBuffer(m_block);
    }
    T** Receive() { return &m_block; }
    T* Get() const { return m_block; }

private:
    T* m_block = nullptr;
};

constexpr ULONG kFirstNamedId = 0x8000;

bool IsNamed(ULONG tag) { return PROP_ID(tag) >= kFirstNamedId; }

std::vector<BYTE> TagArrayBytes(const std::vector<ULONG>& tags) {
    std::vector<BYTE> bytes(CbNewSPropTagArray(tags.size()));
    auto* array = reinterpret_cast<SPropTagArray*>(bytes.data());
    array->cValues = static_cast<ULONG>(tags.size());
    std::copy(tags.begin(), tags.end(), array->aulPropTag);
    return bytes;
}

// The ids of the properties an object holds (named ones included).
HRESULT PropIds(IMAPIProp* object, std::vector<ULONG>& tags) {
    MapiOwned<SPropTagArray> list;
    const HRESULT hr = object->GetPropList(0, list.Receive());
    if (FAILED(hr)) return hr;
    if (!list.Get()) return MAPI_E_CALL_FAILED;
    tags.assign(list.Get()->aulPropTag, list.Get()->aulPropTag + list.Get()->cValues);
    return S_OK;
}

// Of the target's named properties, those whose names the source does not hold. A name the target
// cannot give back is kept: it cannot be matched, and removing it could drop content.
HRESULT NamedPropsSourceLacks(IMAPIProp* source, const std::set<ULONG>& sourceIds, IMAPIProp* target,
                              const std::vector<ULONG>& targetNamed, std::vector<ULONG>& stale) {
    if (targetNamed.empty()) return S_OK;
    std::vector<BYTE> request = TagArrayBytes(targetNamed);
    auto* requestTags = reinterpret_cast<SPropTagArray*>(request.data());
    ULONG count = 0;
    MapiOwned<MAPINAMEID*> names;
    HRESULT hr = target->GetNamesFromIDs(&requestTags, nullptr, 0, &count, names.Receive());
    if (FAILED(hr)) return hr;
    if (!names.Get() || count != targetNamed.size()) return MAPI_E_CALL_FAILED;
    // Only names the target could give are asked of the source.
    std::vector<MAPINAMEID*> known;
    std::vector<ULONG> knownTags;
    for (ULONG k = 0; k < count; ++k) {
        if (!names.Get()[k]) continue;
        known.push_back(names.Get()[k]);
        knownTags.push_back(targetNamed[k]);
    }
    if (known.empty()) return S_OK;
    MapiOwned<SPropTagArray> ids;
    hr = source->GetIDsFromNames(static_cast<ULONG>(known.size()), known.data(), 0, ids.Receive());
    if (FAILED(hr)) return hr;
    if (!ids.Get() || ids.Get()->cValues != known.size()) return MAPI_E_CALL_FAILED;
    for (size_t k = 0; k < known.size(); ++k) {
        const ULONG sourceTag = ids.Get()->aulPropTag[k];
        // No id for the name in the source's store, or an id the source message does not hold.
        if (PROP_TYPE(sourceTag) == PT_ERROR || !sourceIds.count(PROP_ID(sourceTag))) stale.push_back(knownTags[k]);
    }
    return S_OK;
}

HRESULT RemovePropsSourceLacks(IMAPIProp* source, IMAPIProp* target) {
    std::vector<ULONG> sourceTags, targetTags;
    HRESULT hr = PropIds(source, sourceTags);
    if (FAILED(hr)) return hr;
    hr = PropIds(target, targetTags);
    if (FAILED(hr)) return hr;
    std::set<ULONG> sourceIds;
    for (ULONG tag : sourceTags) sourceIds.insert(PROP_ID(tag));
    std::vector<ULONG> stale, targetNamed;
    for (ULONG tag : targetTags) {
        if (ZxIsPerCopyProperty(tag)) continue;
        if (IsNamed(tag))
            targetNamed.push_back(tag);
        else if (!sourceIds.count(PROP_ID(tag)))
            stale.push_back(tag);
    }
    hr = NamedPropsSourceLacks(source, sourceIds, target, targetNamed, stale);
    if (FAILED(hr)) return hr;
    if (stale.empty()) return S_OK;
    std::vector<BYTE> bytes = TagArrayBytes(stale);
    return target->DeleteProps(reinterpret_cast<SPropTagArray*>(bytes.data()), nullptr);
}

// The values of one numeric column of a subobject table (attachment numbers, recipient row ids).
HRESULT ColumnValues(IMAPITable* table, ULONG tag, std::vector<LONG>& values) {
    SizedSPropTagArray(1, columns) = {1, {tag}};
    ZxSRowSet rows;
    const HRESULT hr = ZxMAPIModule::Instance().QueryAllRows(table, reinterpret_cast<SPropTagArray*>(&columns),
                                                             nullptr, nullptr, 0, rows.Receive());
    if (FAILED(hr)) return hr;
    for (ULONG r = 0; r < rows.RowCount(); ++r) {
        const SRow& row = rows.Row(r);
        if (row.cValues < 1 || row.lpProps[0].ulPropTag != tag) return MAPI_E_CORRUPT_DATA;
        values.push_back(row.lpProps[0].Value.l);
    }
    return S_OK;
}

HRESULT RemoveAttachments(IMessage* target) {
    Microsoft::WRL::ComPtr<IMAPITable> table;
    HRESULT hr = target->GetAttachmentTable(0, table.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    if (!table) return MAPI_E_CALL_FAILED;
    std::vector<LONG> numbers;
    hr = ColumnValues(table.Get(), PR_ATTACH_NUM, numbers);
    if (FAILED(hr)) return hr;
    for (LONG number : numbers) {
        hr = target->DeleteAttach(static_cast<ULONG>(number), 0, nullptr, 0);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT RemoveRecipients(IMessage* target) {
    Microsoft::WRL::ComPtr<IMAPITable> table;
    HRESULT hr = target->GetRecipientTable(0, table.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    if (!table) return MAPI_E_CALL_FAILED;
    std::vector<LONG> rows;
    hr = ColumnValues(table.Get(), PR_ROWID, rows);
    if (FAILED(hr) || rows.empty()) return hr;
    // MODRECIP_REMOVE takes entries that hold only PR_ROWID.
    std::vector<SPropValue> ids(rows.size());
    std::vector<BYTE> bytes(CbNewADRLIST(rows.size()));
    auto* list = reinterpret_cast<ADRLIST*>(bytes.data());
    list->cEntries = static_cast<ULONG>(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        ids[k].ulPropTag = PR_ROWID;
        ids[k].Value.l = rows[k];
        list->aEntries[k].ulReserved1 = 0;
        list->aEntries[k].cValues = 1;
        list->aEntries[k].rgPropVals = &ids[k];
    }
    return target->ModifyRecipients(MODRECIP_REMOVE, list);
}

} // namespace

bool ZxIsPerCopyProperty(ULONG tag) {
    const ULONG id = PROP_ID(tag);
    return (id >= 0x0E00 && id <= 0x0FFF) || // non-transmittable message properties: ids, flags, size, access
           id == PROP_ID(PR_CREATION_TIME) || id == PROP_ID(PR_LAST_MODIFICATION_TIME) ||
           id == PROP_ID(PR_SEARCH_KEY) ||
           (id >= 0x65E0 && id <= 0x65E3) || // source key, change key, predecessor change list
           (id >= 0x6600 && id <= 0x67FF); // the provider's internal, non-transmittable properties
}

HRESULT ZxClearForOverwrite(const ZxIMessage& source, const ZxIMessage& target) {
    if (!source.Get() || !target.Get()) return E_FAIL;
    HRESULT hr = RemovePropsSourceLacks(source.Get(), target.Get());
    if (FAILED(hr)) return hr;
    hr = RemoveAttachments(target.Get());
    if (FAILED(hr)) return hr;
    return RemoveRecipients(target.Get());
}
