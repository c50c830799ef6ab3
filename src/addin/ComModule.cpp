#include "addin/ComModule.h"

#include "base/EntryPoint.h"

namespace zx::com {

HRESULT CClassFactory::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (out) *out = nullptr;
    return Error::GuardEntryPoint(Error::kResultOnly, [&] { return m_create(outer, iid, out); });
}

HRESULT CClassFactory::LockServer(BOOL lock) {
    if (lock)
        ModuleLock();
    else
        ModuleUnlock();
    return S_OK;
}

HRESULT GetClassObject(std::span<CObjectMapEntry> map, REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (CObjectMapEntry& entry : map)
        if (*entry.clsid == clsid && entry.create) return entry.factory.QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace zx::com
