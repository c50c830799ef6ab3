#include "addin/OutlookEventSink.h"

#include <utility>

#include "addin/MerrowlinkExtension.h"
#include "base/EntryPoint.h"

namespace Outlook {

COutlookEventSinkBase::~COutlookEventSinkBase() = default;

IDispatch* COutlookEventSinkBase::DispatchArgument(const DISPPARAMS& params) {
    if (params.cArgs < 1 || !params.rgvarg) return nullptr;
    const VARIANT& arg = params.rgvarg[params.cArgs - 1];
    if (arg.vt == VT_DISPATCH) return arg.pdispVal;
    if (arg.vt == (VT_DISPATCH | VT_BYREF) && arg.ppdispVal) return *arg.ppdispVal;
    return nullptr;
}

void COutlookEventSinkBase::SetUpController(const std::function<CDispatchDriver()>& explorerOf,
                                            const Error::ZxFixedPlace& noExplorer) {
    (void)Error::GuardEntryPoint(Error::kControllerSetup, [&] {
        const CDispatchDriver explorer = explorerOf();
        if (!explorer) ZX_THROW_TEXT_AT(noExplorer, "No active explorer object found.");
        GetGlobalObjects().m_extension->Initialize(explorer);
    });
}

void* COutlookEventSinkBase::InternalQueryInterface(REFIID iid) noexcept {
    if (iid == IID_IZxOutlookEventSink) return static_cast<IZxOutlookEventSink*>(this);
    if (iid == IID_IDispatch || iid == SourceIid()) return static_cast<IDispatch*>(this);
    return nullptr;
}

HRESULT COutlookEventSinkBase::Advise(IDispatch* source, VARIANT_BOOL* result) {
    Unadvise();
    if (result) *result = VARIANT_FALSE;
    if (!source) return S_OK;
    // A source that refuses the connection leaves the sink unadvised: the answer says so.
    return Error::GuardEntryPointOr(Error::kResultOnly, S_OK, [&] {
        Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
        if (FAILED(source->QueryInterface(IID_IConnectionPointContainer,
                                          reinterpret_cast<void**>(container.GetAddressOf()))))
            return S_OK;
        Microsoft::WRL::ComPtr<IConnectionPoint> point;
        if (FAILED(container->FindConnectionPoint(SourceIid(), &point)) || !point) return S_OK;
        DWORD cookie = 0;
        if (FAILED(point->Advise(static_cast<IDispatch*>(this), &cookie))) return S_OK;
        m_point = std::move(point);
        m_cookie = cookie;
        m_source = source;
        if (result) *result = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT COutlookEventSinkBase::Unadvise() {
    if (!m_source) return S_OK;
    // The source may already be gone from under us: each step runs whatever the one before it met.
    (void)Error::GuardEntryPoint(Error::kResultOnly, [this] {
        if (m_point) m_point->Unadvise(m_cookie);
    });
    m_point.Reset();
    m_cookie = 0;
    (void)Error::GuardEntryPoint(Error::kResultOnly, [this] { m_source.Reset(); });
    return S_OK;
}

HRESULT COutlookEventSinkBase::IsAdvised(VARIANT_BOOL* result) {
    if (result) *result = m_source ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT COutlookEventSinkBase::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

HRESULT COutlookEventSinkBase::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT COutlookEventSinkBase::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT COutlookEventSinkBase::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                      UINT*) {
    // Keep the sink alive through handlers that unadvise it.
    Microsoft::WRL::ComPtr<IZxOutlookEventSink> self(this);
    DISPPARAMS none{};
    // Each handler reports its own failures; Outlook gets no error back.
    (void)Error::GuardEntryPoint(Error::kResultOnly, [&] { OnEvent(id, params ? *params : none); });
    return S_OK;
}

} // namespace Outlook
