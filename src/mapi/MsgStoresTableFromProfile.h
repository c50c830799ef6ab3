#pragma once
// The stores table read from the session of the current profile.
#include "mapi/MsgStoresTable.h"
#include "mapi/Session.h"

class CMsgStoresTableFromProfile : public CMsgStoresTable {
public:
    // Columns of the table, in this order.
    enum Column : ULONG { ColumnDisplayName = 0, ColumnEntryID = 1, ColumnDefaultStore = 2, ColumnProvider = 3 };

    CMsgStoresTableFromProfile() = default;
    ~CMsgStoresTableFromProfile() override = default;

    // Throws ZxExceptionMAPI when the table cannot be had or its columns cannot be set.
    void Create(IUnknown* session) override;
    // The store's own entry id when the store opens by the table's id; otherwise the table's id.
    ZxSBinary GetEntryID(ULONG row) override;
    std::string GetDisplayName(ULONG row) override;
    virtual bool IsDefaultStore(ULONG row);
    virtual ZxSBinary GetProvider(ULONG row);
    // PR_ENTRYID of the store opened by `tableId`; empty on any failure (nothing escapes).
    virtual ZxSBinary GetStoreEntryID(const ZxSBinary& tableId);

    const ZxIMAPISession& GetSession() const { return session; }

private:
    // The row's column value when it carries `tag`; null otherwise (error values, missing rows).
    const SPropValue* ColumnValue(const ZxSRowSet& rows, ULONG column, ULONG tag) const;

    ZxIMAPISession session;
};
