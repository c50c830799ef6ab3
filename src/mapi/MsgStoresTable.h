#pragma once
// The list of the profile's message stores, one row per store, for the folder picker.
#include <windows.h>
#include <mapix.h>
#include <wrl/client.h>
#include <string>

#include "mapi/Binary.h"
#include "mapi/PropValues.h"

class CMsgStoresTable {
public:
    CMsgStoresTable() = default;
    CMsgStoresTable(const CMsgStoresTable&) = delete;
    CMsgStoresTable& operator=(const CMsgStoresTable&) = delete;
    virtual ~CMsgStoresTable() = default;

    // Throws ZxExceptionText with no table; 0 when the table cannot count.
    virtual ULONG GetRowCount();
    // Reads row `row` afresh into `rows` (one row, or none past the end). Throws with no table and
    // when SeekRow or QueryRows fails.
    virtual void Seek(ULONG row, ZxSRowSet& rows);
    // Obtains the table from the session Outlook hands out (any interface of it).
    virtual void Create(IUnknown* session) = 0;
    virtual ZxSBinary GetEntryID(ULONG row) = 0;
    virtual std::string GetDisplayName(ULONG row) = 0;

    IMAPITable* GetTable() const { return table.Get(); }

protected:
    Microsoft::WRL::ComPtr<IMAPITable> table;
};
