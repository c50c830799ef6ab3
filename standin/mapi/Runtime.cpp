// The MAPI utility functions the product imports by their plain names.
#include "Internal.h"

using namespace standin::detail;

namespace {
std::atomic<long> g_initCount{0};
}

extern "C" {

HRESULT WINAPI MAPIInitialize(LPVOID) {
    Call call("MAPIInitialize");
    if (call.Failed()) return call.Result();
    ++g_initCount;
    return S_OK;
}

void WINAPI MAPIUninitialize() {
    if (g_initCount > 0) --g_initCount;
}

HRESULT WINAPI MAPILogonEx(ULONG_PTR, LPSTR, LPSTR, ULONG, LPMAPISESSION* session) {
    Call call("MAPILogonEx");
    if (call.Failed()) return call.Result();
    if (!session) return MAPI_E_INVALID_PARAMETER;
    *session = standin::NewSession();
    return S_OK;
}

HRESULT WINAPI HrGetOneProp(LPMAPIPROP prop, ULONG tag, LPSPropValue* out) {
    Call call("HrGetOneProp");
    if (call.Failed()) return call.Result();
    if (!prop || !out) return MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    SizedSPropTagArray(1, tags) = {1, {tag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    HRESULT hr = prop->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values);
    if (FAILED(hr)) return hr;
    if (!values || count != 1) {
        MAPIFreeBuffer(values);
        return MAPI_E_NOT_FOUND;
    }
    if (PROP_TYPE(values->ulPropTag) == PT_ERROR) {
        hr = values->Value.err;
        MAPIFreeBuffer(values);
        return FAILED(hr) ? hr : MAPI_E_NOT_FOUND;
    }
    *out = values;
    return S_OK;
}

void WINAPI FreeProws(LPSRowSet rows) {
    if (!rows) return;
    for (ULONG k = 0; k < rows->cRows; ++k) MAPIFreeBuffer(rows->aRow[k].lpProps);
    MAPIFreeBuffer(rows);
}

HRESULT WINAPI HrQueryAllRows(LPMAPITABLE table, LPSPropTagArray tags, LPSRestriction restriction, LPSSortOrderSet sort,
                              LONG maxRows, LPSRowSet* out) {
    Call call("HrQueryAllRows");
    if (call.Failed()) return call.Result();
    if (!table || !out) return MAPI_E_INVALID_PARAMETER;
    *out = nullptr;
    HRESULT hr = S_OK;
    if (tags && FAILED(hr = table->SetColumns(tags, TBL_BATCH))) return hr;
    if (restriction && FAILED(hr = table->Restrict(restriction, TBL_BATCH))) return hr;
    if (sort && FAILED(hr = table->SortTable(sort, TBL_BATCH))) return hr;
    if (FAILED(hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr))) return hr;
    ULONG count = 0;
    if (FAILED(hr = table->GetRowCount(0, &count))) return hr;
    if (maxRows > 0 && count > static_cast<ULONG>(maxRows)) return MAPI_E_TABLE_TOO_BIG;
    return table->QueryRows(static_cast<LONG>(count > 0x7FFFFFFF ? 0x7FFFFFFF : (count ? count : 1)), 0, out);
}

} // extern "C"
