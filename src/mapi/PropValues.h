#pragma once
// Owning value types for MAPI data: binaries (ids, keys), single property values, row sets, column lists.
#include <windows.h>
#include <mapix.h>
#include <string>
#include <vector>
#include <memory>
#include "mapi/Binary.h"

// One property value read from MAPI (HrGetOneProp); released through ZxMAPIModule.
class ZxSPropValue {
public:
    ZxSPropValue() = default;
    ZxSPropValue(const ZxSPropValue&) = delete;
    ZxSPropValue& operator=(const ZxSPropValue&) = delete;
    virtual ~ZxSPropValue();

    SPropValue** operator&() { return &value; }
    SPropValue** Address() { return &value; }
    const SPropValue* Get() const { return value; }
    void Free();

    bool IsValid() const;
    [[nodiscard]] HRESULT GetString(std::string& out) const;
    [[nodiscard]] HRESULT GetBinary(ZxSBinary& out) const;
    [[nodiscard]] HRESULT GetFileTime(ULONGLONG& out) const;
    [[nodiscard]] HRESULT GetFileTime(FILETIME& out) const;

private:
    SPropValue* value = nullptr;
};

// A row set from IMAPITable::QueryRows or HrQueryAllRows; released with FreeProws.
class ZxSRowSet {
public:
    ZxSRowSet() = default;
    ZxSRowSet(const ZxSRowSet&) = delete;
    ZxSRowSet& operator=(const ZxSRowSet&) = delete;
    virtual ~ZxSRowSet();

    // Frees what is held, then hands out the slot for a refill.
    SRowSet** Receive() {
        Free();
        return &rows;
    }
    void Free();
    bool IsValid() const { return rows != nullptr; }
    ULONG RowCount() const { return rows ? rows->cRows : 0; }
    const SRow& Row(ULONG i) const { return rows->aRow[i]; }
    SRowSet* Get() const { return rows; }

private:
    SRowSet* rows = nullptr;
};

// A property tag, optionally a named property to be resolved against an object.
class CPropTag {
public:
    explicit CPropTag(ULONG tag = PR_NULL);
    // A named property: the tag's type is added to the id that GetIDsFromNames gives.
    CPropTag(const GUID& propSet, LONG id, ULONG type);
    CPropTag(const GUID& propSet, const std::wstring& name, ULONG type);
    CPropTag(const CPropTag& other);
    CPropTag& operator=(const CPropTag& other);
    virtual ~CPropTag();

    ULONG GetTag() const { return tag; }
    void SetTag(ULONG t) { tag = t; }
    bool IsNamed() const { return name != nullptr; }
    // The descriptor handed to GetIDsFromNames (valid while this tag lives).
    MAPINAMEID* GetNameId() const;
    ULONG GetNamedType() const;

private:
    struct NamedDescriptor;
    ULONG tag = PR_NULL;
    NamedDescriptor* name = nullptr;
};

class CMAPITagsArray {
public:
    CMAPITagsArray() = default;
    CMAPITagsArray(std::initializer_list<CPropTag> tags) : m_tags(tags) {}
    virtual ~CMAPITagsArray() = default;

    size_t Size() const { return m_tags.size(); }
    CPropTag& operator[](size_t i) { return m_tags[i]; }
    const CPropTag& operator[](size_t i) const { return m_tags[i]; }
    void Add(const CPropTag& tag) { m_tags.push_back(tag); }

    [[nodiscard]] HRESULT ResolveNamedTags(IMAPIProp* object, bool create);
    // A 32-bit count followed by the tags, for SetColumns; owned by the returned buffer.
    std::vector<BYTE> BuildTagArray() const;

private:
    std::vector<CPropTag> m_tags;
};
