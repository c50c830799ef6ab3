#include "mapi/MsgStoresTable.h"
#include "mapi/MsgStoresTableErrorPlaces.h"

using namespace MsgStoresTableErrorPlaces;

ULONG CMsgStoresTable::GetRowCount() {
    if (!table) ZX_THROW_TEXT_AT(kRowCountWithoutTable, "NULL  MsgStoresTable pointer.");
    ULONG count = 0;
    if (FAILED(table->GetRowCount(0, &count))) return 0;
    return count;
}

void CMsgStoresTable::Seek(ULONG row, ZxSRowSet& rows) {
    if (!table) ZX_THROW_TEXT_AT(kSeekWithoutTable, "NULL  MsgStoresTable pointer.");
    rows.Free();
    HRESULT hr = table->SeekRow(BOOKMARK_BEGINNING, static_cast<LONG>(row), nullptr);
    if (FAILED(hr)) ZX_THROW_MAPI_AT(kSeekRowFailed, hr, "Failed to seek rows on message stores table.");
    hr = table->QueryRows(1, 0, rows.Receive());
    if (FAILED(hr) || !rows.IsValid())
        ZX_THROW_MAPI_AT(kQueryRowsFailed, hr, "Failed to query rows on message stores table.");
}
