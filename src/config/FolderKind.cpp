#include "config/FolderKind.h"

#include <cstring>

namespace {

struct KindRow {
    const char* prefix;
    int bit;
    unsigned nameId;
};

// Order matters: the first prefix a class starts with wins.
const KindRow kKinds[] = {
    {"ipf.note", ZxFolderKindMail, 5018},
    {"ipf.task", ZxFolderKindTask, 5017},
    {"ipf.journal", ZxFolderKindJournal, 5015},
    {"ipf.contact", ZxFolderKindContact, 5014},
    {"ipf.appointment", ZxFolderKindCalendar, 5013},
    {"ipf.stickynote", ZxFolderKindStickyNote, 5016},
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
