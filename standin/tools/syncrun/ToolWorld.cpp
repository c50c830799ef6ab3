#include "ToolWorld.h"

#include "Commands.h"

#include <mapitags.h>

#include "config/FolderDesc.h"
#include "mapi/MAPIModule.h"

namespace syncrun {

std::string ToolWorld::JournalPath() const { return m_file + ".journal"; }

bool ToolWorld::Load(const std::string& profileFile, std::string& error) {
    m_file = profileFile;
    std::string why;
    // The profile as last folded, then every save a killed command had made since: a save that
    // returned success survives, as in a real store.
    if (!standin::LoadProfile(profileFile, &why) || !standin::ReplayJournal(JournalPath(), &why) ||
        !standin::SetJournal(JournalPath(), &why)) {
        error = "cannot load profile '" + profileFile + "': " + why;
        return false;
    }
    ZxMAPIModule::Instance().SetMAPIInUse(true);
    return true;
}

bool LoadProfileOrComplain(ToolWorld& world, const std::string& profileFile) {
    std::string error;
    if (world.Load(profileFile, error)) return true;
    Complain(error);
    return false;
}

bool ToolWorld::Save(std::string& error) const {
    std::string why;
    // The journal is folded in: the profile file is replaced in one step, and only then does the
    // journal go (replaying it again over the new file would change nothing).
    if (standin::SaveProfile(m_file, &why) && standin::SetJournal(std::string(), &why)) {
        DeleteFileA(JournalPath().c_str());
        return true;
    }
    error = "cannot save profile '" + m_file + "': " + why;
    return false;
}

ZxIMAPISession ToolWorld::Session() const {
    ZxIMAPISession session;
    session.Attach(standin::NewSession());
    return session;
}

std::string ToolWorld::ProfileName() const { return Session().GetProfileName(); }

standin::Bytes ToolWorld::FindFolder(const std::string& path, std::string& error) const {
    standin::Bytes id = standin::FolderByPath(path);
    if (id.empty()) error = "no folder '" + path + "' in the profile";
    return id;
}

bool ToolWorld::OpenFolder(const std::string& path, ToolFolder& out, std::string& error) const {
    out = ToolFolder();
    out.standinId = FindFolder(path, error);
    if (out.standinId.empty()) return false;
    standin::FolderView view;
    if (!standin::GetFolder(out.standinId, &view)) {
        error = "no folder '" + path + "' in the profile";
        return false;
    }
    const ZxSBinary storeId(static_cast<ULONG>(view.store.size()), reinterpret_cast<const BYTE*>(view.store.data()));
    const ZxSBinary folderId(static_cast<ULONG>(view.entryId.size()),
                             reinterpret_cast<const BYTE*>(view.entryId.data()));
    // The same opening as the pair dialog's and the pair model's: store with 0xB1, folder with best access.
    HRESULT hr = Session().OpenMsgStore(storeId, out.store, CFolderDesc::kOpenStoreFlags);
    if (FAILED(hr) || !out.store) {
        error = "cannot open the store of '" + path + "'";
        return false;
    }
    hr = out.store.OpenEntry(folderId, out.folder, MAPI_BEST_ACCESS);
    if (FAILED(hr) || !out.folder) {
        error = "cannot open folder '" + path + "'";
        return false;
    }
    out.storeEntryId = storeId;
    if (FAILED(out.folder.GetPropBinary(PR_ENTRYID, out.folderEntryId)) || !out.folderEntryId.HasData())
        out.folderEntryId = folderId;
    out.folder.GetPropString(PR_CONTAINER_CLASS_A, out.containerClass);
    out.path = out.folder.GetFolderPath(out.store.Get(), '\\');
    return true;
}

} // namespace syncrun
