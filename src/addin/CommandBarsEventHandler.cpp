#include "addin/CommandBarsEventHandler.h"

#include "addin/Commands.h"
#include "addin/OutlookIds.h"
#include "base/EntryPoint.h"

namespace Toolbars {

CCommandBarsEventHandler::~CCommandBarsEventHandler() = default;

STDMETHODIMP CCommandBarsEventHandler::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == GetEventIid() || iid == IID_IUnknown || iid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CCommandBarsEventHandler::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) CCommandBarsEventHandler::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP CCommandBarsEventHandler::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CCommandBarsEventHandler::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_FAIL;
}

STDMETHODIMP CCommandBarsEventHandler::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    if (count != 1) return E_INVALIDARG;
    if (!names[0] || ::wcscmp(names[0], GetEventName()) != 0) {
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = GetEventDispId();
    return S_OK;
}

STDMETHODIMP CCommandBarsEventHandler::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                              UINT*) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (id != GetEventDispId()) return DISP_E_MEMBERNOTFOUND;
    // Office's event call must never see an exception; the commands report their own failures.
    (void)Error::GuardEntryPoint(Error::kResultOnly, [this] { OnEvent(); });
    return S_OK;
}

void CCommandBarsEventHandler::Advise(IDispatch* control) {
    m_control = control;
    if (!control) return;
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(container.GetAddressOf()))))
        return;
    Microsoft::WRL::ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(GetEventIid(), &point)) || !point) return;
    DWORD cookie = 0;
    if (FAILED(point->Advise(static_cast<IDispatch*>(this), &cookie))) return;
    m_connectionPoint = point;
    m_cookie = cookie;
}

void CCommandBarsEventHandler::Unadvise() {
    if (m_connectionPoint) {
        // The handler may be released by the connection point: keep it alive until the end.
        Microsoft::WRL::ComPtr<IDispatch> self(this);
        m_connectionPoint->Unadvise(m_cookie);
        m_connectionPoint.Reset();
        m_cookie = 0;
    }
    m_control.Reset();
}

const IID& CCommandBarsEventHandlerButton::GetEventIid() const { return Outlook::IID__CommandBarButtonEvents; }

void CSyncButtonHandler::OnEvent() { Commands::Synchronize(); }

} // namespace Toolbars
