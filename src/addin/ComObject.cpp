#include "addin/ComObject.h"

namespace zx::com {

namespace {
volatile long g_lockCount = 0;
}

long ModuleLockCount() { return g_lockCount; }
void ModuleLock() { InterlockedIncrement(&g_lockCount); }
void ModuleUnlock() { InterlockedDecrement(&g_lockCount); }

HRESULT CComObjectRoot::InnerQueryInterface(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    void* p = iid == IID_IUnknown ? static_cast<void*>(&m_inner) : InternalQueryInterface(iid);
    if (!p) return E_NOINTERFACE;
    // The inner unknown counts for the object itself; every other interface goes through the controlling one.
    if (p == &m_inner)
        InnerAddRef();
    else
        static_cast<IUnknown*>(p)->AddRef();
    *out = p;
    return S_OK;
}

ULONG CComObjectRoot::InnerRelease() noexcept {
    const long left = InterlockedDecrement(&m_refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

} // namespace zx::com
