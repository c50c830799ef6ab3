#pragma once
// A dispatch object of the stand-in Outlook: members by name (GetIDsOfNames + Invoke), the interface ids
// it answers, and real connection points for its event interfaces. Every member call can be traced.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace outlook {

// Arguments in their natural order (first argument first), already dereferenced from VT_BYREF.
using Args = std::vector<VARIANT>;
// A member: reads its arguments, fills result (may stay VT_EMPTY), returns an HRESULT. `put` is true for a
// property put, whose value is the last argument.
using Member = std::function<HRESULT(const Args& args, bool put, VARIANT* result)>;

class CStandinObject : public IDispatch, public IConnectionPointContainer {
public:
    // name: how the trace names the object ("Application", "Explorer1"); iids: interfaces it answers
    // besides IUnknown and IDispatch; events: the outgoing interfaces it has connection points for.
    CStandinObject(std::string name, std::vector<IID> iids, std::vector<IID> events = {});
    virtual ~CStandinObject();
    CStandinObject(const CStandinObject&) = delete;
    CStandinObject& operator=(const CStandinObject&) = delete;

    const std::string& Name() const { return m_name; }
    void AddMember(const std::string& name, DISPID id, Member member);
    // A property that reads back what was put (initially `initial`).
    void AddProperty(const std::string& name, DISPID id, const VARIANT& initial);
    // The current value of a property added with AddProperty (VT_EMPTY when none).
    VARIANT PropertyValue(const std::string& name) const;

    // Calls every connected sink's Invoke with id and the arguments (natural order); returns how many
    // sinks were called. Sinks that disconnect themselves while being called are handled.
    int Fire(const IID& events, DISPID id, const Args& args = {});
    int SinkCount(const IID& events) const;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argError) override;
    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

private:
    class CConnectionPoint;
    struct Entry {
        std::string name;
        Member member;
    };

    std::string m_name;
    std::vector<IID> m_iids;
    std::map<DISPID, Entry> m_members;
    std::map<std::string, VARIANT> m_properties;
    std::vector<Microsoft::WRL::ComPtr<CConnectionPoint>> m_points;
    long m_refs = 1;
};

// Objects of the stand-in alive now (each CStandinObject and connection point).
long LiveObjects();
// Member calls as "<object>.<member>" (puts as "<object>.<member>="), in order, while tracing is on.
void SetTracing(bool on);
std::vector<std::string> TakeTrace();

// A member that fails from now on: "<object>.<member>" answers DISP_E_EXCEPTION with E_FAIL and the
// description "The stand-in refused <object>.<member>." in EXCEPINFO and in the thread's error info.
void FailMember(const std::string& objectDotMember);
void ClearFailures();

// VARIANT helpers.
VARIANT VariantLong(long v);
VARIANT VariantBool(bool v);
VARIANT VariantString(const std::string& text); // a new BSTR: the caller clears it
VARIANT VariantObject(IUnknown* object, bool dispatch = true); // one reference: the caller clears it
inline VARIANT VariantObject(CStandinObject* object) { return VariantObject(static_cast<IDispatch*>(object)); }
std::string VariantText(const VARIANT& v); // strings and numbers as text
long VariantToLong(const VARIANT& v, long fallback = 0);

} // namespace outlook
