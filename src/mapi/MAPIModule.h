#pragma once
// The one switch between the process heap and MAPI's allocator, and the door to MAPI's utility functions.
#include <windows.h>
#include <mapix.h>

class ZxMAPIModule {
public:
    static ZxMAPIModule& Instance();

    void SetMAPIInUse(bool inUse) { m_mapiInUse = inUse; }
    bool IsMAPIInUse() const { return m_mapiInUse; }

    HRESULT AllocateBuffer(ULONG size, void** out);
    HRESULT FreeBuffer(void* p);
    HRESULT GetOneProp(IMAPIProp* object, ULONG tag, SPropValue** out);
    HRESULT QueryAllRows(IMAPITable* table, SPropTagArray* columns, SRestriction* restriction, SSortOrderSet* sortOrder,
                         LONG maxRows, SRowSet** out);
    void FreeRows(SRowSet* rows);

private:
    ZxMAPIModule() = default;
    bool m_mapiInUse = false;
};
