#pragma once
// The two mix-ins of the MAPI object wrappers: typed property reads, and opening child objects by
// entry id. T is the wrapper class itself; T::Get() gives its interface pointer (null when empty).
#include <windows.h>
#include <mapix.h>
#include <wrl/client.h>
#include <string>

#include "mapi/Binary.h"
#include "mapi/MAPIModule.h"
#include "mapi/PropValues.h"

namespace ZxMAPIDetail {
// Hands one reference over to a holder without adding another. (MinGW-w64's ComPtr::Attach adds a
// reference, unlike the Windows SDK's, so it cannot be used for this.)
template <class Q>
void TakeOver(Microsoft::WRL::ComPtr<Q>& out, Q* p) {
    *out.ReleaseAndGetAddressOf() = p;
}
template <class W>
void TakeOver(W& out, typename W::Interface* p) {
    out.Attach(p);
}

// CompareEntryIDs of a session or store with flags 0: nonzero when both ids name one object. Only the
// answer counts: an object that cannot compare, or no object, leaves it 0.
template <class I>
ULONG CompareEntryIds(I* object, const SBinary& id1, const SBinary& id2) {
    if (!object) return 0;
    ULONG same = 0;
    object->CompareEntryIDs(id1.cb, reinterpret_cast<ENTRYID*>(id1.lpb), id2.cb, reinterpret_cast<ENTRYID*>(id2.lpb), 0,
                            &same);
    return same;
}
} // namespace ZxMAPIDetail

template <class T>
class ZxIMAPIPropT {
public:
    virtual ~ZxIMAPIPropT() = default;

    // Each read: E_FAIL and the output untouched with no object; the read's own failure unchanged;
    // otherwise the conversion's result. GetPropBinary throws std::bad_alloc (output untouched) when
    // there is no memory for the value's bytes.
    HRESULT GetPropString(ULONG tag, std::string& out) const {
        return Read(tag, [&out](const ZxSPropValue& v) { return v.GetString(out); });
    }
    HRESULT GetPropBinary(ULONG tag, ZxSBinary& out) const {
        return Read(tag, [&out](const ZxSPropValue& v) { return v.GetBinary(out); });
    }
    HRESULT GetPropTime(ULONG tag, ULONGLONG& out) const {
        return Read(tag, [&out](const ZxSPropValue& v) { return v.GetFileTime(out); });
    }
    HRESULT GetPropTime(ULONG tag, FILETIME& out) const {
        return Read(tag, [&out](const ZxSPropValue& v) { return v.GetFileTime(out); });
    }

private:
    template <class Convert>
    HRESULT Read(ULONG tag, Convert convert) const {
        IMAPIProp* object = static_cast<const T*>(this)->Get();
        if (!object) return E_FAIL;
        ZxSPropValue value;
        HRESULT hr = ZxMAPIModule::Instance().GetOneProp(object, tag, value.Address());
        if (FAILED(hr)) return hr;
        return convert(value);
    }
};

template <class T, class I>
class ZxMAPIContainerT {
public:
    virtual ~ZxMAPIContainerT() = default;

    // Opens the entry and keeps what the opened object answers for W's interface. On failure the
    // out wrapper is unchanged; on success it is replaced, and left empty when the object does not
    // support the interface (the result is still the success of OpenEntry).
    template <class W>
    HRESULT OpenEntry(const SBinary& id, W& out, ULONG flags) const {
        return OpenEntryAs<typename W::Interface>(id, W::InterfaceId(), out, flags);
    }
    template <class W>
    HRESULT OpenEntry(const ZxSBinary& id, W& out, ULONG flags) const {
        return OpenEntry(id.AsSBinary(), out, flags);
    }

protected:
    // Out is a wrapper or a ComPtr<Q>.
    template <class Q, class Out>
    HRESULT OpenEntryAs(const SBinary& id, REFIID iid, Out& out, ULONG flags) const {
        I* object = static_cast<const T*>(this)->Get();
        if (!object) return E_FAIL;
        ULONG objectType = 0;
        Microsoft::WRL::ComPtr<IUnknown> opened;
        HRESULT hr = object->OpenEntry(id.cb, reinterpret_cast<ENTRYID*>(id.lpb), nullptr, flags, &objectType,
                                       opened.GetAddressOf());
        if (FAILED(hr)) return hr;
        Q* answer = nullptr;
        if (opened) opened->QueryInterface(iid, reinterpret_cast<void**>(&answer));
        ZxMAPIDetail::TakeOver(out, answer);
        return hr;
    }
};
