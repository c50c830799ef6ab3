#pragma once
// The small interface through which the add-in object connects its Outlook event sinks and drops them,
// and the base that implements it over a connection point of one Outlook source interface.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <functional>

#include "addin/ComObject.h"
#include "addin/Dispatch.h"
#include "base/Errors.h"

namespace Outlook {

// {5C2F3E0A-8D51-4B7E-A3C4-2E9B7D10F6A1}: private to the add-in, never registered.
inline constexpr IID IID_IZxOutlookEventSink = {
    0x5C2F3E0A, 0x8D51, 0x4B7E, {0xA3, 0xC4, 0x2E, 0x9B, 0x7D, 0x10, 0xF6, 0xA1}};

struct IZxOutlookEventSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Advise(IDispatch* source, VARIANT_BOOL* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise() = 0;
    virtual HRESULT STDMETHODCALLTYPE IsAdvised(VARIANT_BOOL* result) = 0;
};

// The sink's IDispatch answers the source interface's events; the sink class gives the source interface
// (SourceIid) and one handler per DISPID (OnEvent). Events it does not handle are answered S_OK.
class COutlookEventSinkBase : public zx::com::CComObjectRoot, public IZxOutlookEventSink, public IDispatch {
public:
    COutlookEventSinkBase() = default;
    ~COutlookEventSinkBase() override;

    ZX_COM_DELEGATING_IUNKNOWN

    STDMETHODIMP Advise(IDispatch* source, VARIANT_BOOL* result) override;
    STDMETHODIMP Unadvise() override;
    STDMETHODIMP IsAdvised(VARIANT_BOOL* result) override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argError) override;

protected:
    virtual const IID& SourceIid() const = 0;
    // Called for every event; handlers catch everything themselves.
    virtual void OnEvent(DISPID id, DISPPARAMS& params) = 0;

    IDispatch* Source() const { return m_source.Get(); }
    // The object the event's first argument holds (by value or by reference), without a reference of its own.
    static IDispatch* DispatchArgument(const DISPPARAMS& params);
    // What the explorer sinks' events do (each as its InitializeTallowmereExtension): the controller is
    // set up against the explorer `explorerOf` gives; a missing one is "No active explorer object found."
    // at `noExplorer`. Failures are reported as the controller set-up's; Outlook gets no error back.
    static void SetUpController(const std::function<CDispatchDriver()>& explorerOf,
                                const Error::ZxFixedPlace& noExplorer);

    void* InternalQueryInterface(REFIID iid) noexcept override;

private:
    Microsoft::WRL::ComPtr<IDispatch> m_source;
    Microsoft::WRL::ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

// Creates a sink of class T as a plain (not aggregated) object, handed out as IZxOutlookEventSink.
template <class T>
Microsoft::WRL::ComPtr<IZxOutlookEventSink> CreateEventSink() {
    Microsoft::WRL::ComPtr<IZxOutlookEventSink> sink;
    T* object = new T();
    object->GetInnerUnknown()->AddRef();
    object->GetInnerUnknown()->QueryInterface(IID_IZxOutlookEventSink, reinterpret_cast<void**>(sink.GetAddressOf()));
    object->GetInnerUnknown()->Release();
    return sink;
}

} // namespace Outlook
