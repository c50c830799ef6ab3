#pragma once
// The pair dialog "New synchronized group": the user picks folder 1 and folder 2 with the folder picker;
// the dialog refuses folders of different kinds and the same folder twice and says when the first
// synchronization will merge the two folders.
#include <windows.h>

#include <string>

#include "base/RefCounted.h"
#include "base/Resource.h"
#include "config/AssocDesc.h"
#include "mapi/Session.h"
#include "resources/ResourceIds.h"
#include "ui/AssocEditor.h"
#include "ui/Dialog.h"
#include "ui/ResourceModule.h"

class CDlgEditAssoc : public ZxDialog {
public:
    static constexpr UINT kTemplateId = IDD_PAIR_DIALOG;
    enum Control : int {
        IdFolder1 = IDC_PAIR_FOLDER1,
        IdFolder2 = IDC_PAIR_FOLDER2,
        IdBrowse1 = IDC_PAIR_BROWSE1,
        IdBrowse2 = IDC_PAIR_BROWSE2,
        IdNoteIcon = IDC_PAIR_NOTE_ICON,
        IdNote = IDC_PAIR_NOTE,
    };
    static constexpr unsigned kNoteIcon = IDI_PAIR_INFORMATION;

    // Throws when neither shared resource library loads. The pair's folders are set as each side is
    // chosen; the caller drops the pair unless the dialog ends with OK.
    CDlgEditAssoc(const ZxIMAPISession& session, const std::string& profileName, CRefCountPtr<CAssocDesc> pair,
                  HWND parent);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void Browse(int side);
    void TakeFieldTexts();
    void UpdateNote();

    ZxIMAPISession m_session;
    CRefCountPtr<ZxResourceModule> m_resources;
    zx::unique_hicon m_icon;
    CAssocEditor m_editor;
};
