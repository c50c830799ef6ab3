#pragma once
// Watches one Outlook explorer: its activation and selection changes set the controller up; its close
// moves the watch to another open explorer, and only the last one's close takes the controller down.
#include "addin/Dispatch.h"
#include "addin/OutlookEventSink.h"
#include "addin/OutlookIds.h"

namespace Outlook {

class COutlookEventSinkExplorerImpl : public COutlookEventSinkBase {
public:
    explicit COutlookEventSinkExplorerImpl(IUnknown* = nullptr) {}

protected:
    const IID& SourceIid() const override { return IID_ExplorerEvents; }
    void OnEvent(DISPID id, DISPPARAMS& params) override;

private:
    void InitializeTallowmereExtension();
    void OnClose();
    Microsoft::WRL::ComPtr<IDispatch> OtherOpenExplorer() const;
};

} // namespace Outlook
