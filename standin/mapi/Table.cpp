// IMAPITable over rows captured when the table was made (a snapshot: later changes to the
// folder or store are not seen; a contents row shares its item's properties, which a change copies
// first). Rows are built in the column order of SetColumns and are allocated as MAPI expects, so
// FreeProws releases them.
#include "Internal.h"

#include <set>

namespace standin::detail {
namespace {

const Value* RowFind(const TableRow& row, ULONG tag) {
    if (const Value* v = BagFind(row.own, tag)) return v;
    return row.shared ? BagFind(*row.shared, tag) : nullptr;
}

class Table : public ComBase<IMAPITable> {
public:
    Table(std::vector<TableRow> rows, std::vector<ULONG> columns) : rows_(std::move(rows)), columns_(std::move(columns)) {
        for (size_t k = 0; k < rows_.size(); ++k) {
            if (!RowFind(rows_[k], PR_INSTANCE_KEY)) {
                Bytes key;
                for (int b = 0; b < 4; ++b) key.push_back(static_cast<char>((k >> (8 * b)) & 0xFF));
                BagSet(rows_[k].own, PR_INSTANCE_KEY, Value::Binary(key));
            }
        }
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        Call call("IMAPITable::QueryInterface", "IUnknown::QueryInterface");
        if (call.Failed()) return call.Result();
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMAPITable) ||
            IsEqualIID(riid, IID_IStandinObject)) {
            *ppv = static_cast<IMAPITable*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* err) override {
        Call call("IMAPITable::GetLastError");
        if (call.Failed()) return call.Result();
        if (err) *err = nullptr;
        return S_OK;
    }
    STDMETHODIMP Advise(ULONG, LPMAPIADVISESINK, ULONG*) override { return NoSupport("Advise"); }
    STDMETHODIMP Unadvise(ULONG) override { return NoSupport("Unadvise"); }

    STDMETHODIMP GetStatus(ULONG* status, ULONG* type) override {
        Call call("IMAPITable::GetStatus");
        if (call.Failed()) return call.Result();
        if (status) *status = TBLSTAT_COMPLETE;
        if (type) *type = TBLTYPE_SNAPSHOT;
        return S_OK;
    }

    STDMETHODIMP SetColumns(LPSPropTagArray tags, ULONG) override {
        Call call("IMAPITable::SetColumns");
        if (call.Failed()) return call.Result();
        if (!tags) return MAPI_E_INVALID_PARAMETER;
        columns_.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
        return S_OK;
    }

    STDMETHODIMP QueryColumns(ULONG flags, LPSPropTagArray* tags) override {
        Call call("IMAPITable::QueryColumns");
        if (call.Failed()) return call.Result();
        if (!tags) return MAPI_E_INVALID_PARAMETER;
        if (flags & TBL_ALL_COLUMNS) {
            std::vector<ULONG> all = columns_;
            std::set<ULONG> ids;
            for (ULONG t : all) ids.insert(PROP_ID(t));
            for (const TableRow& row : rows_) {
                for (const auto& [id, v] : row.own)
                    if (ids.insert(id).second) all.push_back(PROP_TAG(v.type, id));
                if (row.shared)
                    for (const auto& [id, v] : *row.shared)
                        if (ids.insert(id).second) all.push_back(PROP_TAG(v.type, id));
            }
            *tags = NewTagArray(all);
        } else {
            *tags = NewTagArray(columns_);
        }
        return S_OK;
    }

    STDMETHODIMP GetRowCount(ULONG, ULONG* count) override {
        Call call("IMAPITable::GetRowCount");
        if (call.Failed()) return call.Result();
        if (!count) return MAPI_E_INVALID_PARAMETER;
        *count = static_cast<ULONG>(rows_.size());
        return S_OK;
    }

    STDMETHODIMP SeekRow(BOOKMARK origin, LONG count, LONG* sought) override {
        Call call("IMAPITable::SeekRow");
        if (call.Failed()) return call.Result();
        LONG start;
        if (origin == BOOKMARK_BEGINNING) {
            start = 0;
        } else if (origin == BOOKMARK_CURRENT) {
            start = pos_;
        } else if (origin == BOOKMARK_END) {
            start = static_cast<LONG>(rows_.size());
        } else {
            return MAPI_E_INVALID_BOOKMARK;
        }
        LONG target = start + count;
        if (target < 0) target = 0;
        if (target > static_cast<LONG>(rows_.size())) target = static_cast<LONG>(rows_.size());
        if (sought) *sought = target - start;
        pos_ = target;
        return S_OK;
    }

    STDMETHODIMP SeekRowApprox(ULONG num, ULONG den) override {
        Call call("IMAPITable::SeekRowApprox");
        if (call.Failed()) return call.Result();
        if (den == 0) return MAPI_E_INVALID_PARAMETER;
        pos_ = static_cast<LONG>(static_cast<ULONGLONG>(rows_.size()) * num / den);
        if (pos_ > static_cast<LONG>(rows_.size())) pos_ = static_cast<LONG>(rows_.size());
        return S_OK;
    }

    STDMETHODIMP QueryPosition(ULONG* row, ULONG* num, ULONG* den) override {
        Call call("IMAPITable::QueryPosition");
        if (call.Failed()) return call.Result();
        if (row) *row = static_cast<ULONG>(pos_);
        if (num) *num = static_cast<ULONG>(pos_);
        if (den) *den = static_cast<ULONG>(rows_.size());
        return S_OK;
    }

    STDMETHODIMP FindRow(LPSRestriction, BOOKMARK, ULONG) override { return NoSupport("FindRow"); }
    STDMETHODIMP Restrict(LPSRestriction, ULONG) override { return NoSupport("Restrict"); }
    STDMETHODIMP CreateBookmark(BOOKMARK*) override { return NoSupport("CreateBookmark"); }
    STDMETHODIMP FreeBookmark(BOOKMARK) override { return NoSupport("FreeBookmark"); }
    STDMETHODIMP SortTable(LPSSortOrderSet, ULONG) override { return NoSupport("SortTable"); }
    STDMETHODIMP QuerySortOrder(LPSSortOrderSet*) override { return NoSupport("QuerySortOrder"); }

    STDMETHODIMP QueryRows(LONG count, ULONG flags, LPSRowSet* out) override {
        Call call("IMAPITable::QueryRows");
        if (call.Failed()) return call.Result();
        if (!out) return MAPI_E_INVALID_PARAMETER;
        *out = nullptr;
        LONG first, last; // [first, last)
        const LONG size = static_cast<LONG>(rows_.size());
        if (count >= 0) {
            first = pos_;
            last = pos_ + count > size ? size : pos_ + count;
        } else {
            last = pos_;
            first = pos_ + count < 0 ? 0 : pos_ + count;
        }
        const ULONG n = static_cast<ULONG>(last - first);
        auto* set = static_cast<LPSRowSet>(AllocRoot(CbNewSRowSet(n ? n : 1)));
        set->cRows = n;
        for (ULONG r = 0; r < n; ++r) {
            const TableRow& row = rows_[static_cast<size_t>(first) + r];
            auto* props =
                static_cast<LPSPropValue>(AllocRoot(sizeof(SPropValue) * (columns_.empty() ? 1 : columns_.size())));
            for (size_t c = 0; c < columns_.size(); ++c)
                FillProp(props[c], columns_[c], RowFind(row, columns_[c]), false, props);
            set->aRow[r].ulAdrEntryPad = 0;
            set->aRow[r].cValues = static_cast<ULONG>(columns_.size());
            set->aRow[r].lpProps = props;
        }
        if (!(flags & TBL_NOADVANCE)) pos_ = count >= 0 ? last : first;
        *out = set;
        return S_OK;
    }

    STDMETHODIMP Abort() override {
        Call call("IMAPITable::Abort");
        if (call.Failed()) return call.Result();
        return S_OK;
    }
    STDMETHODIMP ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet* rows, ULONG*) override {
        if (rows) *rows = nullptr;
        return NoSupport("ExpandRow");
    }
    STDMETHODIMP CollapseRow(ULONG, LPBYTE, ULONG, ULONG*) override { return NoSupport("CollapseRow"); }
    STDMETHODIMP WaitForCompletion(ULONG, ULONG, ULONG* status) override {
        Call call("IMAPITable::WaitForCompletion");
        if (call.Failed()) return call.Result();
        if (status) *status = TBLSTAT_COMPLETE;
        return S_OK;
    }
    STDMETHODIMP GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override {
        return NoSupport("GetCollapseState");
    }
    STDMETHODIMP SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK*) override { return NoSupport("SetCollapseState"); }

private:
    static HRESULT NoSupport(const char* method) {
        Call call(Member{"IMAPITable", method});
        if (call.Failed()) return call.Result();
        return MAPI_E_NO_SUPPORT;
    }

    std::vector<TableRow> rows_;
    std::vector<ULONG> columns_;
    LONG pos_ = 0;
};

} // namespace

IMAPITable* NewTable(std::vector<TableRow> rows, std::vector<ULONG> columns) {
    return new Table(std::move(rows), std::move(columns));
}

IMAPITable* NewTable(std::vector<Bag> rows, std::vector<ULONG> columns) {
    std::vector<TableRow> own;
    own.reserve(rows.size());
    for (Bag& row : rows) own.push_back(TableRow{nullptr, std::move(row)});
    return NewTable(std::move(own), std::move(columns));
}

} // namespace standin::detail
