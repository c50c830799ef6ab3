#pragma once
// The stand-in profile a syncrun command works on: loaded from its text file, reached through a MAPI
// session exactly as the add-in reaches Outlook's, and written back when the command changed it.
#include <windows.h>
#include <mapix.h>

#include <string>

#include "Standin.h"
#include "mapi/MAPIProps.h"
#include "mapi/Session.h"

namespace syncrun {

// One folder named the way users see it ("Store name\Folder\Sub"), opened through the session.
struct ToolFolder {
    std::string path; // as GetFolderPath(store, '\\') gives it
    ZxSBinary folderEntryId; // PR_ENTRYID of the opened folder
    ZxSBinary storeEntryId; // the id OpenMsgStore accepts
    ZxIMsgStore store;
    ZxIMAPIFolder folder;
    std::string containerClass; // PR_CONTAINER_CLASS_A, empty when the folder has none
    standin::Bytes standinId; // for the stand-in's test API (dump, item edits)
};

class ToolWorld {
public:
    // Loads the profile file into the stand-in, replays the journal of changes saved since it was
    // written, keeps journaling, and switches MAPI memory to MAPI's allocator, as the add-in does once
    // Outlook connects it. False with `error` set when the file cannot be read.
    bool Load(const std::string& profileFile, std::string& error);
    // Writes the whole profile back (replacing the file atomically) and folds the journal in; changes
    // after it are no longer journaled (each command saves once, at its end).
    bool Save(std::string& error) const;

    // A session over the loaded profile (Outlook's NameSpace.MAPIOBJECT in the add-in).
    ZxIMAPISession Session() const;
    // The profile's name as the session reports it: the name settings and caches are kept under.
    std::string ProfileName() const;

    // Finds and opens the folder with that path; false with `error` set when there is none or it
    // cannot be opened.
    bool OpenFolder(const std::string& path, ToolFolder& out, std::string& error) const;
    // The stand-in id of a folder path; empty, with `error` set, when there is none.
    standin::Bytes FindFolder(const std::string& path, std::string& error) const;

private:
    // Beside the profile file: every change saved since the profile was last written.
    std::string JournalPath() const;

    std::string m_file;
};

// Loads the profile file; when it cannot, says why on standard error and returns false.
bool LoadProfileOrComplain(ToolWorld& world, const std::string& profileFile);

} // namespace syncrun
