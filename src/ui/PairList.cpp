#include "ui/PairList.h"

#include <algorithm>

#include "base/StringTable.h"
#include "config/FolderKind.h"
#include "config/Settings.h"
#include "engine/SettingsLoad.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "base/AppMessageBox.h"

void CPairList::Load(const ZxIMAPISession& session) {
    m_profileName = session.GetProfileName();
    CSettings settings(m_profileName);
    ZxShowNotices(LoadSettings(settings));
    settings.OpenFolders(session);
    m_pairs = settings.GetAssocs();
}

bool CPairList::Save() const {
    CSettings settings(m_profileName);
    ZxShowNotices(LoadSettings(settings));
    settings.SetAssocs(m_pairs);
    return settings.Save();
}

bool CPairList::SaveOrTell() const {
    if (Save()) return true;
    const std::string path = CSettings(m_profileName).GetFilePath();
    ZxAppMessageBox(ZxFormat(ZxLoadString(IDS_SETTINGS_NOT_SAVED).c_str(), path.c_str()));
    return false;
}

void CPairList::Remove(const CAssocDesc* pair) {
    m_pairs.erase(std::remove_if(m_pairs.begin(), m_pairs.end(),
                                 [pair](const CRefCountPtr<CAssocDesc>& p) { return p.Get() == pair; }),
                  m_pairs.end());
}

bool CPairList::HasRow(const CAssocDesc& pair) {
    return !pair.GetFolder1().GetFolderName().empty() && !pair.GetFolder2().GetFolderName().empty();
}

int CPairList::GetRowImageId(const CAssocDesc& pair) {
    const int flags = pair.GetFolder1().GetFolderFlags();
    if (flags & ZxFolderKindTask) return IDB_FOLDER_TASK;
    if (flags & ZxFolderKindJournal) return IDB_FOLDER_JOURNAL;
    if (flags & ZxFolderKindContact) return IDB_FOLDER_CONTACTS;
    if (flags & ZxFolderKindCalendar) return IDB_FOLDER_CALENDAR;
    if (flags & ZxFolderKindStickyNote) return IDB_FOLDER_NOTE;
    return IDB_FOLDER_MAIL;
}

int CPairList::GetRowAfterRemoval(int removed, int rowsLeft) {
    if (rowsLeft <= 0) return -1;
    return std::min(std::max(removed - 1, 0), rowsLeft - 1);
}
