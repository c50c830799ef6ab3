#pragma once
// Adds the add-in's page to Outlook's Options dialog.
#include "addin/OutlookEventSink.h"
#include "addin/OutlookIds.h"

namespace Outlook {

class COutlookEventSinkApplicationImpl : public COutlookEventSinkBase {
public:
    explicit COutlookEventSinkApplicationImpl(IUnknown* = nullptr) {}

protected:
    const IID& SourceIid() const override { return IID_ApplicationEvents; }
    void OnEvent(DISPID id, DISPPARAMS& params) override;

private:
    void OnOptionsPagesAdd(IDispatch* pages);
};

} // namespace Outlook
