#pragma once
// A property object that only answers GetIDsFromNames, recording what it was asked. Its answer is
// allocated with MAPIAllocateBuffer, as a provider's is, so the fixture sees it freed.
#include <windows.h>
#include <mapix.h>

#include <string>
#include <vector>

class FakeNamedProp : public IMAPIProp {
public:
    struct SeenName {
        GUID guid;
        ULONG kind;
        LONG id;
        std::wstring name;
    };

    HRESULT result = S_OK; // GetIDsFromNames' result
    std::vector<ULONG> answer; // the ids it hands back (when the result is not a failure)
    int calls = 0;
    ULONG flags = 0xFFFFFFFF;
    std::vector<SeenName> seen;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMAPIProp)) {
            *out = static_cast<IMAPIProp*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    STDMETHODIMP GetIDsFromNames(ULONG count, LPMAPINAMEID* names, ULONG f, LPSPropTagArray* tags) override {
        ++calls;
        flags = f;
        seen.clear();
        for (ULONG i = 0; i < count; ++i) {
            const MAPINAMEID* n = names[i];
            SeenName s{*n->lpguid, n->ulKind, 0, std::wstring()};
            if (n->ulKind == MNID_ID)
                s.id = n->Kind.lID;
            else
                s.name = n->Kind.lpwstrName;
            seen.push_back(s);
        }
        *tags = nullptr;
        if (FAILED(result)) return result;
        SPropTagArray* array = nullptr;
        HRESULT hr = MAPIAllocateBuffer(CbNewSPropTagArray(answer.size()), reinterpret_cast<void**>(&array));
        if (FAILED(hr)) return hr;
        array->cValues = static_cast<ULONG>(answer.size());
        for (size_t i = 0; i < answer.size(); ++i) array->aulPropTag[i] = answer[i];
        *tags = array;
        return result;
    }

    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP SaveChanges(ULONG) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP GetProps(LPSPropTagArray, ULONG, ULONG*, LPSPropValue*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP GetPropList(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                        LPSPropProblemArray*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP CopyProps(LPSPropTagArray, ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                           LPSPropProblemArray*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override {
        return MAPI_E_NO_SUPPORT;
    }

    ULONG refs = 1;
};
