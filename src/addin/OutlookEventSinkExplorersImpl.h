#pragma once
// Waits for a new explorer when Outlook had none at connection.
#include "addin/OutlookEventSink.h"
#include "addin/OutlookIds.h"

namespace Outlook {

class COutlookEventSinkExplorersImpl : public COutlookEventSinkBase {
public:
    explicit COutlookEventSinkExplorersImpl(IUnknown* = nullptr) {}

protected:
    const IID& SourceIid() const override { return IID_ExplorersEvents; }
    void OnEvent(DISPID id, DISPPARAMS& params) override;

private:
    void InitializeTallowmereExtension(IDispatch* newExplorer);
};

} // namespace Outlook
