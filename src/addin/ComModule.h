#pragma once
// The module's object map: one row per creatable class, served by a cached class factory, registered
// from its own script. A further class is one more row.
#include <windows.h>

#include <span>

#include "addin/ComObject.h"
#include "addin/Registrar.h"

namespace zx::com {

using CreateFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// A class factory that lives as long as the module: its own references do not count, LockServer does.
class CClassFactory final : public IClassFactory {
public:
    explicit constexpr CClassFactory(CreateFn create) noexcept : m_create(create) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CreateFn m_create;
};

// One class of the module: its identity, how an object is made (nullptr: registered, not yet creatable),
// its registry script and its cached class factory.
struct CObjectMapEntry {
    CObjectMapEntry(const CLSID& id, CreateFn createFn, std::span<const CRegistryRow> rows) noexcept
        : clsid(&id), create(createFn), script(rows), factory(createFn) {}

    const CLSID* clsid;
    CreateFn create;
    std::span<const CRegistryRow> script;
    CClassFactory factory;
};

// The object map's factory for clsid, or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassObject(std::span<CObjectMapEntry> map, REFCLSID clsid, REFIID iid, void** out);

} // namespace zx::com
