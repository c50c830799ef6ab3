// A carried change leaves an exact copy: what the source no longer has leaves the counterpart,
// attachments and recipients are replaced rather than added to, and the counterpart's own bookkeeping
// (read state, ids, times) stays its own.
#include "SyncTestSupport.h"

#include "engine/CopyMark.h"

#include <algorithm>

namespace {

using standin::Value;

// Properties every saved item holds that belong to the copy, not to its content: ids, times, flags and
// the mark a new copy carries for the engine (which Outlook does not show).
bool IsBookkeeping(const standin::Bytes& store, ULONG tag) {
    for (ULONG own : {PR_ENTRYID, PR_RECORD_KEY, PR_PARENT_ENTRYID, PR_LAST_MODIFICATION_TIME, PR_CREATION_TIME,
                      PR_MESSAGE_FLAGS})
        if (PROP_ID(own) == PROP_ID(tag)) return true;
    GUID set{};
    return standin::NamedPropSet(store, tag, &set) && IsEqualGUID(set, CCopyMark::kPropertySet);
}

standin::PropMap Content(const standin::Bytes& item) {
    standin::ItemView view;
    EXPECT_TRUE(standin::GetItem(item, &view));
    standin::FolderView folder;
    EXPECT_TRUE(standin::GetFolder(view.folder, &folder));
    standin::PropMap content;
    for (const auto& [tag, value] : view.props)
        if (!IsBookkeeping(folder.store, tag)) content[tag] = value;
    return content;
}

// The subobjects as a user sees them: the values of one column, in order.
std::vector<std::string> Names(const std::vector<standin::PropMap>& rows, ULONG tag) {
    std::vector<std::string> names;
    for (const standin::PropMap& row : rows) {
        const auto found = row.find(tag);
        names.push_back(found == row.end() ? std::string("?") : found->second.s);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ExactCopyTest : public SyncFixture {};

TEST_F(ExactCopyTest, PropertyTheSourceNoLongerHasLeavesTheCounterpart) {
    struct Case {
        const char* name;
        bool clearInFolder1; // which side the user clears the company on
        bool laterEditOnOtherSide; // the other side changes too, earlier: a conflict the clearing side wins
    };
    const Case cases[] = {
        {"cleared in folder 1", true, false},
        {"cleared in folder 2", false, false},
        {"conflict won by folder 1, which lacks the company", true, true},
        {"conflict won by folder 2, which lacks the company", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        const standin::Bytes item1 = standin::AddItem(m_folder1, "Ann",
                                                      {{PR_COMPANY_NAME_A, Value::String("Acme")},
                                                       {PR_BODY_A, Value::String("notes")}});
        ASSERT_TRUE(CleanRun().Errors().empty());
        const standin::Bytes item2 = Find(m_folder2, "Ann");
        ASSERT_EQ(Content(item1), Content(item2));
        const standin::Bytes& clearing = c.clearInFolder1 ? item1 : item2;
        const standin::Bytes& other = c.clearInFolder1 ? item2 : item1;
        if (c.laterEditOnOtherSide)
            ASSERT_TRUE(standin::EditItem(other, {{PR_BODY_A, Value::String("older edit")}}));
        ASSERT_TRUE(standin::EditItem(clearing, {{PR_COMPANY_NAME_A, Value()}}));

        const RecordingStatus status = CleanRun();

        EXPECT_TRUE(status.Errors().empty());
        const standin::PropMap counterpart = Content(other);
        EXPECT_EQ(0u, counterpart.count(PR_COMPANY_NAME_A));
        EXPECT_EQ(Content(clearing), counterpart);
        // Nothing travels back at the next run, and the folders stay equal.
        EXPECT_EQ(PairLines(kName1, kName2, 0, 0, 0, 0), CleanRun().lines);
        EXPECT_EQ(Content(clearing), Content(other));
    }
}

TEST_F(ExactCopyTest, AttachmentsAndRecipientsAreReplacedNeverAddedTo) {
    auto attachment = [](const std::string& file) {
        return standin::PropMap{{PR_ATTACH_LONG_FILENAME_A, Value::String(file)},
                                {PR_ATTACH_METHOD, Value::Long(ATTACH_BY_VALUE)},
                                {PR_ATTACH_DATA_BIN, Value::Binary("data of " + file)}};
    };
    auto recipient = [](const std::string& name) {
        return standin::PropMap{{PR_DISPLAY_NAME_A, Value::String(name)}, {PR_RECIPIENT_TYPE, Value::Long(MAPI_TO)}};
    };
    struct Case {
        const char* name;
        bool changeInFolder1;
    };
    for (const Case& c : {Case{"changed in folder 1", true}, Case{"changed in folder 2", false}}) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        standin::ItemSpec desc;
        desc.subject = "Meeting";
        desc.attachments = {attachment("a.txt"), attachment("b.txt")};
        desc.recipients = {recipient("Ann"), recipient("Bob")};
        const standin::Bytes item1 = standin::AddItem(m_folder1, desc);
        ASSERT_TRUE(CleanRun().Errors().empty());
        const standin::Bytes item2 = Find(m_folder2, "Meeting");
        const standin::Bytes& source = c.changeInFolder1 ? item1 : item2;
        const standin::Bytes& target = c.changeInFolder1 ? item2 : item1;
        ASSERT_TRUE(standin::SetItemAttachments(source, {attachment("b.txt"), attachment("c.txt")}));
        ASSERT_TRUE(standin::SetItemRecipients(source, {recipient("Cid")}));

        EXPECT_TRUE(CleanRun().Errors().empty());

        standin::ItemView view;
        ASSERT_TRUE(standin::GetItem(target, &view));
        EXPECT_EQ((std::vector<std::string>{"b.txt", "c.txt"}), Names(view.attachments, PR_ATTACH_LONG_FILENAME_A));
        EXPECT_EQ((std::vector<std::string>{"Cid"}), Names(view.recipients, PR_DISPLAY_NAME_A));
        for (const standin::PropMap& row : view.attachments) {
            const std::string file = row.at(PR_ATTACH_LONG_FILENAME_A).s;
            EXPECT_EQ("data of " + file, row.at(PR_ATTACH_DATA_BIN).s);
        }
    }
}

TEST_F(ExactCopyTest, ReadStateStaysTheCounterpartsOwn) {
    const standin::Bytes item1 = standin::AddItem(
        m_folder1, "Note", {{PR_BODY_A, Value::String("one")}, {PR_MESSAGE_FLAGS, Value::Long(0)}});
    ASSERT_TRUE(CleanRun().Errors().empty());
    const standin::Bytes item2 = Find(m_folder2, "Note");
    // Read in folder 2 only (reading does not change an item's time); then changed, unread, in folder 1.
    ASSERT_TRUE(standin::SetItemProp(item2, PR_MESSAGE_FLAGS, Value::Long(MSGFLAG_READ)));
    Edit(item1, "two");

    EXPECT_TRUE(CleanRun().Errors().empty());

    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(item2, &view));
    EXPECT_EQ("Note|two", ContentOf(view));
    ASSERT_TRUE(view.props.count(PR_MESSAGE_FLAGS));
    EXPECT_EQ(MSGFLAG_READ, view.props.at(PR_MESSAGE_FLAGS).i);
}

// Each store maps names to ids of its own: a named property the source no longer has is found in the
// counterpart by its name, and one it still has keeps its value under the target store's id.
TEST_F(ExactCopyTest, NamedPropertiesAreMatchedByNameNotById) {
    const GUID publicStrings = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    standin::StoreSpec desc;
    desc.displayName = "Other";
    desc.standardFolders = false;
    const standin::Bytes store2 = standin::AddStore(desc);
    m_folder2 = standin::AddFolder(standin::IpmSubtree(store2), "Right", "IPF.Appointment");
    // The second store knew another name first: the same names get other ids there.
    const ULONG filler = standin::NamedPropId(store2, publicStrings, L"Mood");
    const ULONG color1 = standin::NamedPropId(m_store, publicStrings, L"Color");
    const ULONG size1 = standin::NamedPropId(m_store, publicStrings, L"Size");
    const ULONG color2 = standin::NamedPropId(store2, publicStrings, L"Color");
    const ULONG size2 = standin::NamedPropId(store2, publicStrings, L"Size");
    ASSERT_NE(0u, filler);
    ASSERT_NE(color1, color2);
    ASSERT_EQ(size1, color2); // folder 1's "Size" id is folder 2's "Color" id
    const standin::Bytes item1 = standin::AddItem(m_folder1, "Shirt",
                                                  {{PROP_TAG(PT_STRING8, color1), Value::String("red")},
                                                   {PROP_TAG(PT_STRING8, size1), Value::String("L")}});
    ASSERT_TRUE(CleanRun().Errors().empty());
    const standin::Bytes item2 = Find(m_folder2, "Shirt");
    standin::ItemView copy;
    ASSERT_TRUE(standin::GetItem(item2, &copy));
    EXPECT_EQ("red", copy.props.at(PROP_TAG(PT_STRING8, color2)).s);
    EXPECT_EQ("L", copy.props.at(PROP_TAG(PT_STRING8, size2)).s);

    ASSERT_TRUE(standin::EditItem(item1, {{PROP_TAG(PT_STRING8, size1), Value()}})); // the size cleared
    EXPECT_TRUE(CleanRun().Errors().empty());

    ASSERT_TRUE(standin::GetItem(item2, &copy));
    EXPECT_EQ(0u, copy.props.count(PROP_TAG(PT_STRING8, size2)));
    ASSERT_TRUE(copy.props.count(PROP_TAG(PT_STRING8, color2)));
    EXPECT_EQ("red", copy.props.at(PROP_TAG(PT_STRING8, color2)).s);
}

} // namespace
