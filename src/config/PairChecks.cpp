#include "config/PairChecks.h"

#include <cstring>

#include "base/StringTable.h"
#include "config/FolderKind.h"
#include "resources/StringIds.h"

std::string GetComparableFolderClass(const std::string& containerClass) {
    std::string lower = containerClass;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower.empty() || lower == "ipf.imap" ? std::string("ipf.note") : lower;
}

std::string GetFolderKindText(const std::string& comparableClass) {
    for (int bit = ZxFolderKindMail; bit <= ZxFolderKindStickyNote; bit <<= 1)
        if (comparableClass == GetFolderKindPrefix(bit)) return ZxLoadString(GetFolderKindNameId(bit));
    return ZxFormat("%s (%s)", ZxLoadString(IDS_UNKNOWN).c_str(), comparableClass.c_str());
}

std::string CheckFolderKinds(const std::string& containerClass1, const std::string& containerClass2) {
    const std::string class1 = GetComparableFolderClass(containerClass1);
    const std::string class2 = GetComparableFolderClass(containerClass2);
    if (class1 == class2) return std::string();
    return ZxFormat(ZxLoadString(IDS_FOLDER_TYPES_DIFFER).c_str(), GetFolderKindText(class1).c_str(),
                    GetFolderKindText(class2).c_str());
}

bool IsSameFolderText(const std::string& text1, const std::string& text2) {
    return _stricmp(text1.c_str(), text2.c_str()) == 0;
}
