#pragma once
// The COM object plumbing that ATL gave the original: a root with a non-delegating unknown (so that every
// class can be aggregated), the module's lock count, and a class factory per creatable class.
#include <windows.h>
#include <unknwn.h>

#include <new>

namespace zx::com {

// Live objects and LockServer locks of the module; DllCanUnloadNow answers S_OK at 0.
long ModuleLockCount();
void ModuleLock();
void ModuleUnlock();

// Base of every COM object of the module. Derived classes answer InternalQueryInterface for their own
// interfaces and put ZX_COM_DELEGATING_IUNKNOWN in their body, so that the IUnknown of each interface
// goes to the controlling unknown (the outer object when aggregated, otherwise this object).
class CComObjectRoot {
public:
    explicit CComObjectRoot(IUnknown* outer = nullptr) noexcept : m_outer(outer) { ModuleLock(); }
    virtual ~CComObjectRoot() { ModuleUnlock(); }
    CComObjectRoot(const CComObjectRoot&) = delete;
    CComObjectRoot& operator=(const CComObjectRoot&) = delete;

    // The object's own identity: what an aggregating outer object holds.
    IUnknown* GetInnerUnknown() noexcept { return &m_inner; }

protected:
    // The interface pointer for iid, without AddRef; nullptr when the object has no such interface.
    // IUnknown is answered by the root.
    virtual void* InternalQueryInterface(REFIID iid) noexcept = 0;

    HRESULT OuterQueryInterface(REFIID iid, void** out) noexcept {
        return m_outer ? m_outer->QueryInterface(iid, out) : InnerQueryInterface(iid, out);
    }
    ULONG OuterAddRef() noexcept { return m_outer ? m_outer->AddRef() : InnerAddRef(); }
    ULONG OuterRelease() noexcept { return m_outer ? m_outer->Release() : InnerRelease(); }

private:
    HRESULT InnerQueryInterface(REFIID iid, void** out) noexcept;
    ULONG InnerAddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG InnerRelease() noexcept;

    struct Inner final : IUnknown {
        CComObjectRoot& owner;
        explicit Inner(CComObjectRoot& o) noexcept : owner(o) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return owner.InnerQueryInterface(iid, out); }
        STDMETHODIMP_(ULONG) AddRef() override { return owner.InnerAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return owner.InnerRelease(); }
    };

    Inner m_inner{*this};
    IUnknown* m_outer;
    volatile long m_refs = 0;
};

#define ZX_COM_DELEGATING_IUNKNOWN                                                                     \
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return OuterQueryInterface(iid, out); } \
    STDMETHODIMP_(ULONG) AddRef() override { return OuterAddRef(); }                                   \
    STDMETHODIMP_(ULONG) Release() override { return OuterRelease(); }

// Creates an object of class T (constructible from the outer unknown) and answers iid, following the
// rules of IClassFactory::CreateInstance: an aggregated object is only ever asked for IUnknown. What T's
// constructor throws reaches the caller (the class factory's guard, or the class's own).
template <class T>
HRESULT CreateComObject(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T(outer);
    if (!object) return E_OUTOFMEMORY;
    IUnknown* inner = object->GetInnerUnknown();
    inner->AddRef();
    const HRESULT hr = inner->QueryInterface(iid, out);
    inner->Release();
    return hr;
}

} // namespace zx::com
