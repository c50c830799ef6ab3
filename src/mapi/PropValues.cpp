#include "mapi/PropValues.h"
#include "mapi/MAPIModule.h"

#include <algorithm>

// ---- ZxSPropValue ---------------------------------------------------------------------------

ZxSPropValue::~ZxSPropValue() { Free(); }

void ZxSPropValue::Free() {
    if (value) {
        ZxMAPIModule::Instance().FreeBuffer(value);
        value = nullptr;
    }
}

bool ZxSPropValue::IsValid() const { return value != nullptr && PROP_TYPE(value->ulPropTag) != PT_ERROR; }

HRESULT ZxSPropValue::GetString(std::string& out) const {
    if (!IsValid()) return E_FAIL;
    switch (PROP_TYPE(value->ulPropTag)) {
        case PT_STRING8:
            out = value->Value.lpszA ? value->Value.lpszA : "";
            return S_OK;
        case PT_UNICODE: {
            const wchar_t* wide = value->Value.lpszW;
            if (!wide || !*wide) {
                out.clear();
                return S_OK;
            }
            int size = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
            if (size <= 0) return HRESULT_FROM_WIN32(GetLastError());
            std::string text(static_cast<size_t>(size), '\0');
            if (!WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, text.data(), size, nullptr, nullptr))
                return HRESULT_FROM_WIN32(GetLastError());
            text.resize(static_cast<size_t>(size) - 1); // the terminator the count included
            out = std::move(text);
            return S_OK;
        }
        default:
            return E_FAIL;
    }
}

HRESULT ZxSPropValue::GetBinary(ZxSBinary& out) const {
    // Reading Value.bin of another type would follow whatever the union holds as a pointer.
    if (!IsValid() || PROP_TYPE(value->ulPropTag) != PT_BINARY) return E_FAIL;
    out = value->Value.bin;
    return S_OK;
}

HRESULT ZxSPropValue::GetFileTime(ULONGLONG& out) const {
    if (!IsValid()) return E_FAIL;
    ULARGE_INTEGER v;
    v.LowPart = value->Value.ft.dwLowDateTime;
    v.HighPart = value->Value.ft.dwHighDateTime;
    out = v.QuadPart;
    return S_OK;
}

HRESULT ZxSPropValue::GetFileTime(FILETIME& out) const {
    if (!IsValid()) return E_FAIL;
    out = value->Value.ft;
    return S_OK;
}

// ---- ZxSRowSet ------------------------------------------------------------------------------

ZxSRowSet::~ZxSRowSet() { Free(); }

void ZxSRowSet::Free() {
    if (rows) {
        ZxMAPIModule::Instance().FreeRows(rows);
        rows = nullptr;
    }
}

// ---- CPropTag -------------------------------------------------------------------------------

// A named-property descriptor that owns its GUID and name; `id` points into this object.
struct CPropTag::NamedDescriptor {
    GUID guid{};
    std::wstring name;
    MAPINAMEID id{};
    ULONG type = PT_UNSPECIFIED;

    NamedDescriptor(const GUID& g, ULONG kind, LONG numericId, std::wstring n, ULONG t)
        : guid(g), name(std::move(n)), type(t) {
        id.ulKind = kind;
        if (kind == MNID_ID) id.Kind.lID = numericId;
        Bind();
    }
    NamedDescriptor(const NamedDescriptor& o) : guid(o.guid), name(o.name), id(o.id), type(o.type) { Bind(); }
    NamedDescriptor& operator=(const NamedDescriptor&) = delete;

    void Bind() {
        id.lpguid = &guid;
        if (id.ulKind == MNID_STRING) id.Kind.lpwstrName = name.data();
    }
};

CPropTag::CPropTag(ULONG t) : tag(t) {}

CPropTag::CPropTag(const GUID& propSet, LONG id, ULONG type)
    : tag(PROP_TAG(type, 0)), name(new NamedDescriptor(propSet, MNID_ID, id, std::wstring(), type)) {}

CPropTag::CPropTag(const GUID& propSet, const std::wstring& n, ULONG type)
    : tag(PROP_TAG(type, 0)), name(new NamedDescriptor(propSet, MNID_STRING, 0, n, type)) {}

CPropTag::CPropTag(const CPropTag& other)
    : tag(other.tag), name(other.name ? new NamedDescriptor(*other.name) : nullptr) {}

CPropTag& CPropTag::operator=(const CPropTag& other) {
    if (this != &other) {
        NamedDescriptor* copy = other.name ? new NamedDescriptor(*other.name) : nullptr;
        delete name;
        name = copy;
        tag = other.tag;
    }
    return *this;
}

CPropTag::~CPropTag() { delete name; }

MAPINAMEID* CPropTag::GetNameId() const { return name ? &name->id : nullptr; }

ULONG CPropTag::GetNamedType() const { return name ? name->type : PT_UNSPECIFIED; }

// ---- CMAPITagsArray -------------------------------------------------------------------------

HRESULT CMAPITagsArray::ResolveNamedTags(IMAPIProp* object, bool create) {
    std::vector<size_t> named;
    for (size_t i = 0; i < m_tags.size(); ++i)
        if (m_tags[i].IsNamed()) named.push_back(i);
    if (named.empty()) return S_OK;
    if (!object) return E_FAIL;

    // The provider gets its own copies of the descriptors, not pointers into our tags.
    std::vector<GUID> guids(named.size());
    std::vector<std::wstring> names(named.size());
    std::vector<MAPINAMEID> ids(named.size());
    std::vector<MAPINAMEID*> idPtrs(named.size());
    for (size_t n = 0; n < named.size(); ++n) {
        const MAPINAMEID* source = m_tags[named[n]].GetNameId();
        guids[n] = *source->lpguid;
        ids[n].lpguid = &guids[n];
        ids[n].ulKind = source->ulKind;
        if (source->ulKind == MNID_STRING) {
            names[n] = source->Kind.lpwstrName ? source->Kind.lpwstrName : L"";
            ids[n].Kind.lpwstrName = names[n].data();
        } else {
            ids[n].Kind.lID = source->Kind.lID;
        }
        idPtrs[n] = &ids[n];
    }

    SPropTagArray* resolved = nullptr;
    HRESULT hr =
        object->GetIDsFromNames(static_cast<ULONG>(idPtrs.size()), idPtrs.data(), create ? MAPI_CREATE : 0, &resolved);
    if (FAILED(hr)) return hr;
    if (resolved) {
        size_t count = std::min<size_t>(resolved->cValues, named.size());
        for (size_t n = 0; n < count; ++n) {
            CPropTag& entry = m_tags[named[n]];
            entry.SetTag(resolved->aulPropTag[n] + entry.GetNamedType());
        }
        ZxMAPIModule::Instance().FreeBuffer(resolved);
    }
    return hr;
}

std::vector<BYTE> CMAPITagsArray::BuildTagArray() const {
    const ULONG count = static_cast<ULONG>(m_tags.size());
    std::vector<BYTE> buffer(CbNewSPropTagArray(count));
    auto* array = reinterpret_cast<SPropTagArray*>(buffer.data());
    array->cValues = count;
    for (ULONG i = 0; i < count; ++i) array->aulPropTag[i] = m_tags[i].GetTag();
    return buffer;
}
