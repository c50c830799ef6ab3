#pragma once
// Walks a MAPI table in batches and hands every row to OnRowFetched.
#include <windows.h>
#include <mapix.h>
#include <wrl/client.h>

#include "base/RefCounted.h"
#include "mapi/MAPIProps.h"
#include "mapi/PropValues.h"

class CMAPITableWalker : public CRefCountedT<SingleThreadedModel> {
public:
    static constexpr int kDefaultBatchSize = 100;

    // A batch size of 1 or less becomes kDefaultBatchSize. Named tags among the columns are resolved
    // (and created) against the property object when it holds one.
    CMAPITableWalker(const CMAPITagsArray& columns, IMAPITable* table, const ZxIMAPIFolder& propertyObject,
                     int batchSize);
    ~CMAPITableWalker() override;
    CMAPITableWalker(const CMAPITableWalker&) = delete;
    CMAPITableWalker& operator=(const CMAPITableWalker&) = delete;

    // Sets the columns and reads the table from the start, batch by batch. SetColumns or QueryRows
    // failing throws Error::ZxExceptionMAPI (a walker without table throws as a failed SetColumns). OnTableEnd follows a normal end (also one that
    // OnRowFetched asked for), never an exception. Each batch is freed before the next is read.
    virtual void Proceed();
    // One row, values in column order; false stops the walk.
    virtual bool OnRowFetched(const SRow& row) = 0;
    virtual void OnTableEnd();
    // After each batch but the last, before the next is read; may throw to end the walk.
    virtual void OnBatchEnd() {}

    int GetBatchSize() const { return m_batchSize; }
    const CMAPITagsArray& GetColumns() const { return m_columns; }

protected:
    Microsoft::WRL::ComPtr<IMAPITable> m_table;
    CMAPITagsArray m_columns;
    ZxIMAPIFolder m_propertyObject;
    int m_batchSize;
};
