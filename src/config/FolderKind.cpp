#include "config/FolderKind.h"

#include <cstring>

#include "resources/StringIds.h"

namespace {

struct KindRow {
    const char* prefix;
    int bit;
    unsigned nameId;
};

// Order matters: the first prefix a class starts with wins.
const KindRow kKinds[] = {
    {"ipf.note", ZxFolderKindMail, IDS_TYPE_MAIL},
    {"ipf.task", ZxFolderKindTask, IDS_TYPE_TASK},
    {"ipf.journal", ZxFolderKindJournal, IDS_TYPE_JOURNAL},
    {"ipf.contact", ZxFolderKindContact, IDS_TYPE_CONTACT},
    {"ipf.appointment", ZxFolderKindCalendar, IDS_TYPE_CALENDAR},
    {"ipf.stickynote", ZxFolderKindStickyNote, IDS_TYPE_STICKYNOTE},
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithLower(const std::string& text, const char* lowerPrefix) {
    const size_t n = std::strlen(lowerPrefix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
    return true;
}

const KindRow* RowOfBit(int kindBit) {
    for (const KindRow& row : kKinds)
        if (row.bit == kindBit) return &row;
    return nullptr;
}

} // namespace

int GetFolderKindBit(const std::string& containerClass) {
    for (const KindRow& row : kKinds)
        if (StartsWithLower(containerClass, row.prefix)) return row.bit;
    return ZxFolderKindMail;
}

const char* GetFolderKindPrefix(int kindBit) {
    const KindRow* row = RowOfBit(kindBit);
    return row ? row->prefix : "";
}

unsigned GetFolderKindNameId(int kindBit) {
    const KindRow* row = RowOfBit(kindBit);
    return row ? row->nameId : 0;
}
