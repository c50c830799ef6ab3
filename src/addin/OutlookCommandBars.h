#pragma once
// The command bar installer of Outlook versions before 14 (toolbar button and Tools menu item).
#include "addin/Dispatch.h"
#include "base/RefCounted.h"

namespace Toolbars {

class COutlookCommandBars : public CRefCountedT<FreeThreadedModel> {
public:
    ~COutlookCommandBars() override = default;

    // Adds the buttons that are still missing to the explorer's command bars.
    void InstallButtons(const Outlook::CDispatchDriver& explorer);
    // Drops the click handlers; the buttons themselves stay until Outlook ends.
    void RemoveHandlers();

private:
    bool m_toolbarButtonAdded = false;
    bool m_menuItemAdded = false;
};

} // namespace Toolbars
