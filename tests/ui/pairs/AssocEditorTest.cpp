// The pair dialog's decisions without its window: the kind and same-folder checks, what a chosen side
// writes into the pair, the note about merging, and the checks of OK.
#include "PairsTestSupport.h"

#include "base/StringTable.h"
#include "config/PairChecks.h"
#include "engine/FolderCacheFactory.h"
#include "ui/AssocEditor.h"
#include "ui/MAPIFolderTree.h"

namespace {

// What the picker answers for a folder path: the folder opened in its store and its description.
struct Picked {
    ZxIMAPIFolder folder;
    CMAPIFolderDesc desc;
};

Picked Pick(const ZxIMAPISession& session, const std::string& path, uint32_t flags) {
    const standin::Bytes id = standin::FolderByPath(path);
    standin::FolderView view;
    EXPECT_TRUE(standin::GetFolder(id, &view)) << path;
    Picked p;
    ZxIMsgStore store;
    EXPECT_EQ(session.OpenMsgStore(Zx(view.store), store, 0x91), S_OK) << path;
    EXPECT_EQ(store.OpenEntry(Zx(id), p.folder, MAPI_BEST_ACCESS), S_OK) << path;
    p.desc = CMAPIFolderDesc(Zx(id), Zx(view.store), path, flags);
    return p;
}

} // namespace

class AssocEditorTest : public PairsTest {
protected:
    void SetUp() override {
        PairsTest::SetUp();
        MakeProfile();
        m_session = NewSession();
        m_pair = MakeRefCounted<CAssocDesc>();
    }
    void TearDown() override {
        m_pair.Reset();
        m_session.Reset();
        PairsTest::TearDown();
    }
    bool Choose(CAssocEditor& editor, int side, const std::string& path, std::string& refusal, uint32_t flags = 1) {
        Picked p = Pick(m_session, path, flags);
        return editor.Choose(side, p.folder, p.desc, refusal);
    }

    ZxIMAPISession m_session;
    CRefCountPtr<CAssocDesc> m_pair;
};

TEST_F(AssocEditorTest, ChosenSidesFillThePairWithOpenedFolderAndStore) {
    CAssocEditor editor(m_session, "Outlook", m_pair);
    std::string refusal;
    ASSERT_TRUE(Choose(editor, 0, "Personal Folders\\Calendar", refusal, 0x10));
    ASSERT_TRUE(Choose(editor, 1, "Mailbox - Ann Smith\\Calendar", refusal, 0x10));
    const CFolderDesc& f1 = m_pair->GetFolder1();
    EXPECT_EQ(f1.GetFolderName(), "Personal Folders\\Calendar");
    EXPECT_EQ(Raw(f1.GetFolderEntryId()), standin::FolderByPath("Personal Folders\\Calendar"));
    EXPECT_EQ(Raw(f1.GetStoreEntryId()), m_pst);
    EXPECT_EQ(f1.GetFolderFlags(), 0x10);
    EXPECT_TRUE(f1.GetFolder());
    EXPECT_TRUE(f1.GetStore());
    EXPECT_EQ(m_pair->GetFolder2().GetFolderName(), "Mailbox - Ann Smith\\Calendar");
    EXPECT_EQ(Raw(m_pair->GetFolder2().GetStoreEntryId()), m_mailbox);
    EXPECT_EQ(editor.GetText(0), "Personal Folders\\Calendar");
    EXPECT_EQ(editor.CheckOk(), 0u);
}

// The picker's row may carry a short-term id (an Exchange hierarchy table's PR_ENTRYID) that opens the
// folder only in this session: the pair keeps the opened folder's own long-term id instead.
TEST_F(AssocEditorTest, ThePairKeepsTheFoldersLongTermIdNotThePickersRowId) {
    CAssocEditor editor(m_session, "Outlook", m_pair);
    std::string refusal;
    Picked p = Pick(m_session, "Mailbox - Ann Smith\\Calendar", 0x10);
    const ZxSBinary rowId = Zx(std::string("\x80\0\0\0\x11\x22", 6)); // flags byte set: short-term
    p.desc = CMAPIFolderDesc(rowId, p.desc.GetStoreEntryId(), p.desc.GetDisplayText(), 0x10);
    ASSERT_TRUE(editor.Choose(0, p.folder, p.desc, refusal));
    EXPECT_EQ(Raw(m_pair->GetFolder1().GetFolderEntryId()), standin::FolderByPath("Mailbox - Ann Smith\\Calendar"));
}

TEST_F(AssocEditorTest, KindCheckComparesWholeLowerCaseClasses) {
    const struct {
        const char* class1; // nullptr: no container class
        const char* class2;
        const char* refusal; // nullptr: accepted
    } cases[] = {
        {"IPF.Contact", "IPF.Appointment",
         "Folder 1 contains 'Contact', folder 2 contains 'Calendar'.\nChoose folders of the same type."},
        {"IPF.Note", "ipf.IMAP", nullptr},
        {"IPF.IMAP", nullptr, nullptr},
        {nullptr, "IPF.Note", nullptr},
        {"IPF.StickyNote", "ipf.stickynote", nullptr},
        {"IPF.Contact.Special", "IPF.Contact",
         "Folder 1 contains 'Unknown (ipf.contact.special)', folder 2 contains 'Contact'.\nChoose folders of the "
         "same type."},
        {"IPF.Task", "IPF.Journal",
         "Folder 1 contains 'Task', folder 2 contains 'Journal'.\nChoose folders of the same type."},
        {"IPF.StickyNote", "IPF.Note",
         "Folder 1 contains 'StickyNote', folder 2 contains 'Mail'.\nChoose folders of the same type."},
    };
    const standin::Bytes subtree = standin::IpmSubtree(m_pst);
    int n = 0;
    for (const auto& c : cases) {
        const std::string a = "A" + std::to_string(n), b = "B" + std::to_string(n);
        ++n;
        SCOPED_TRACE(a);
        const standin::Bytes fa = standin::AddFolder(subtree, a, c.class1 ? c.class1 : "");
        const standin::Bytes fb = standin::AddFolder(subtree, b, c.class2 ? c.class2 : "");
        ASSERT_FALSE(fa.empty() || fb.empty());
        CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
        CAssocEditor editor(m_session, "Outlook", pair);
        std::string refusal;
        ASSERT_TRUE(editor.Choose(0, Pick(m_session, "Personal Folders\\" + a, 1).folder,
                                  Pick(m_session, "Personal Folders\\" + a, 1).desc, refusal));
        Picked second = Pick(m_session, "Personal Folders\\" + b, 1);
        EXPECT_EQ(editor.Choose(1, second.folder, second.desc, refusal), c.refusal == nullptr);
        if (c.refusal) {
            EXPECT_EQ(refusal, c.refusal);
            EXPECT_TRUE(editor.GetText(1).empty());
            EXPECT_TRUE(pair->GetFolder2().GetFolderName().empty());
        }
        // The same classes the other way round: folder 1 is always named first.
        CRefCountPtr<CAssocDesc> reversed = MakeRefCounted<CAssocDesc>();
        CAssocEditor editor2(m_session, "Outlook", reversed);
        Picked first = Pick(m_session, "Personal Folders\\" + a, 1);
        ASSERT_TRUE(editor2.Choose(1, second.folder, second.desc, refusal));
        EXPECT_EQ(editor2.Choose(0, first.folder, first.desc, refusal), c.refusal == nullptr);
        if (c.refusal) EXPECT_EQ(refusal, c.refusal);
    }
    // The console runner shares the texts.
    EXPECT_EQ(GetFolderKindText(GetComparableFolderClass("IPF.Contact.Special")), "Unknown (ipf.contact.special)");
}

TEST_F(AssocEditorTest, AnUnopenedFolderPassesTheKindCheck) {
    CAssocEditor editor(m_session, "Outlook", m_pair);
    std::string refusal;
    ASSERT_TRUE(Choose(editor, 0, "Personal Folders\\Contacts", refusal));
    Picked calendar = Pick(m_session, "Personal Folders\\Calendar", 0x10);
    calendar.folder.Reset(); // the picker could not open it
    EXPECT_TRUE(editor.Choose(1, calendar.folder, calendar.desc, refusal));
    EXPECT_FALSE(m_pair->GetFolder2().GetFolder());
    EXPECT_EQ(m_pair->GetFolder2().GetFolderName(), "Personal Folders\\Calendar");
}

TEST_F(AssocEditorTest, SameFolderTwiceIsRefusedWhateverTheLetterCase) {
    CAssocEditor editor(m_session, "Outlook", m_pair);
    std::string refusal;
    ASSERT_TRUE(Choose(editor, 0, "Personal Folders\\Calendar", refusal));
    Picked again = Pick(m_session, "Personal Folders\\Calendar", 0x10);
    const CMAPIFolderDesc upper(again.desc.GetEntryId(), again.desc.GetStoreEntryId(), "PERSONAL folders\\CALENDAR",
                                0x10);
    EXPECT_FALSE(editor.Choose(1, again.folder, upper, refusal));
    EXPECT_EQ(refusal, ZxLoadString(5011));
    EXPECT_EQ(refusal, "You have selected the same folder twice. To synchronize data between folders you must choose "
                       "two different folders.");
    EXPECT_TRUE(editor.GetText(1).empty());
}

TEST_F(AssocEditorTest, OkNamesTheMissingSide) {
    CAssocEditor editor(m_session, "Outlook", m_pair);
    EXPECT_EQ(editor.CheckOk(), 5019u);
    std::string refusal;
    ASSERT_TRUE(Choose(editor, 1, "Personal Folders\\Calendar", refusal));
    EXPECT_EQ(editor.CheckOk(), 5019u);
    EXPECT_EQ(ZxLoadString(editor.CheckOk()), "Choose the first folder for synchronization!");
    CAssocEditor other(m_session, "Outlook", MakeRefCounted<CAssocDesc>());
    ASSERT_TRUE(Choose(other, 0, "Personal Folders\\Calendar", refusal));
    EXPECT_EQ(ZxLoadString(other.CheckOk()), "Choose the second folder for synchronization!");
}

TEST_F(AssocEditorTest, NoteShowsOnlyWhenNeitherOrderHasAStoredState) {
    const std::string a = "Personal Folders\\Calendar", b = "Mailbox - Ann Smith\\Calendar",
                      c = "Personal Folders\\Calendar\\Team";
    // A stored state of (b relative to a), as a previous run leaves it.
    {
        CFolderCacheFactory caches("Outlook");
        Picked pa = Pick(m_session, a, 0x10), pb = Pick(m_session, b, 0x10);
        caches.GetCache(pb.folder, pa.folder);
        ASSERT_TRUE(caches.SaveIndex());
        for (const auto& [key, file] : caches.GetIndex())
            ASSERT_TRUE(WriteWholeFile(caches.GetCacheFolder() + "\\" + file, std::string(8, '\0')));
    }
    CAssocEditor editor(m_session, "Outlook", m_pair);
    std::string refusal;
    EXPECT_FALSE(editor.IsNoteShown());
    ASSERT_TRUE(Choose(editor, 0, a, refusal));
    EXPECT_FALSE(editor.IsNoteShown());
    ASSERT_TRUE(Choose(editor, 1, b, refusal));
    EXPECT_FALSE(editor.IsNoteShown()); // synchronized together before
    // Choosing side 1 again replaces it and decides afresh.
    ASSERT_TRUE(Choose(editor, 0, c, refusal));
    EXPECT_TRUE(editor.IsNoteShown());
    EXPECT_EQ(m_pair->GetFolder1().GetFolderName(), c);
    ASSERT_TRUE(Choose(editor, 0, a, refusal));
    EXPECT_FALSE(editor.IsNoteShown());
}
