#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "base/StringTable.h"
#include "config/FolderKind.h"

namespace {

struct KindCase {
    const char* containerClass;
    int bit;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << '"' << c.containerClass << "\" -> " << c.bit; }

class FolderKindBit : public ::testing::TestWithParam<KindCase> {};

TEST_P(FolderKindBit, FollowsTheFirstMatchingPrefixIgnoringCase) {
    EXPECT_EQ(GetParam().bit, GetFolderKindBit(GetParam().containerClass)) << GetParam().containerClass;
}

INSTANTIATE_TEST_SUITE_P(Classes, FolderKindBit,
                         ::testing::Values(KindCase{"IPF.Note", 1}, KindCase{"ipf.note.custom", 1},
                                           KindCase{"IPF.Task", 2}, KindCase{"IPF.Journal", 4},
                                           KindCase{"IPF.Contact", 8}, KindCase{"IPF.Appointment", 16},
                                           KindCase{"ipf.appointment.xyz", 16}, KindCase{"IpF.aPpOiNtMeNt", 16},
                                           KindCase{"IPF.APPOINTMENT.Birthday", 16}, KindCase{"IPF.StickyNote", 32},
                                           KindCase{"ipf.contactsx", 8}, KindCase{"IPF.Tasks", 2},
                                           // No known prefix, or too short to hold one: mail.
                                           KindCase{"ipf.imap", 1}, KindCase{"", 1}, KindCase{"IPF", 1},
                                           KindCase{"IPF.Tas", 1}, KindCase{"xIPF.Task", 1}, KindCase{" IPF.Task", 1},
                                           KindCase{"IPF_Task", 1}),
                         [](const ::testing::TestParamInfo<KindCase>& info) {
                             std::string name = "Case" + std::to_string(info.index) + "_";
                             for (const char* c = info.param.containerClass; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(FolderKindName, EachKindHasItsStringAndPrefix) {
    struct Row {
        int bit;
        const char* name;
        const char* prefix;
    };
    const Row rows[] = {{1, "Mail", "ipf.note"},
                        {2, "Task", "ipf.task"},
                        {4, "Journal", "ipf.journal"},
                        {8, "Contact", "ipf.contact"},
                        {16, "Calendar", "ipf.appointment"},
                        {32, "StickyNote", "ipf.stickynote"}};
    for (const Row& row : rows) {
        EXPECT_EQ(row.name, ZxLoadString(GetFolderKindNameId(row.bit))) << row.bit;
        EXPECT_STREQ(row.prefix, GetFolderKindPrefix(row.bit));
        EXPECT_EQ(row.bit, GetFolderKindBit(row.prefix));
    }
    for (int notAKind : {0, 3, 64, -1}) {
        EXPECT_EQ(0u, GetFolderKindNameId(notAKind)) << notAKind;
        EXPECT_STREQ("", GetFolderKindPrefix(notAKind));
    }
}

} // namespace
