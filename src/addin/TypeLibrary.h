#pragma once
// IDispatch served from a type library embedded in the module, as ATL's IDispatchImpl does.
#include <windows.h>
#include <oaidl.h>

#include "resources/ResourceIds.h"
namespace zx::com {

// The module's type library resources: "ZxBrackenmeadowSyncExtLib" (registered) and the Office
// interfaces the add-in implements (private).
enum class TypeLibResource { Own = IDR_TYPELIB_ADDIN, Host = IDR_TYPELIB_HOST };

// The type information of iid in the given library of this module (cached), or nullptr.
ITypeInfo* GetModuleTypeInfo(TypeLibResource library, REFIID iid);
// Releases the cached libraries (the module finishes).
void ReleaseModuleTypeInfos();

// Implements the IDispatch half of the dual interface I from its type information.
template <class I, const IID* Iid, TypeLibResource Library>
class CDispatchImpl : public I {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = GetModuleTypeInfo(Library, *Iid) ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ITypeInfo* typeInfo = GetModuleTypeInfo(Library, *Iid);
        if (!typeInfo) return TYPE_E_CANTLOADLIBRARY;
        typeInfo->AddRef();
        *info = typeInfo;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* typeInfo = GetModuleTypeInfo(Library, *Iid);
        if (!typeInfo) return TYPE_E_CANTLOADLIBRARY;
        return typeInfo->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argError) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* typeInfo = GetModuleTypeInfo(Library, *Iid);
        if (!typeInfo) return TYPE_E_CANTLOADLIBRARY;
        return typeInfo->Invoke(static_cast<I*>(this), id, flags, params, result, info, argError);
    }
};

} // namespace zx::com
