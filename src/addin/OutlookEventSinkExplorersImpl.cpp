#include "addin/OutlookEventSinkExplorersImpl.h"

#include "addin/MerrowlinkExtension.h"
#include "base/Errors.h"

namespace Outlook {

void COutlookEventSinkExplorersImpl::OnEvent(DISPID id, DISPPARAMS& params) {
    if (id == DISPID_NewExplorer) InitializeTallowmereExtension(DispatchArgument(params));
}

void COutlookEventSinkExplorersImpl::InitializeTallowmereExtension(IDispatch* newExplorer) {
    // The place this failure has always been reported with.
    static constexpr Error::ZxFixedPlace kNoExplorer{
        "OutlookEventSinkExplorersImpl", "Outlook::COutlookEventSinkExplorersImpl::InitializeTallowmereExtension", 25};
    SetUpController([newExplorer] { return CDispatchDriver(newExplorer, IID__Explorer); }, kNoExplorer);
}

} // namespace Outlook
