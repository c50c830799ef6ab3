#include "mapi/MsgStoresTableFromProfile.h"

#include "mapi/MsgStoresTableErrorPlaces.h"

#include <new>

using namespace MsgStoresTableErrorPlaces;

void CMsgStoresTableFromProfile::Create(IUnknown* sessionInterface) {
    table.Reset();
    session = sessionInterface;

    // With no session there is nothing to ask: reported as the table that could not be had.
    HRESULT hr = E_FAIL;
    if (session) hr = session->GetMsgStoresTable(0, table.ReleaseAndGetAddressOf());
    if (FAILED(hr) || !table) ZX_THROW_MAPI_AT(kNoStoresTable, hr, "Failed to obtain message stores table.");

    SizedSPropTagArray(4, columns) = {4, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_DEFAULT_STORE, PR_MDB_PROVIDER}};
    hr = table->SetColumns(reinterpret_cast<SPropTagArray*>(&columns), 0);
    if (FAILED(hr)) ZX_THROW_MAPI_AT(kSetColumnsFailed, hr, "Failed to set columns on message stores table.");
}

const SPropValue* CMsgStoresTableFromProfile::ColumnValue(const ZxSRowSet& rows, ULONG column, ULONG tag) const {
    if (rows.RowCount() == 0) return nullptr;
    const SRow& row = rows.Row(0);
    if (!row.lpProps || row.cValues <= column || row.lpProps[column].ulPropTag != tag) return nullptr;
    return &row.lpProps[column];
}

std::string CMsgStoresTableFromProfile::GetDisplayName(ULONG row) {
    ZxSRowSet rows;
    Seek(row, rows);
    const SPropValue* name = ColumnValue(rows, ColumnDisplayName, PR_DISPLAY_NAME_A);
    return name && name->Value.lpszA ? std::string(name->Value.lpszA) : std::string();
}

bool CMsgStoresTableFromProfile::IsDefaultStore(ULONG row) {
    ZxSRowSet rows;
    Seek(row, rows);
    const SPropValue* isDefault = ColumnValue(rows, ColumnDefaultStore, PR_DEFAULT_STORE);
    return isDefault && isDefault->Value.b != 0;
}

ZxSBinary CMsgStoresTableFromProfile::GetProvider(ULONG row) {
    ZxSRowSet rows;
    Seek(row, rows);
    const SPropValue* provider = ColumnValue(rows, ColumnProvider, PR_MDB_PROVIDER);
    return provider ? ZxSBinary(provider->Value.bin) : ZxSBinary();
}

ZxSBinary CMsgStoresTableFromProfile::GetEntryID(ULONG row) {
    ZxSBinary tableId;
    bool haveId = false;
    {
        ZxSRowSet rows;
        Seek(row, rows);
        if (const SPropValue* id = ColumnValue(rows, ColumnEntryID, PR_ENTRYID)) {
            tableId = id->Value.bin;
            haveId = true;
        }
    }
    // The table's id may be one the store does not answer to; prefer the store's own.
    if (haveId) {
        ZxSBinary storeId = GetStoreEntryID(tableId);
        if (storeId.HasData()) return storeId;
    }
    return tableId;
}

ZxSBinary CMsgStoresTableFromProfile::GetStoreEntryID(const ZxSBinary& tableId) {
    try {
        ZxIMsgStore store;
        HRESULT hr = session.OpenEntry(tableId, store, MAPI_BEST_ACCESS);
        if (FAILED(hr) || !store) return ZxSBinary();
        ZxSBinary storeId;
        store.GetPropBinary(PR_ENTRYID, storeId);
        return storeId;
    } catch (const std::bad_alloc&) {
        throw; // out of memory is no answer about the store: the table's id must not stand in for it
    } catch (...) {
        return ZxSBinary();
    }
}
