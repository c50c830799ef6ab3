#include "StandinObject.h"

#include "HostText.h"

#include <olectl.h>

#include <algorithm>
#include <string>
#include <utility>

namespace outlook {

namespace {

long g_live = 0;
std::vector<std::string> g_failing;
bool g_tracing = false;
std::vector<std::string> g_trace;

} // namespace

long LiveObjects() { return g_live; }
void FailMember(const std::string& objectDotMember) { g_failing.push_back(objectDotMember); }
void ClearFailures() { g_failing.clear(); }
void SetTracing(bool on) { g_tracing = on; }
std::vector<std::string> TakeTrace() { return std::exchange(g_trace, {}); }

VARIANT VariantLong(long v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

VARIANT VariantBool(bool v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BOOL;
    x.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return x;
}

VARIANT VariantString(const std::string& text) {
    VARIANT x;
    VariantInit(&x);
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    x.bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), x.bstrVal, n);
    x.vt = VT_BSTR;
    return x;
}

VARIANT VariantObject(IUnknown* object, bool dispatch) {
    VARIANT x;
    VariantInit(&x);
    if (dispatch) {
        x.vt = VT_DISPATCH;
        x.pdispVal = nullptr;
        if (object) object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&x.pdispVal));
    } else {
        x.vt = VT_UNKNOWN;
        x.punkVal = object;
        if (object) object->AddRef();
    }
    return x;
}

std::string VariantText(const VARIANT& v) {
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(&v), 0, VT_BSTR))) return std::string();
    std::string text = Narrow(copy.bstrVal);
    VariantClear(&copy);
    return text;
}

long VariantToLong(const VARIANT& v, long fallback) {
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(&v), 0, VT_I4))) return fallback;
    return copy.lVal;
}

// ---- connection point ---------------------------------------------------------------------------

class CStandinObject::CConnectionPoint final : public IConnectionPoint {
public:
    CConnectionPoint(CStandinObject& owner, const IID& iid) : m_owner(owner), m_iid(iid) { ++g_live; }
    ~CConnectionPoint() { --g_live; }

    const IID& Iid() const { return m_iid; }
    // The sinks now connected, each with a reference of its own.
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> Snapshot() const {
        std::vector<Microsoft::WRL::ComPtr<IDispatch>> sinks;
        for (const auto& [cookie, sink] : m_sinks) sinks.push_back(sink);
        return sinks;
    }
    bool IsConnected(IDispatch* sink) const {
        return std::any_of(m_sinks.begin(), m_sinks.end(), [&](const auto& s) { return s.second.Get() == sink; });
    }
    size_t Count() const { return m_sinks.size(); }
    void DropAll() { m_sinks.clear(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
            *out = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        const long left = --m_refs;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = m_iid;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
        if (!out) return E_POINTER;
        *out = &m_owner;
        m_owner.AddRef();
        return S_OK;
    }
    // As Outlook does: the sink must answer the outgoing interface itself.
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        Microsoft::WRL::ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(events.GetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = ++m_lastCookie;
        m_sinks[*cookie] = events;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        return m_sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    CStandinObject& m_owner;
    IID m_iid;
    std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> m_sinks;
    DWORD m_lastCookie = 0;
    long m_refs = 0;
};

// ---- object -------------------------------------------------------------------------------------

CStandinObject::CStandinObject(std::string name, std::vector<IID> iids, std::vector<IID> events)
    : m_name(std::move(name)), m_iids(std::move(iids)) {
    ++g_live;
    for (const IID& iid : events) m_points.emplace_back(new CConnectionPoint(*this, iid));
}

CStandinObject::~CStandinObject() {
    for (auto& [name, value] : m_properties) VariantClear(&value);
    --g_live;
}

void CStandinObject::AddMember(const std::string& name, DISPID id, Member member) {
    m_members[id] = Entry{name, std::move(member)};
}

void CStandinObject::AddProperty(const std::string& name, DISPID id, const VARIANT& initial) {
    VARIANT& slot = m_properties[name];
    VariantInit(&slot);
    VariantCopy(&slot, const_cast<VARIANT*>(&initial));
    AddMember(name, id, [this, name](const Args& args, bool put, VARIANT* result) -> HRESULT {
        VARIANT& value = m_properties[name];
        if (put) {
            if (args.empty()) return DISP_E_BADPARAMCOUNT;
            return VariantCopy(&value, const_cast<VARIANT*>(&args.back()));
        }
        return result ? VariantCopy(result, &value) : S_OK;
    });
}

VARIANT CStandinObject::PropertyValue(const std::string& name) const {
    VARIANT copy;
    VariantInit(&copy);
    const auto found = m_properties.find(name);
    if (found != m_properties.end()) VariantCopy(&copy, const_cast<VARIANT*>(&found->second));
    return copy;
}

int CStandinObject::Fire(const IID& events, DISPID id, const Args& args) {
    for (auto& point : m_points) {
        if (point->Iid() != events) continue;
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        int called = 0;
        for (const auto& sink : point->Snapshot()) {
            // A sink removed by an earlier sink's handler is not called any more.
            if (!point->IsConnected(sink.Get())) continue;
            DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
            VARIANT result;
            VariantInit(&result);
            sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
            VariantClear(&result);
            ++called;
        }
        return called;
    }
    return 0;
}

int CStandinObject::SinkCount(const IID& events) const {
    for (const auto& point : m_points)
        if (point->Iid() == events) return static_cast<int>(point->Count());
    return 0;
}

HRESULT CStandinObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || std::find(m_iids.begin(), m_iids.end(), iid) != m_iids.end())
        *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IConnectionPointContainer && !m_points.empty())
        *out = static_cast<IConnectionPointContainer*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CStandinObject::AddRef() { return static_cast<ULONG>(++m_refs); }

ULONG CStandinObject::Release() {
    const long left = --m_refs;
    if (left == 0) {
        // Connection points refer back to the object: they go with it.
        for (auto& point : m_points) point->DropAll();
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT CStandinObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CStandinObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT CStandinObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    const std::string name = Narrow(names[0]);
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const auto& [id, entry] : m_members)
        if (_stricmp(entry.name.c_str(), name.c_str()) == 0) {
            ids[0] = id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    return DISP_E_UNKNOWNNAME;
}

HRESULT CStandinObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* info, UINT*) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const auto found = m_members.find(id);
    if (found == m_members.end()) return DISP_E_MEMBERNOTFOUND;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const std::string qualified = m_name + "." + found->second.name;
    if (g_tracing) g_trace.push_back(qualified + (put ? "=" : ""));
    if (std::find(g_failing.begin(), g_failing.end(), qualified) != g_failing.end()) {
        const std::string text = "The stand-in refused " + qualified + ".";
        const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
        std::wstring wide(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
        if (info) {
            *info = EXCEPINFO{};
            info->scode = E_FAIL;
            info->bstrDescription = SysAllocString(wide.c_str());
            info->bstrSource = SysAllocString(L"Outlook");
        }
        Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            create->SetDescription(wide.data());
            Microsoft::WRL::ComPtr<IErrorInfo> error;
            if (SUCCEEDED(create.As(&error))) SetErrorInfo(0, error.Get());
        }
        return info ? DISP_E_EXCEPTION : E_FAIL;
    }
    Args args;
    if (params) {
        // Positional arguments come last to first; the named DISPID_PROPERTYPUT value is the first slot.
        for (UINT i = params->cArgs; i > 0; --i) {
            const VARIANT& arg = params->rgvarg[i - 1];
            if (arg.vt & VT_BYREF && arg.pvarVal && (arg.vt & ~VT_BYREF) == VT_VARIANT)
                args.push_back(*arg.pvarVal);
            else
                args.push_back(arg);
        }
    }
    // Keep the object alive through members that release the last outside reference.
    Microsoft::WRL::ComPtr<IDispatch> self(this);
    VARIANT ignored;
    VariantInit(&ignored);
    const HRESULT hr = found->second.member(args, put, result ? result : &ignored);
    VariantClear(&ignored);
    return hr;
}

HRESULT CStandinObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CStandinObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (auto& point : m_points)
        if (point->Iid() == iid) {
            *out = point.Get();
            point->AddRef();
            return S_OK;
        }
    return CONNECT_E_NOCONNECTION;
}

} // namespace outlook
