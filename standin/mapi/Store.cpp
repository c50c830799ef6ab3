// IMsgStore: one store of the profile, found by its entry id on every call.
#include "PropObject.h"

namespace standin::detail {
namespace {

class Store : public PropObject<IMsgStore> {
public:
    explicit Store(Bytes id) : id_(std::move(id)) {}
    ~Store() override { DropAdvises(this); }

    STDMETHODIMP Advise(ULONG cb, LPENTRYID id, ULONG mask, LPMAPIADVISESINK sink, ULONG* connection) override {
        Call call("IMsgStore::Advise");
        if (call.Failed()) return call.Result();
        return AdviseStore(this, id_, cb, id, mask, sink, connection);
    }
    STDMETHODIMP Unadvise(ULONG connection) override {
        Call call("IMsgStore::Unadvise");
        if (call.Failed()) return call.Result();
        return UnadviseStore(this, connection);
    }

    STDMETHODIMP CompareEntryIDs(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG, ULONG* result) override {
        Call call("IMsgStore::CompareEntryIDs");
        if (call.Failed()) return call.Result();
        return CompareIds(cb1, id1, cb2, id2, result);
    }

    STDMETHODIMP OpenEntry(ULONG cb, LPENTRYID id, LPCIID iface, ULONG flags, ULONG* type, LPUNKNOWN* out) override {
        Call call("IMsgStore::OpenEntry");
        if (call.Failed()) return call.Result();
        if (!W().StoreByOpenId(id_)) return MAPI_E_OBJECT_DELETED;
        return OpenAnyEntry(id_, cb, id, iface, flags, type, out);
    }

    STDMETHODIMP SetReceiveFolder(LPSTR, ULONG, ULONG, LPENTRYID) override { return NoSupport("SetReceiveFolder"); }

    STDMETHODIMP GetReceiveFolder(LPSTR, ULONG flags, ULONG* cb, LPENTRYID* id, LPSTR* explicitClass) override {
        Call call("IMsgStore::GetReceiveFolder");
        if (call.Failed()) return call.Result();
        if (!cb || !id) return MAPI_E_INVALID_PARAMETER;
        *cb = 0;
        *id = nullptr;
        if (explicitClass) *explicitClass = nullptr;
        StoreRec* s = W().StoreByOpenId(id_);
        if (!s) return MAPI_E_OBJECT_DELETED;
        if (s->inbox.empty() || !W().Folder(s->inbox)) return MAPI_E_NOT_FOUND;
        auto* bytes = static_cast<LPENTRYID>(AllocRoot(s->inbox.size()));
        std::memcpy(bytes, s->inbox.data(), s->inbox.size());
        *cb = static_cast<ULONG>(s->inbox.size());
        *id = bytes;
        if (explicitClass) {
            // The Inbox receives the default class, whose name is the empty string.
            void* text = AllocRoot(sizeof(wchar_t));
            std::memset(text, 0, sizeof(wchar_t));
            *explicitClass = static_cast<LPSTR>(text);
            (void)flags;
        }
        return S_OK;
    }

    STDMETHODIMP GetReceiveFolderTable(ULONG, LPMAPITABLE* t) override {
        if (t) *t = nullptr;
        return NoSupport("GetReceiveFolderTable");
    }
    STDMETHODIMP StoreLogoff(ULONG*) override {
        Call call("IMsgStore::StoreLogoff");
        if (call.Failed()) return call.Result();
        return S_OK;
    }
    STDMETHODIMP AbortSubmit(ULONG, LPENTRYID, ULONG) override { return NoSupport("AbortSubmit"); }
    STDMETHODIMP GetOutgoingQueue(ULONG, LPMAPITABLE* t) override {
        if (t) *t = nullptr;
        return NoSupport("GetOutgoingQueue");
    }
    STDMETHODIMP SetLockState(LPMESSAGE, ULONG) override { return NoSupport("SetLockState"); }
    STDMETHODIMP FinishedMsg(ULONG, ULONG, LPENTRYID) override { return NoSupport("FinishedMsg"); }
    STDMETHODIMP NotifyNewMail(LPNOTIFICATION) override { return NoSupport("NotifyNewMail"); }

protected:
    const char* Iface() const override { return "IMsgStore"; }
    Bytes StoreOfObject() const override { return id_; }
    bool HasInterface(REFIID riid) const override { return IsEqualIID(riid, IID_IMsgStore); }
    HRESULT ReadBag(Bag* out) override {
        StoreRec* s = W().StoreByOpenId(id_);
        if (!s) return MAPI_E_OBJECT_DELETED;
        *out = s->props;
        return S_OK;
    }

private:
    static HRESULT NoSupport(const char* method) {
        Call call(Member{"IMsgStore", method});
        if (call.Failed()) return call.Result();
        return MAPI_E_NO_SUPPORT;
    }

    Bytes id_;
};

} // namespace

IMsgStore* NewStoreObject(const Bytes& storeId) { return new Store(storeId); }

} // namespace standin::detail
