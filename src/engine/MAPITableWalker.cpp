#include "engine/MAPITableWalker.h"

#include "base/Errors.h"

#include <vector>

CMAPITableWalker::CMAPITableWalker(const CMAPITagsArray& columns, IMAPITable* table,
                                   const ZxIMAPIFolder& propertyObject, int batchSize)
    : m_table(table),
      m_columns(columns),
      m_propertyObject(propertyObject),
      m_batchSize(batchSize <= 1 ? kDefaultBatchSize : batchSize) {
    // A name the store cannot resolve keeps its placeholder tag; SetColumns then refuses it with its own error,
    // which Proceed reports.
    if (m_propertyObject) (void)m_columns.ResolveNamedTags(m_propertyObject.Get(), true);
}

CMAPITableWalker::~CMAPITableWalker() = default;

void CMAPITableWalker::OnTableEnd() {}

void CMAPITableWalker::Proceed() {
    if (m_columns.Size() == 0) return;
    if (!m_table) ZX_THROW_MAPI_HERE(E_POINTER, "Table walker failed to set columns on the table.");

    m_table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr);

    std::vector<BYTE> tags = m_columns.BuildTagArray();
    HRESULT hr = m_table->SetColumns(reinterpret_cast<SPropTagArray*>(tags.data()), 0);
    if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, "Table walker failed to set columns on the table.");

    // The row set frees each batch on refill and on every way out, exceptions included.
    ZxSRowSet rows;
    hr = m_table->QueryRows(m_batchSize, 0, rows.Receive());
    if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, "Table walker failed to query rows the table.");
    while (rows.RowCount() > 0) {
        for (ULONG i = 0; i < rows.RowCount(); ++i) {
            if (!OnRowFetched(rows.Row(i))) {
                OnTableEnd();
                return;
            }
        }
        OnBatchEnd();
        hr = m_table->QueryRows(m_batchSize, 0, rows.Receive());
        if (FAILED(hr)) ZX_THROW_MAPI_HERE(hr, "Table walker failed to query rows the table.");
    }
    OnTableEnd();
}
