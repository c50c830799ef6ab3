// IMAPIProp over a property bag, shared by stores, folders, messages, attachments and the
// profile section. Each derived class says where its bag lives and what it may change.
#pragma once

#include "Internal.h"

#include <cstring>

namespace standin::detail {

template <class I>
class PropObject : public ComBase<I> {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        Call call(Name("QueryInterface"), "IUnknown::QueryInterface");
        if (call.Failed()) return call.Result();
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMAPIProp) || IsEqualIID(riid, IID_IStandinObject) ||
            HasInterface(riid)) {
            *ppv = static_cast<I*>(this);
            this->AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* err) override {
        Call call(Name("GetLastError"), "IMAPIProp::GetLastError");
        if (call.Failed()) return call.Result();
        if (err) *err = nullptr;
        return S_OK;
    }

    STDMETHODIMP SaveChanges(ULONG flags) override {
        Call call(Name("SaveChanges"), "IMAPIProp::SaveChanges");
        if (call.Failed()) return call.Result();
        return DoSaveChanges(flags);
    }

    STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count, LPSPropValue* props) override {
        Call call(Name("GetProps"), "IMAPIProp::GetProps");
        if (call.Failed()) return call.Result();
        if (!count || !props) return MAPI_E_INVALID_PARAMETER;
        *count = 0;
        *props = nullptr;
        Bag bag;
        HRESULT hr = ReadBag(&bag);
        if (FAILED(hr)) return hr;
        const bool unicode = (flags & MAPI_UNICODE) != 0;
        std::vector<ULONG> wanted;
        if (tags) {
            wanted.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
        } else {
            for (const auto& [id, v] : bag) wanted.push_back(PROP_TAG(PT_UNSPECIFIED, id));
        }
        auto* out = static_cast<LPSPropValue>(AllocRoot(sizeof(SPropValue) * (wanted.empty() ? 1 : wanted.size())));
        bool errors = false;
        for (size_t k = 0; k < wanted.size(); ++k) {
            if (!FillProp(out[k], wanted[k], BagFind(bag, wanted[k]), unicode, out)) errors = true;
        }
        *count = static_cast<ULONG>(wanted.size());
        *props = out;
        return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
    }

    STDMETHODIMP GetPropList(ULONG flags, LPSPropTagArray* tags) override {
        Call call(Name("GetPropList"), "IMAPIProp::GetPropList");
        if (call.Failed()) return call.Result();
        if (!tags) return MAPI_E_INVALID_PARAMETER;
        Bag bag;
        HRESULT hr = ReadBag(&bag);
        if (FAILED(hr)) return hr;
        std::vector<ULONG> list;
        for (const auto& [id, v] : bag) {
            ULONG type = v.type;
            if (flags & MAPI_UNICODE) {
                if (type == PT_STRING8) type = PT_UNICODE;
                if (type == PT_MV_STRING8) type = PT_MV_UNICODE;
            }
            list.push_back(PROP_TAG(type, id));
        }
        *tags = NewTagArray(list);
        return S_OK;
    }

    STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN* unk) override {
        Call call(Name("OpenProperty"), "IMAPIProp::OpenProperty");
        if (call.Failed()) return call.Result();
        if (unk) *unk = nullptr;
        return MAPI_E_NO_SUPPORT;
    }

    STDMETHODIMP SetProps(ULONG count, LPSPropValue values, LPSPropProblemArray* problems) override {
        Call call(Name("SetProps"), "IMAPIProp::SetProps");
        if (call.Failed()) return call.Result();
        if (problems) *problems = nullptr;
        if (count && !values) return MAPI_E_INVALID_PARAMETER;
        Bag* bag = nullptr;
        HRESULT hr = WritableBag(&bag);
        if (FAILED(hr)) return hr;
        std::vector<SPropProblem> found;
        for (ULONG k = 0; k < count; ++k) {
            Value v;
            ULONG tag = values[k].ulPropTag;
            if (IsComputed(PROP_ID(tag))) {
                found.push_back({k, tag, MAPI_E_COMPUTED});
            } else if (PROP_TYPE(tag) == PT_ERROR || !ToValue(values[k], &v)) {
                found.push_back({k, tag, MAPI_E_INVALID_TYPE});
            } else {
                BagSet(*bag, tag, v);
            }
        }
        Changed();
        ReportProblems(found, problems);
        return S_OK;
    }

    STDMETHODIMP DeleteProps(LPSPropTagArray tags, LPSPropProblemArray* problems) override {
        Call call(Name("DeleteProps"), "IMAPIProp::DeleteProps");
        if (call.Failed()) return call.Result();
        if (problems) *problems = nullptr;
        if (!tags) return MAPI_E_INVALID_PARAMETER;
        Bag* bag = nullptr;
        HRESULT hr = WritableBag(&bag);
        if (FAILED(hr)) return hr;
        std::vector<SPropProblem> found;
        for (ULONG k = 0; k < tags->cValues; ++k) {
            ULONG tag = tags->aulPropTag[k];
            if (IsComputed(PROP_ID(tag))) {
                found.push_back({k, tag, MAPI_E_COMPUTED});
            } else if (!bag->erase(PROP_ID(tag))) {
                found.push_back({k, tag, MAPI_E_NOT_FOUND});
            }
        }
        Changed();
        ReportProblems(found, problems);
        return S_OK;
    }

    STDMETHODIMP CopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray exclude, ULONG, LPMAPIPROGRESS,
                        LPCIID iface, LPVOID dest, ULONG flags, LPSPropProblemArray* problems) override {
        Call call(Name("CopyTo"), "IMAPIProp::CopyTo");
        if (call.Failed()) return call.Result();
        if (problems) *problems = nullptr;
        (void)ciidExclude;
        (void)rgiidExclude;
        return DoCopy(exclude, nullptr, iface, dest, flags);
    }

    STDMETHODIMP CopyProps(LPSPropTagArray include, ULONG, LPMAPIPROGRESS, LPCIID iface, LPVOID dest, ULONG flags,
                           LPSPropProblemArray* problems) override {
        Call call(Name("CopyProps"), "IMAPIProp::CopyProps");
        if (call.Failed()) return call.Result();
        if (problems) *problems = nullptr;
        if (!include) return MAPI_E_INVALID_PARAMETER;
        return DoCopy(nullptr, include, iface, dest, flags);
    }

    STDMETHODIMP GetNamesFromIDs(LPSPropTagArray* tags, LPGUID guid, ULONG flags, ULONG* count,
                                 LPMAPINAMEID** names) override {
        Call call(Name("GetNamesFromIDs"), "IMAPIProp::GetNamesFromIDs");
        if (call.Failed()) return call.Result();
        return NamesFromIds(NamedMapOf(StoreOfObject()), tags, guid, flags, count, names);
    }

    STDMETHODIMP GetIDsFromNames(ULONG count, LPMAPINAMEID* names, ULONG flags, LPSPropTagArray* tags) override {
        Call call(Name("GetIDsFromNames"), "IMAPIProp::GetIDsFromNames");
        if (call.Failed()) return call.Result();
        return IdsFromNames(NamedMapOf(StoreOfObject()), count, names, flags, tags);
    }

protected:
    // "IMessage", "IMAPIFolder", ...: the object's interface in call names.
    virtual const char* Iface() const = 0;
    virtual bool HasInterface(REFIID) const { return false; }
    // The properties as the object shows them now.
    virtual HRESULT ReadBag(Bag* out) = 0;
    // The bag SetProps and DeleteProps change; MAPI_E_NO_ACCESS when read-only.
    virtual HRESULT WritableBag(Bag** out) {
        *out = nullptr;
        return MAPI_E_NO_ACCESS;
    }
    virtual void Changed() {}
    // The store whose named-property mapping the object uses; empty outside any store.
    virtual Bytes StoreOfObject() const { return Bytes(); }
    virtual bool IsComputed(ULONG /*id*/) const { return false; }
    virtual HRESULT DoSaveChanges(ULONG) { return S_OK; }
    virtual HRESULT DoCopy(LPSPropTagArray, LPSPropTagArray, LPCIID, LPVOID, ULONG) { return MAPI_E_NO_SUPPORT; }

    Member Name(const char* method) const { return Member{Iface(), method}; }

    static void ReportProblems(const std::vector<SPropProblem>& found, LPSPropProblemArray* problems) {
        if (!problems || found.empty()) return;
        auto* a = static_cast<LPSPropProblemArray>(AllocRoot(CbNewSPropProblemArray(found.size())));
        a->cProblem = static_cast<ULONG>(found.size());
        for (size_t k = 0; k < found.size(); ++k) a->aProblem[k] = found[k];
        *problems = a;
    }
};

// The stand-in implementation behind an interface pointer, or null for foreign objects.
template <class T>
T* Implementation(void* unknown) {
    if (!unknown) return nullptr;
    void* p = nullptr;
    if (FAILED(static_cast<IUnknown*>(unknown)->QueryInterface(IID_IStandinObject, &p)) || !p) return nullptr;
    auto* unk = static_cast<IUnknown*>(p);
    T* impl = dynamic_cast<T*>(unk);
    unk->Release(); // the caller holds its own reference to the object
    return impl;
}

} // namespace standin::detail
