#include "mapi/MsgStoresTable.h"
#include "base/Errors.h"

// The module name and line numbers of these throws are what users quote from the log; they stay fixed.

ULONG CMsgStoresTable::GetRowCount() {
    if (!table) throw Error::ZxExceptionText("NULL  MsgStoresTable pointer.", "MsgStoresTable", 16);
    ULONG count = 0;
    if (FAILED(table->GetRowCount(0, &count))) return 0;
    return count;
}

void CMsgStoresTable::Seek(ULONG row, ZxSRowSet& rows) {
    if (!table) throw Error::ZxExceptionText("NULL  MsgStoresTable pointer.", "MsgStoresTable", 26);
    rows.Free();
    HRESULT hr = table->SeekRow(BOOKMARK_BEGINNING, static_cast<LONG>(row), nullptr);
    if (FAILED(hr))
        throw Error::ZxExceptionMAPI(hr, "Failed to seek rows on message stores table.", "MsgStoresTable",
                                     "CMsgStoresTable::Seek", 32);
    hr = table->QueryRows(1, 0, rows.Receive());
    if (FAILED(hr) || !rows.IsValid())
        throw Error::ZxExceptionMAPI(hr, "Failed to query rows on message stores table.", "MsgStoresTable",
                                     "CMsgStoresTable::Seek", 34);
}
