#include "ui/AssocEditor.h"

#include "base/StringTable.h"
#include "config/FolderDesc.h"
#include "config/PairChecks.h"
#include "mapi/MessagePlace.h"
#include "resources/StringIds.h"

namespace {

// The class a folder reports; an unopened folder has none to compare.
std::string ContainerClassOf(const ZxIMAPIFolder& folder) {
    std::string cls;
    folder.GetPropString(PR_CONTAINER_CLASS_A, cls);
    return cls;
}

} // namespace

CAssocEditor::CAssocEditor(const ZxIMAPISession& session, std::string profileName, CRefCountPtr<CAssocDesc> pair)
    : m_session(session),
      m_profileName(std::move(profileName)),
      m_pair(std::move(pair)),
      m_caches(MakeRefCounted<CFolderCacheFactory>(m_profileName)) {
    m_caches->LoadIndex();
}

bool CAssocEditor::Choose(int side, const ZxIMAPIFolder& folder, const CMAPIFolderDesc& desc, std::string& refusal) {
    const int other = 1 - side;
    // Either folder unopened: nothing to compare, the check passes.
    if (folder && m_folder[other]) {
        const std::string chosenClass = ContainerClassOf(folder), otherClass = ContainerClassOf(m_folder[other]);
        refusal = side == 0 ? CheckFolderKinds(chosenClass, otherClass) : CheckFolderKinds(otherClass, chosenClass);
        if (!refusal.empty()) return false;
    }
    if (IsSameFolderText(desc.GetDisplayText(), m_text[other])) {
        refusal = ZxLoadString(IDS_SAME_FOLDER_TWICE);
        return false;
    }

    m_folder[side] = folder;
    m_text[side] = desc.GetDisplayText();
    ZxIMsgStore store;
    (void)m_session.OpenMsgStore(desc.GetStoreEntryId(), store, CFolderDesc::kOpenStoreFlags); // a failure leaves it empty
    // The settings keep the id for later sessions: the opened folder's own PR_ENTRYID is long-term, while
    // the picker's table row may give one that opens only in this session (Exchange's hierarchy tables).
    ZxSBinary folderId = folder ? ZxEntryIdOf(folder) : ZxSBinary();
    if (!folderId.HasData()) folderId = desc.GetEntryId();
    const CFolderDesc chosen(folderId, desc.GetStoreEntryId(), desc.GetDisplayText(), folder, store,
                             static_cast<int32_t>(desc.GetFlags()));
    if (side == 0)
        m_pair->SetFolder1(chosen);
    else
        m_pair->SetFolder2(chosen);
    return true;
}

bool CAssocEditor::IsNoteShown() {
    if (m_text[0].empty() || m_text[1].empty()) return false;
    return !m_caches->HasCache(m_folder[0], m_folder[1]) && !m_caches->HasCache(m_folder[1], m_folder[0]);
}

unsigned CAssocEditor::CheckOk() const {
    if (m_text[0].empty()) return IDS_CHOOSE_FIRST_FOLDER;
    if (m_text[1].empty()) return IDS_CHOOSE_SECOND_FOLDER;
    return 0;
}
