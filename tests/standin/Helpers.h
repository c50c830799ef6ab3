// Shared helpers of the stand-in fidelity tests: a fixture that checks for leaked MAPI objects
// and buffers, and small wrappers that call MAPI exactly as a client does.
#pragma once

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapiutil.h>
#include <mapix.h>

#include "Standin.h"
#include "mapi/MAPITags.h"


namespace standin_test {

using Microsoft::WRL::ComPtr;
using standin::Bytes;

class StandinTest : public ::testing::Test {
protected:
    // The world is reset before derived fixtures' members build their profiles.
    StandinTest() {
        standin::Reset();
        baseline_ = standin::LiveObjects();
        baselineCom_ = standin::LiveComObjects();
    }
    void TearDown() override {
        EXPECT_EQ(standin::LiveObjects(), baseline_)
            << "a MAPI object or buffer leaked: COM objects " << standin::LiveComObjects() - baselineCom_;
    }

    long baseline_ = 0, baselineCom_ = 0;
};

// Owners of what MAPI hands out.
struct Buffer {
    LPSPropValue p = nullptr;
    ~Buffer() { MAPIFreeBuffer(p); }
};
struct Rows {
    LPSRowSet p = nullptr;
    ~Rows() { FreeProws(p); }
    void Reset() {
        FreeProws(p);
        p = nullptr;
    }
};

inline LPENTRYID Eid(const Bytes& b) { return reinterpret_cast<LPENTRYID>(const_cast<char*>(b.data())); }
inline ULONG Cb(const Bytes& b) { return static_cast<ULONG>(b.size()); }
inline Bytes Of(const SBinary& bin) { return standin::ToBytes(bin); }
inline ULONGLONG Ticks(const FILETIME& t) { return standin::TimeValue(t); }

// QueryInterface by an explicit IID (the MAPI interfaces carry no __uuidof for ComPtr::As).
template <class I>
HRESULT QueryAs(IUnknown* unknown, REFIID iid, ComPtr<I>& out) {
    return unknown->QueryInterface(iid, reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

inline ComPtr<IMAPISession> NewSession() {
    ComPtr<IMAPISession> s;
    // Not ComPtr::Attach: MinGW-w64's adds a reference, unlike Microsoft's.
    *s.ReleaseAndGetAddressOf() = standin::NewSession();
    return s;
}

inline ComPtr<IMsgStore> OpenStore(IMAPISession* session, const Bytes& id, HRESULT* hr = nullptr) {
    ComPtr<IMsgStore> store;
    HRESULT r = session->OpenMsgStore(0, Cb(id), Eid(id), nullptr, MAPI_BEST_ACCESS | MDB_NO_DIALOG, &store);
    if (hr) *hr = r;
    return store;
}

inline ComPtr<IMAPIFolder> OpenFolder(IMsgStore* store, const Bytes& id, HRESULT* hr = nullptr) {
    ComPtr<IUnknown> unk;
    ULONG type = 0;
    ComPtr<IMAPIFolder> folder;
    HRESULT r = store->OpenEntry(Cb(id), Eid(id), nullptr, MAPI_BEST_ACCESS, &type, &unk);
    if (SUCCEEDED(r)) r = QueryAs(unk.Get(), IID_IMAPIFolder, folder);
    if (hr) *hr = r;
    return folder;
}

inline ComPtr<IMessage> OpenMessage(IMAPIFolder* folder, const Bytes& id, HRESULT* hr = nullptr,
                                    ULONG flags = MAPI_BEST_ACCESS) {
    ComPtr<IUnknown> unk;
    ULONG type = 0;
    ComPtr<IMessage> message;
    HRESULT r = folder->OpenEntry(Cb(id), Eid(id), nullptr, flags, &type, &unk);
    if (SUCCEEDED(r)) {
        EXPECT_EQ(type, static_cast<ULONG>(MAPI_MESSAGE));
        r = QueryAs(unk.Get(), IID_IMessage, message);
    }
    if (hr) *hr = r;
    return message;
}

inline HRESULT GetBinary(LPMAPIPROP obj, ULONG tag, Bytes* out) {
    Buffer v;
    HRESULT hr = HrGetOneProp(obj, tag, &v.p);
    if (SUCCEEDED(hr)) *out = Of(v.p->Value.bin);
    return hr;
}

inline HRESULT GetText(LPMAPIPROP obj, ULONG tag, std::string* out) {
    Buffer v;
    HRESULT hr = HrGetOneProp(obj, tag, &v.p);
    if (SUCCEEDED(hr)) *out = v.p->Value.lpszA;
    return hr;
}

inline HRESULT GetTime(LPMAPIPROP obj, ULONGLONG* out) {
    Buffer v;
    HRESULT hr = HrGetOneProp(obj, PR_LAST_MODIFICATION_TIME, &v.p);
    if (SUCCEEDED(hr)) *out = Ticks(v.p->Value.ft);
    return hr;
}

inline HRESULT SetText(LPMAPIPROP obj, ULONG tag, const char* text) {
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszA = const_cast<char*>(text);
    return obj->SetProps(1, &v, nullptr);
}

// A profile with one default personal-folders store; folder ids of its Calendar and Contacts.
struct BasicProfile {
    Bytes store, calendar, contacts;
    BasicProfile() {
        standin::StoreSpec descr;
        descr.displayName = "Personal Folders";
        descr.isDefault = true;
        store = standin::AddStore(descr);
        calendar = standin::FolderByPath("Personal Folders\\Calendar");
        contacts = standin::FolderByPath("Personal Folders\\Contacts");
    }
};

} // namespace standin_test
