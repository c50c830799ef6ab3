#pragma once
// The command bar installer of Outlook versions before 14 (toolbar button and Tools menu item).
#include "addin/CommandBarsEventHandler.h"
#include "addin/Dispatch.h"
#include "base/RefCounted.h"

namespace Toolbars {

inline constexpr const char* kToolbarButtonTag = "{4EDAAE8E-8DCC-4928-ACF6-6FA3BBA83043}";
inline constexpr const char* kMenuItemTag = "{F606209B-BBBF-4bf1-BD61-BFBF465CC481}";

class COutlookCommandBars : public CRefCountedT<FreeThreadedModel> {
public:
    ~COutlookCommandBars() override;

    // Adds the buttons that are still missing to the explorer's command bars; each is added at most once
    // per process. Throws ZxExceptionText when a step fails (that button is tried again next time).
    void InstallButtons(const Outlook::CDispatchDriver& explorer);
    // Drops the click handlers; the buttons themselves stay until Outlook ends.
    void RemoveHandlers();

private:
    void AddToolbarButton(const Outlook::CDispatchDriver& explorer);
    void AddMenuItem(const Outlook::CDispatchDriver& explorer);
    // A temporary button with the tag at the end of bar, unless one with the tag is there already.
    void AddButton(const Outlook::CDispatchDriver& bar, const char* tag, long style, const char* caption);

    bool m_toolbarButtonAdded = false;
    bool m_menuItemAdded = false;
    CCommandBarsEventContainerT<CCommandBarsEventHandler> m_handlers;
};

} // namespace Toolbars
