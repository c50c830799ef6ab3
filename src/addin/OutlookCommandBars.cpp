#include "addin/OutlookCommandBars.h"

#include "addin/OutlookIds.h"

namespace Toolbars {

void COutlookCommandBars::InstallButtons(const Outlook::CDispatchDriver& explorer) {
    // The buttons and their click handlers arrive with the ribbon and command bar commands; until then
    // only the explorer's bars are reached, so that a host refusing them is reported as it will be then.
    const Outlook::CDispatchDriver bars = explorer.GetObject("CommandBars", Outlook::IID__CommandBars);
    (void)bars;
}

void COutlookCommandBars::RemoveHandlers() {}

} // namespace Toolbars
