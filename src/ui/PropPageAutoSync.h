#pragma once
// The page "Automatic synchronization": the profile's automatic options, read when the
// page is made and written on OK or Apply. A second page of the "Program settings" sheet, and (as a
// control) a page of Outlook's Options dialog.
#include <windows.h>
#include <prsht.h>

#include <string>

#include "config/AutoSyncOptions.h"
#include "resources/ResourceIds.h"
#include "ui/Dialog.h"

class CPropPageAutoSync : public ZxDialog {
public:
    static constexpr UINT kTemplateId = IDD_AUTOSYNC_PAGE;
    enum Control : int {
        IdInterval = IDC_AUTOSYNC_INTERVAL,
        IdMinutes = IDC_AUTOSYNC_MINUTES,
        IdAtStart = IDC_AUTOSYNC_AT_START,
        IdAfterChange = IDC_AUTOSYNC_AFTER_CHANGE
    };

    CPropPageAutoSync();

    // Reads the profile's options (a damaged file is reported and replaced by the defaults).
    void LoadOptions(const std::string& profileName);
    // The page for a property sheet; the object must outlive the sheet.
    PROPSHEETPAGEA SheetPage();
    // What the page shows, read back from its controls; false (and the user told why) when the minutes
    // are not a number from 1 to 1440.
    bool ReadControls(CAutoSyncOptions& options) const;
    // Writes what the page shows; false when the page holds no valid options or the file cannot be
    // written (the user is told why either way).
    bool SaveOptions();
    const CAutoSyncOptions& GetOptions() const { return m_options; }

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // After the user changed a control of the page.
    virtual void OnOptionsChanged() {}

private:
    void UpdateMinutes();
    void FitToWidth();

    std::string m_profileName;
    CAutoSyncOptions m_options;
    bool m_shown = false; // the controls show the options: later changes are the user's
};
