#pragma once
// The options page of the add-in's own "Program settings" sheet: the first page of a modal property sheet
// without an Apply button, before the page "Automatic synchronization". OK saves the pairs (and the
// automatic options when that page was opened); Cancel drops the changes.
#include <windows.h>
#include <prsht.h>

#include "mapi/Session.h"
#include "resources/ResourceIds.h"
#include "ui/OptionsPage.h"
#include "ui/PropPageAutoSync.h"

class CPropPageOptions : public COptionsPage {
public:
    static constexpr UINT kTemplateId = IDD_OPTIONS_SHEET_PAGE;

    // Throws when neither shared resource library loads.
    CPropPageOptions();

    // Stores the session and loads the pairs; called before the sheet is shown.
    void SetSession(const ZxIMAPISession& session);

    // The sheet "Program settings" holding this page, shown modally over `parent` (none: no owner);
    // answers what PropertySheetA answers.
    INT_PTR DoModalSheet(HWND parent = nullptr);
    // True once the user confirmed the sheet with OK (its pairs were then saved).
    bool IsConfirmed() const { return m_confirmed; }

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:

    bool m_confirmed = false;
    CPropPageAutoSync m_autoSync;
};
