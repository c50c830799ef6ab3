// What both options pages do with the pairs without their windows: rows and their images, the row
// selected after a removal, loading a working copy and saving it over the stored list.
#include "PairsTestSupport.h"

#include "config/Settings.h"
#include "engine/SettingsLoad.h"
#include "ui/PairList.h"

namespace {

CRefCountPtr<CAssocDesc> PairOf(const std::string& name1, const std::string& name2, int32_t flags1) {
    CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
    CFolderDesc f1, f2;
    f1.SetFolderName(name1);
    f1.SetFolderFlags(flags1);
    f2.SetFolderName(name2);
    pair->SetFolder1(f1);
    pair->SetFolder2(f2);
    return pair;
}

std::vector<std::string> StoredNames() {
    CSettings settings("Outlook");
    ZxShowNotices(LoadSettings(settings));
    std::vector<std::string> names;
    for (const auto& pair : settings.GetAssocs())
        names.push_back(pair->GetFolder1().GetFolderName() + "|" + pair->GetFolder2().GetFolderName());
    return names;
}

} // namespace

TEST_F(PairsTest, RowImageFollowsTheKindOfFolderOne) {
    const struct {
        int32_t flags;
        int image;
    } cases[] = {{0x2, 115}, {0x4, 109}, {0x8, 105}, {0x10, 104}, {0x20, 111}, {0x1, 114}, {0x101, 114}, {0, 114}};
    for (const auto& c : cases) EXPECT_EQ(CPairList::GetRowImageId(*PairOf("a", "b", c.flags)), c.image) << c.flags;
}

TEST_F(PairsTest, OnlyPairsWithBothNamesGetARow) {
    EXPECT_TRUE(CPairList::HasRow(*PairOf("a", "b", 1)));
    EXPECT_FALSE(CPairList::HasRow(*PairOf("", "b", 1)));
    EXPECT_FALSE(CPairList::HasRow(*PairOf("a", "", 1)));
}

TEST_F(PairsTest, RowSelectedAfterARemoval) {
    const struct {
        int removed, left, selected;
    } cases[] = {{0, 0, -1}, {0, 2, 0}, {2, 2, 1}, {1, 2, 0}, {3, 3, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(CPairList::GetRowAfterRemoval(c.removed, c.left), c.selected) << c.removed << "/" << c.left;
}

TEST_F(PairsTest, SavingReplacesWhateverTheFileHoldsNowWithTheWorkingList) {
    {
        CSettings settings("Outlook");
        settings.GetAssocs().push_back(PairOf("A1", "A2", 1));
        settings.GetAssocs().push_back(PairOf("B1", "B2", 0x10));
        ASSERT_TRUE(settings.Save());
    }
    MakeProfile();
    CPairList list;
    list.Load(NewSession());
    EXPECT_EQ(list.GetProfileName(), "Outlook");
    ASSERT_EQ(list.GetPairs().size(), 2u);
    // Meanwhile the file gains a pair (another page saved); the working list wins as a whole.
    {
        CSettings settings("Outlook");
        ZxShowNotices(LoadSettings(settings));
        settings.GetAssocs().push_back(PairOf("C1", "C2", 1));
        ASSERT_TRUE(settings.Save());
    }
    const CRefCountPtr<CAssocDesc> first = list.GetPairs()[0];
    list.Append(first); // the same pair twice: a removal takes every entry of it
    list.Remove(first.Get());
    list.Append(PairOf("D1", "D2", 8));
    ASSERT_TRUE(list.Save());
    EXPECT_EQ(StoredNames(), (std::vector<std::string>{"B1|B2", "D1|D2"}));
}
