#pragma once
// What the pair dialog decides, without its window: the two sides the user chose, the checks a choice
// must pass, the note about the first synchronization merging the folders, and the checks of OK.
#include <string>

#include "base/RefCounted.h"
#include "config/AssocDesc.h"
#include "engine/FolderCacheFactory.h"
#include "mapi/MAPIProps.h"
#include "mapi/Session.h"
#include "ui/MAPIFolderDesc.h"

class CAssocEditor {
public:
    // Reads the profile's cache index at once: the note depends on it.
    CAssocEditor(const ZxIMAPISession& session, std::string profileName, CRefCountPtr<CAssocDesc> pair);

    // A folder the picker gave for side 0 (folder 1) or 1 (folder 2). When it passes the kind and
    // same-folder checks, it becomes that side, its store is opened and the pair's folder is set; true.
    // Otherwise nothing changes and `refusal` holds the text to show.
    bool Choose(int side, const ZxIMAPIFolder& folder, const CMAPIFolderDesc& desc, std::string& refusal);

    // Shown when both sides are chosen and neither order of them has a stored state.
    bool IsNoteShown();

    // 0 when the dialog may end with OK; otherwise the number of the text that says what is missing.
    unsigned CheckOk() const;

    const std::string& GetText(int side) const { return m_text[side]; }
    void SetText(int side, const std::string& text) { m_text[side] = text; }
    const ZxIMAPIFolder& GetFolder(int side) const { return m_folder[side]; }

private:
    ZxIMAPISession m_session;
    std::string m_profileName;
    CRefCountPtr<CAssocDesc> m_pair;
    ZxIMAPIFolder m_folder[2];
    std::string m_text[2];
    CRefCountPtr<CFolderCacheFactory> m_caches;
};
