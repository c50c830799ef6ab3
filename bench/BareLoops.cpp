#include "BareLoops.h"

#include <mapitags.h>
#include <mapiutil.h>
#include <wrl/client.h>

#include <memory>

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

} // namespace

size_t BareScan(IMAPIFolder* folder, std::vector<std::string>* entryIds) {
    ComPtr<IMAPITable> table;
    if (FAILED(folder->GetContentsTable(0, table.GetAddressOf()))) return 0;
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

size_t BareFirstSync(IMAPIFolder* source, IMAPIFolder* target) {
    std::vector<std::string> ids;
    BareScan(source, &ids);
    BareScan(target, nullptr);
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
    return copied;
}

} // namespace bench
