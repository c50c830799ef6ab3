#pragma once
// The folder picker: a dialog from the shared resource libraries in which the user browses the profile's
// stores and folders and chooses one folder.
#include <windows.h>

#include <string>

#include "mapi/MAPIProps.h"
#include "mapi/Session.h"
#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/MAPIFolderDesc.h"
#include "ui/MAPIFolderTreeCtrl.h"

namespace FolderPickers {

class ZxMAPIFolderPicker : public ZxLoadedDialog {
public:
    static constexpr UINT kTemplateId = IDD_FOLDER_PICKER;
    static constexpr int kTreeId = IDC_FOLDER_TREE;
    static constexpr unsigned kStoreChosenText = IDS_PICKER_STORE_CHOSEN;
    static constexpr unsigned kPublicRootChosenText = IDS_PICKER_PUBLIC_ROOT_CHOSEN;

    // Throws when neither shared resource library loads.
    ZxMAPIFolderPicker(const ZxIMAPISession& session, HWND parent);

    // Replaces the template's title.
    void SetTitle(const std::string& title) { m_title = title; }

    // After OK: the chosen folder's description, and the folder opened (empty when it did not open).
    CMAPIFolderDesc GetSelectedDesc() const { return m_answer; }
    ZxIMAPIFolder GetSelectedFolder() const { return m_folder; }

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    ZxMAPIFolderTreeCtrl m_tree;
    std::string m_title;
    CMAPIFolderDesc m_answer;
    ZxIMAPIFolder m_folder;
};

} // namespace FolderPickers
