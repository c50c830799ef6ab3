#pragma once
// Click handlers of the command bar buttons added to Outlook before 2010: small dispatch objects that
// Office calls through the button's connection point, and the set that owns them.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <set>

namespace Toolbars {

// One event of one command bar control. Office calls Invoke by DISPID only, so no type information is
// served. Used on Outlook's main thread only: the reference count is not atomic.
class CCommandBarsEventHandler : public IDispatch {
public:
    CCommandBarsEventHandler() = default;
    CCommandBarsEventHandler(const CCommandBarsEventHandler&) = delete;
    CCommandBarsEventHandler& operator=(const CCommandBarsEventHandler&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argError) override;

    virtual ~CCommandBarsEventHandler();

    // Keeps the control and connects to its event interface when it has a connection point for it.
    virtual void Advise(IDispatch* control);
    // Disconnects (when connected) and lets go of the control.
    virtual void Unadvise();

    bool IsAdvised() const { return m_connectionPoint != nullptr; }

protected:
    virtual void OnEvent() = 0;
    virtual const wchar_t* GetEventName() const = 0;
    virtual DISPID GetEventDispId() const = 0;
    virtual const IID& GetEventIid() const = 0;

private:
    Microsoft::WRL::ComPtr<IDispatch> m_control;
    ULONG m_refs = 0;
    Microsoft::WRL::ComPtr<IConnectionPoint> m_connectionPoint;
    DWORD m_cookie = 0;
};

// The Click event (DISPID 1) of _CommandBarButtonEvents.
class CCommandBarsEventHandlerButton : public CCommandBarsEventHandler {
protected:
    const wchar_t* GetEventName() const override { return L"Click"; }
    DISPID GetEventDispId() const override { return 1; }
    const IID& GetEventIid() const override;
};

// A click on the Synchronize button or menu item runs the Synchronize command.
class CSyncButtonHandler : public CCommandBarsEventHandlerButton {
protected:
    void OnEvent() override;
};

struct CComPtrLess {
    template <class T>
    bool operator()(const Microsoft::WRL::ComPtr<T>& a, const Microsoft::WRL::ComPtr<T>& b) const {
        return a.Get() < b.Get();
    }
};

// Owns the handlers of the buttons added, ordered by address.
template <class Handler>
class CCommandBarsEventContainerT : public std::set<Microsoft::WRL::ComPtr<Handler>, CComPtrLess> {
public:
    // The handler joins the set whether or not advising succeeded: it is unadvised with the others.
    void Add(const Microsoft::WRL::ComPtr<Handler>& handler, IDispatch* control) {
        handler->Advise(control);
        this->insert(handler);
    }
    void RemoveAll() {
        for (const auto& handler : *this) handler->Unadvise();
        this->clear();
    }
};

} // namespace Toolbars
