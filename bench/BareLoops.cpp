#include "BareLoops.h"

#include <mapitags.h>
#include <mapiutil.h>
#include <wrl/client.h>

#include <memory>

#include "Measure.h"
#include "mapi/MAPITags.h"

namespace bench {
namespace {

using Microsoft::WRL::ComPtr;

struct RowsFree {
    void operator()(SRowSet* rows) const { FreeProws(rows); }
};
struct BufferFree {
    void operator()(void* p) const { MAPIFreeBuffer(p); }
};
using Rows = std::unique_ptr<SRowSet, RowsFree>;
using PropBuffer = std::unique_ptr<SPropValue, BufferFree>;

PropBuffer ReadOne(IMAPIProp* object, ULONG tag) {
    SPropValue* value = nullptr;
    if (FAILED(HrGetOneProp(object, tag, &value))) return PropBuffer();
    return PropBuffer(value);
}

// Sets the five columns and reads the table to its end; collects the long-term entry ids of the rows
// when `entryIds` is given. Returns the rows read.
size_t ReadTable(IMAPITable* table, std::vector<std::string>* entryIds) {
    SizedSPropTagArray(5, columns) = {
        5, {PR_LONGTERM_ENTRYID_FROM_TABLE, PR_ENTRYID, PR_LAST_MODIFICATION_TIME, PR_RECORD_KEY, PR_SUBJECT_A}};
    if (FAILED(table->SetColumns(reinterpret_cast<SPropTagArray*>(&columns), 0))) return 0;
    size_t count = 0;
    for (;;) {
        SRowSet* raw = nullptr;
        if (FAILED(table->QueryRows(200, 0, &raw))) break;
        Rows rows(raw);
        if (!rows || rows->cRows == 0) break;
        count += rows->cRows;
        if (entryIds) {
            for (ULONG r = 0; r < rows->cRows; ++r) {
                const SPropValue& id = rows->aRow[r].lpProps[0];
                if (PROP_TYPE(id.ulPropTag) == PT_BINARY)
                    entryIds->emplace_back(reinterpret_cast<const char*>(id.Value.bin.lpb), id.Value.bin.cb);
            }
        }
    }
    return count;
}

// Both tables, then both scans; the tables stay with the caller.
size_t ScanBoth(IMAPIFolder* folder1, IMAPIFolder* folder2, ComPtr<IMAPITable>& table1, ComPtr<IMAPITable>& table2,
                std::vector<std::string>* entryIds1, BareTimes& times) {
    Stopwatch clock;
    if (FAILED(folder1->GetContentsTable(0, table1.GetAddressOf())) ||
        FAILED(folder2->GetContentsTable(0, table2.GetAddressOf())))
        return 0;
    times.tables = clock.Milliseconds();
    size_t rows = ReadTable(table1.Get(), entryIds1);
    times.scan1 = clock.Milliseconds() - times.tables;
    rows += ReadTable(table2.Get(), nullptr);
    times.scan2 = clock.Milliseconds() - times.tables - times.scan1;
    return rows;
}

} // namespace

size_t BareScan(IMAPIFolder* folder1, IMAPIFolder* folder2, BareTimes* times) {
    BareTimes ignored;
    ComPtr<IMAPITable> table1, table2;
    return ScanBoth(folder1, folder2, table1, table2, nullptr, times ? *times : ignored);
}

size_t BareFirstSync(IMAPIFolder* source, IMAPIFolder* target, BareTimes* times) {
    BareTimes ignored;
    BareTimes& t = times ? *times : ignored;
    std::vector<std::string> ids;
    ComPtr<IMAPITable> table1, table2;
    ScanBoth(source, target, table1, table2, &ids, t);
    Stopwatch clock;
    size_t copied = 0;
    for (const std::string& id : ids) {
        ULONG type = 0;
        ComPtr<IUnknown> opened;
        if (FAILED(source->OpenEntry(static_cast<ULONG>(id.size()),
                                     reinterpret_cast<ENTRYID*>(const_cast<char*>(id.data())), nullptr,
                                     MAPI_BEST_ACCESS, &type, opened.GetAddressOf())))
            continue;
        ComPtr<IMessage> from;
        if (!opened || FAILED(opened->QueryInterface(IID_IMessage, reinterpret_cast<void**>(from.GetAddressOf()))))
            continue;
        ComPtr<IMessage> to;
        if (FAILED(target->CreateMessage(nullptr, 0, to.GetAddressOf()))) continue;
        PropBuffer subject = ReadOne(from.Get(), PR_SUBJECT_A);
        if (FAILED(from->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, to.Get(), 0, nullptr))) continue;
        if (FAILED(to->SaveChanges(KEEP_OPEN_READWRITE))) continue;
        PropBuffer recordKey = ReadOne(to.Get(), PR_RECORD_KEY);
        PropBuffer targetTime = ReadOne(to.Get(), PR_LAST_MODIFICATION_TIME);
        PropBuffer entryId = ReadOne(to.Get(), PR_ENTRYID);
        if (recordKey && targetTime && entryId) ++copied;
    }
    t.items = clock.Milliseconds();
    return copied;
}

} // namespace bench
