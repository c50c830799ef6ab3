#pragma once
// Folder kinds told apart by a folder's container class (PR_CONTAINER_CLASS). The folder picker stores
// the kind bit in a pair's folder flags; the pair dialog and the options page show its name and icon.
#include <string>

enum ZxFolderKind : int {
    ZxFolderKindMail = 1,
    ZxFolderKindTask = 2,
    ZxFolderKindJournal = 4,
    ZxFolderKindContact = 8,
    ZxFolderKindCalendar = 16,
    ZxFolderKindStickyNote = 32,
};

// The kind bit of a container class: the class, lowered to lower case, is tested for each known prefix
// in a fixed order ("ipf.note", "ipf.task", "ipf.journal", "ipf.contact", "ipf.appointment",
// "ipf.stickynote"); the first prefix it starts with decides. Anything else, and the empty class, is mail.
int GetFolderKindBit(const std::string& containerClass);

// The lower-case prefix that gives a kind bit; empty for a value that is no single kind bit.
const char* GetFolderKindPrefix(int kindBit);

// The string-table number of a kind's name ("Mail" 5018 ... "Calendar" 5013); 0 for a value that is no
// single kind bit.
unsigned GetFolderKindNameId(int kindBit);
