#include "mapi/MAPIModule.h"

#include <mapiutil.h>

ZxMAPIModule& ZxMAPIModule::Instance() {
    static ZxMAPIModule instance;
    return instance;
}

HRESULT ZxMAPIModule::AllocateBuffer(ULONG size, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (m_mapiInUse) return static_cast<HRESULT>(MAPIAllocateBuffer(size, out));
    *out = HeapAlloc(GetProcessHeap(), 0, size);
    return *out ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

HRESULT ZxMAPIModule::FreeBuffer(void* p) {
    if (!p) return S_OK;
    if (m_mapiInUse) return static_cast<HRESULT>(MAPIFreeBuffer(p));
    HeapFree(GetProcessHeap(), 0, p);
    return S_OK;
}

HRESULT ZxMAPIModule::GetOneProp(IMAPIProp* object, ULONG tag, SPropValue** out) {
    return HrGetOneProp(object, tag, out);
}

HRESULT ZxMAPIModule::QueryAllRows(IMAPITable* table, SPropTagArray* columns, SRestriction* restriction,
                                   SSortOrderSet* sortOrder, LONG maxRows, SRowSet** out) {
    return HrQueryAllRows(table, columns, restriction, sortOrder, maxRows, out);
}

void ZxMAPIModule::FreeRows(SRowSet* rows) { FreeProws(rows); }
