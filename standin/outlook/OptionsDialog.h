#pragma once
// Outlook's Options dialog in the stand-in host: one tab per page the add-ins added in OptionsPagesAdd,
// each page an ActiveX control created from its ProgID and hosted by an OLE container of the dialog's own
// (client site, in-place site and frame), whose container object answers Outlook's PropertyPageSite.
// OK and Apply ask every page for Dirty and call Apply on the dirty ones, as Outlook does; Cancel applies
// nothing. Buttons: OK (1), Cancel (2), Apply (0x3021); the tab control is 0x3020. The dialog is owned by
// Outlook's active window, which takes no input while it is up.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace outlook {

inline constexpr char kOptionsCaption[] = "Options";
inline constexpr int kOptionsApplyId = 0x3021;
inline constexpr int kOptionsTabId = 0x3020;

struct OptionsDialogCallbacks {
    std::function<void(const std::string&)> print; // one line of the host's report
    // Asked while the dialog is up: true when nobody is left to close it (it is then cancelled).
    std::function<bool()> nobodyLeft;
};

// Shows the dialog modally with the pages (ProgID, tab title) and returns when it is closed.
void RunOptionsDialog(const std::vector<std::pair<std::string, std::string>>& pages, const OptionsDialogCallbacks& callbacks);

} // namespace outlook
