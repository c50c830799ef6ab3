#include "addin/OutlookEventSinkExplorersImpl.h"

#include "addin/MerrowlinkExtension.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"

namespace Outlook {

void COutlookEventSinkExplorersImpl::OnEvent(DISPID id, DISPPARAMS& params) {
    if (id == DISPID_NewExplorer) InitializeTallowmereExtension(DispatchArgument(params));
}

void COutlookEventSinkExplorersImpl::InitializeTallowmereExtension(IDispatch* newExplorer) {
    (void)Error::GuardEntryPoint(Error::kControllerSetup, [&] {
        if (!newExplorer)
            ZX_THROW_TEXT_AT("No active explorer object found.", "OutlookEventSinkExplorersImpl",
                             "Outlook::COutlookEventSinkExplorersImpl::InitializeTallowmereExtension", 25);
        GetGlobalObjects().m_extension->Initialize(CDispatchDriver(newExplorer, IID__Explorer));
    });
}

} // namespace Outlook
