// IMAPISession over the stand-in profile, and the profile section that carries its name.
#include "PropObject.h"

namespace standin::detail {
namespace {

// {00020385-0000-0000-C000-000000000046}: the global profile section.
const GUID kGlobalProfileSection = {0x00020385, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class ProfileSection : public PropObject<IProfSect> {
protected:
    const char* Iface() const override { return "IProfSect"; }
    bool HasInterface(REFIID riid) const override { return IsEqualIID(riid, IID_IProfSect); }
    HRESULT ReadBag(Bag* out) override {
        out->clear();
        if (W().profileNameAvailable) BagSet(*out, PR_PROFILE_NAME_A, Value::String(W().profileName));
        return S_OK;
    }
};

class Session : public ComBase<IMAPISession> {
public:
    // A logon: short-term ids that an earlier session read no longer open (mailbox items).
    Session() {
        Lock lock(Mutex());
        ++W().session;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        Call call("IMAPISession::QueryInterface", "IUnknown::QueryInterface");
        if (call.Failed()) return call.Result();
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMAPISession) ||
            IsEqualIID(riid, IID_IStandinObject)) {
            *ppv = static_cast<IMAPISession*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* err) override {
        Call call("IMAPISession::GetLastError");
        if (call.Failed()) return call.Result();
        if (err) *err = nullptr;
        return S_OK;
    }

    STDMETHODIMP GetMsgStoresTable(ULONG, LPMAPITABLE* table) override {
        Call call("IMAPISession::GetMsgStoresTable");
        if (call.Failed()) return call.Result();
        if (!table) return MAPI_E_INVALID_PARAMETER;
        std::vector<Bag> rows;
        for (const StoreRec& s : W().stores) rows.push_back(W().StoresRow(s));
        *table = NewTable(std::move(rows), {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_DEFAULT_STORE, PR_MDB_PROVIDER,
                                            PR_RECORD_KEY, PR_RESOURCE_FLAGS, PR_INSTANCE_KEY});
        return S_OK;
    }

    STDMETHODIMP OpenMsgStore(ULONG_PTR, ULONG cb, LPENTRYID id, LPCIID iface, ULONG, LPMDB* out) override {
        Call call("IMAPISession::OpenMsgStore");
        if (call.Failed()) return call.Result();
        if (!out) return MAPI_E_INVALID_PARAMETER;
        *out = nullptr;
        if (!id || cb == 0) return MAPI_E_INVALID_ENTRYID;
        StoreRec* s = W().StoreByOpenId(BytesOf(cb, id));
        if (!s || s->unopenable) return MAPI_E_NOT_FOUND;
        IMsgStore* store = NewStoreObject(s->id);
        if (iface && !IsEqualIID(*iface, IID_IMsgStore)) {
            store->Release();
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        }
        *out = store;
        return S_OK;
    }

    STDMETHODIMP OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK* out) override {
        if (out) *out = nullptr;
        return NoSupport("OpenAddressBook");
    }

    STDMETHODIMP OpenProfileSection(LPMAPIUID uid, LPCIID iface, ULONG, LPPROFSECT* out) override {
        Call call("IMAPISession::OpenProfileSection");
        if (call.Failed()) return call.Result();
        if (!out || !uid) return MAPI_E_INVALID_PARAMETER;
        *out = nullptr;
        if (std::memcmp(uid, &kGlobalProfileSection, sizeof(GUID)) != 0) return MAPI_E_NOT_FOUND;
        if (iface && !IsEqualIID(*iface, IID_IProfSect) && !IsEqualIID(*iface, IID_IMAPIProp))
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        *out = new ProfileSection();
        return S_OK;
    }

    STDMETHODIMP GetStatusTable(ULONG, LPMAPITABLE* table) override {
        if (table) *table = nullptr;
        return NoSupport("GetStatusTable");
    }

    STDMETHODIMP OpenEntry(ULONG cb, LPENTRYID id, LPCIID iface, ULONG flags, ULONG* type, LPUNKNOWN* out) override {
        Call call("IMAPISession::OpenEntry");
        if (call.Failed()) return call.Result();
        return OpenAnyEntry(Bytes(), cb, id, iface, flags, type, out);
    }

    STDMETHODIMP CompareEntryIDs(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG, ULONG* result) override {
        Call call("IMAPISession::CompareEntryIDs");
        if (call.Failed()) return call.Result();
        return CompareIds(cb1, id1, cb2, id2, result);
    }

    STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override { return NoSupport("Advise"); }
    STDMETHODIMP Unadvise(ULONG) override { return NoSupport("Unadvise"); }
    STDMETHODIMP MessageOptions(ULONG_PTR, ULONG, LPSTR, LPMESSAGE) override { return NoSupport("MessageOptions"); }
    STDMETHODIMP QueryDefaultMessageOpt(LPSTR, ULONG, ULONG*, LPSPropValue*) override {
        return NoSupport("QueryDefaultMessageOpt");
    }
    STDMETHODIMP EnumAdrTypes(ULONG, ULONG*, LPSTR**) override { return NoSupport("EnumAdrTypes"); }
    STDMETHODIMP QueryIdentity(ULONG*, LPENTRYID*) override { return NoSupport("QueryIdentity"); }
    STDMETHODIMP Logoff(ULONG_PTR, ULONG, ULONG) override {
        Call call("IMAPISession::Logoff");
        if (call.Failed()) return call.Result();
        return S_OK;
    }
    STDMETHODIMP SetDefaultStore(ULONG, ULONG, LPENTRYID) override { return NoSupport("SetDefaultStore"); }
    STDMETHODIMP AdminServices(ULONG, LPSERVICEADMIN* out) override {
        if (out) *out = nullptr;
        return NoSupport("AdminServices");
    }
    STDMETHODIMP ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG, ULONG,
                          LPSTR) override {
        return NoSupport("ShowForm");
    }
    STDMETHODIMP PrepareForm(LPCIID, LPMESSAGE, ULONG*) override { return NoSupport("PrepareForm"); }

private:
    static HRESULT NoSupport(const char* method) {
        Call call(Member{"IMAPISession", method});
        if (call.Failed()) return call.Result();
        return MAPI_E_NO_SUPPORT;
    }
};

} // namespace

IMAPIProp* NewProfileSection() { return new ProfileSection(); }

} // namespace standin::detail

namespace standin {

IMAPISession* NewSession() { return new detail::Session(); }

} // namespace standin
