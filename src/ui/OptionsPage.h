#pragma once
// What both options pages do on their window: the header band, the links, the version, the list of
// pairs with its images and columns, and the Add, Remove and Log file buttons.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "mapi/Session.h"
#include "resources/ResourceIds.h"
#include "ui/Dialog.h"
#include "ui/HeaderDrawer.h"
#include "ui/HyperLink.h"
#include "ui/ImageList.h"
#include "ui/PairList.h"

class COptionsPage : public ZxDialog {
public:
    enum Control : int {
        IdList = IDC_OPTIONS_LIST,
        IdAdd = IDC_OPTIONS_ADD,
        IdRemove = IDC_OPTIONS_REMOVE,
        IdVersion = IDC_OPTIONS_VERSION,
        IdLogFile = IDC_OPTIONS_LOG_FILE,
        IdHomeLink = IDC_OPTIONS_HOME_LINK,
        IdHeaderPlace = IDC_OPTIONS_HEADER,
        IdVersionLabel = IDC_OPTIONS_VERSION_LABEL,
        IdSharedFoldersLink = IDC_OPTIONS_SHARED_FOLDERS_LINK,
        IdFreeToolsLink = IDC_OPTIONS_FREE_TOOLS_LINK,
    };
    static constexpr unsigned kHeaderBitmap = IDB_OPTIONS_HEADER;

    const CPairList& GetPairs() const { return m_pairs; }

protected:
    // Throws when neither shared resource library loads (the list's images come from them).
    COptionsPage(UINT templateId, HWND parent);

    // Loads the stored pairs into the working list and takes the add-in's version.
    void LoadPairs(const ZxIMAPISession& session);
    // Header, links, list columns and rows, first row selected, Remove enabled as the selection says.
    void InitPage(bool allLinks);

    // True when the user confirmed a new pair (it is then in the list and selected).
    bool AddPair();
    // True when a row was removed.
    bool RemoveSelectedPair();
    void ShowLogFile();
    void UpdateRemoveButton();

    // Add, Remove, Log file, the list's selection and the header's painting.
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // After the user changed the pairs.
    virtual void OnPairsChanged() {}
    // Add and Remove run inside this; the default lets failures reach the dialog framework.
    virtual void RunHandler(void (COptionsPage::*handler)()) { (this->*handler)(); }

    ZxIMAPISession m_session;
    CPairList m_pairs;
    std::string m_versionText;

private:
    void OnAdd();
    void OnRemove();
    void AppendRow(const CRefCountPtr<CAssocDesc>& pair);
    void SeparateVersionFromItsLabel();
    void FitColumns();
    void SelectRow(int row);
    HWND List() const { return GetItem(IdList); }

    ZxImageList m_images;
    ZxDialogHeaderDrawer m_header;
    std::vector<std::unique_ptr<ZxHyperLink>> m_links;
};
