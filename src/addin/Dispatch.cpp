#include "addin/Dispatch.h"

#include <algorithm>
#include <vector>

namespace Outlook {

using Microsoft::WRL::ComPtr;

namespace {
// The description of EXCEPINFO after DISP_E_EXCEPTION (deferred fill-in done), as 8-bit text.
std::string DescriptionOf(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    std::string description = info.bstrDescription ? ToAnsi(info.bstrDescription) : std::string();
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;
    return description;
}
} // namespace

zx::unique_variant MakeVariant(long value) {
    zx::unique_variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

zx::unique_variant MakeVariant(const char* text) {
    zx::unique_variant v;
    const std::wstring wide = ToWide(text ? text : "");
    v.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (v.bstrVal) v.vt = VT_BSTR;
    return v;
}

zx::unique_variant MakeVariantBool(bool value) {
    zx::unique_variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

zx::unique_variant MakeVariant(IDispatch* object) {
    zx::unique_variant v;
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    if (object) object->AddRef();
    return v;
}

CDispatchDriver CDispatchDriver::Query(IUnknown* object, const IID& iid) {
    if (!object) throw Error::ZxComError::FromErrorInfo(E_POINTER, iid);
    ComPtr<IDispatch> dispatch;
    const HRESULT hr = object->QueryInterface(iid, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(hr) || !dispatch) throw Error::ZxComError::FromErrorInfo(FAILED(hr) ? hr : E_NOINTERFACE, iid);
    return CDispatchDriver(std::move(dispatch), iid);
}

CDispatchDriver CDispatchDriver::FromVariant(const VARIANT& value, const IID& iid) {
    ComPtr<IDispatch> dispatch;
    if (value.vt == VT_DISPATCH) {
        dispatch = value.pdispVal;
    } else if (value.vt == VT_UNKNOWN && value.punkVal) {
        const HRESULT hr = value.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
        if (FAILED(hr)) throw Error::ZxComError::FromErrorInfo(hr, iid);
    } else if (value.vt != VT_EMPTY && value.vt != VT_NULL) {
        throw Error::ZxComError::FromErrorInfo(DISP_E_TYPEMISMATCH, iid);
    }
    return CDispatchDriver(std::move(dispatch), iid);
}

DISPID CDispatchDriver::GetDispId(const char* name) const {
    if (!m_object) Fail(E_POINTER);
    std::wstring wide = ToWide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) Fail(hr);
    return id;
}

zx::unique_variant CDispatchDriver::Invoke(const char* name, WORD flags, VARIANT* args, size_t count) const {
    const DISPID id = GetDispId(name);
    // IDispatch takes its arguments last to first.
    std::vector<VARIANT> reversed(args, args + count);
    std::reverse(reversed.begin(), reversed.end());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    zx::unique_variant result;
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr = m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                  &params, (flags & DISPATCH_PROPERTYPUT) ? nullptr : result.put(), &info, &argError);
    if (hr == DISP_E_EXCEPTION) {
        std::string description = DescriptionOf(info);
        if (info.scode) hr = info.scode;
        throw Error::ZxComError(hr, m_iid, std::move(description));
    }
    if (FAILED(hr)) Fail(hr);
    return result;
}

void CDispatchDriver::Put(const char* name, const VARIANT& value) const {
    VARIANT list[1] = {value};
    Invoke(name, DISPATCH_PROPERTYPUT, list, 1);
}

std::string CDispatchDriver::GetString(const char* name) const {
    zx::unique_variant v = Call(name);
    if (v.vt != VT_BSTR) {
        const HRESULT hr = ::VariantChangeType(&v, &v, 0, VT_BSTR);
        if (FAILED(hr)) Fail(hr);
    }
    return v.bstrVal ? ToAnsi(v.bstrVal, static_cast<int>(::SysStringLen(v.bstrVal))) : std::string();
}

long CDispatchDriver::GetLong(const char* name) const {
    zx::unique_variant v = Call(name);
    if (v.vt != VT_I4) {
        const HRESULT hr = ::VariantChangeType(&v, &v, 0, VT_I4);
        if (FAILED(hr)) Fail(hr);
    }
    return v.lVal;
}

} // namespace Outlook
