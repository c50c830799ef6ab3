#pragma once
// Late binding to the Outlook and Office object models: members are got, put and called by name through
// IDispatch (GetIDsOfNames + Invoke). Results come back as owned VARIANTs; a failure raises Error::ZxComError with
// the interface the object stands for.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>

#include "base/Errors.h"
#include "base/Resource.h"
#include "base/TextConversion.h"

namespace Outlook {

zx::unique_variant MakeVariant(long value);
zx::unique_variant MakeVariant(const char* text); // a BSTR
zx::unique_variant MakeVariantBool(bool value);
zx::unique_variant MakeVariant(IDispatch* object); // VT_DISPATCH, with its own reference

class CDispatchDriver {
public:
    CDispatchDriver() = default;
    CDispatchDriver(Microsoft::WRL::ComPtr<IDispatch> object, const IID& iid) : m_object(std::move(object)), m_iid(iid) {}
    // Any interface queried for iid (its IDispatch side); raises Error::ZxComError when the object has none.
    static CDispatchDriver Query(IUnknown* object, const IID& iid);
    // The object a VARIANT holds (VT_DISPATCH or VT_UNKNOWN), taken as iid without a query; empty for
    // VT_EMPTY, VT_NULL and null pointers.
    static CDispatchDriver FromVariant(const VARIANT& value, const IID& iid);

    IDispatch* Get() const { return m_object.Get(); }
    const IID& Iid() const { return m_iid; }
    explicit operator bool() const { return m_object != nullptr; }
    void Reset() { m_object.Reset(); }

    // A property read or method call; arguments in their natural order.
    template <class... Args>
    zx::unique_variant Call(const char* name, const Args&... args) const {
        VARIANT list[sizeof...(Args) + 1] = {static_cast<const VARIANT&>(args)...};
        return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, list, sizeof...(Args));
    }
    void Put(const char* name, const VARIANT& value) const;

    // Typed reads of properties and results.
    std::string GetString(const char* name) const;
    long GetLong(const char* name) const;
    template <class... Args>
    CDispatchDriver GetObject(const char* name, const IID& iid, const Args&... args) const {
        return FromVariant(Call(name, args...), iid);
    }

    DISPID GetDispId(const char* name) const;

private:
    zx::unique_variant Invoke(const char* name, WORD flags, VARIANT* args, size_t count) const;
    // Raises Error::ZxComError for hr with the description of the thread's error information.
    [[noreturn]] void Fail(HRESULT hr) const { throw Error::ZxComError::FromErrorInfo(hr, m_iid); }

    Microsoft::WRL::ComPtr<IDispatch> m_object;
    IID m_iid = IID_IDispatch;
};

} // namespace Outlook
