// Saving and loading whole profiles: exact round trips and clear errors for bad input.
#include "Helpers.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace standin_test {
namespace {

using ProfileTextTest = StandinTest;

// A profile that uses every feature the file has to carry.
void BuildRichProfile() {
    standin::Reset("Rich \"quoted\" profile");
    standin::StoreSpec pst;
    pst.displayName = "Personal Folders";
    pst.isDefault = true;
    Bytes a = standin::AddStore(pst);
    standin::StoreSpec shared;
    shared.displayName = "Shared";
    shared.kind = standin::ProviderKind::SharedFolders;
    shared.storeFilePath = "C:\\Shared Data\\team.pst";
    shared.tableIdDiffers = true;
    shared.omitInTable = {PR_MDB_PROVIDER};
    standin::AddStore(shared);
    standin::StoreSpec odd;
    odd.displayName = "Odd";
    odd.kind = standin::ProviderKind::Other;
    odd.overrideProvider = true;
    odd.providerBytes = Bytes(17, '\x01');
    odd.unopenable = true;
    odd.standardFolders = false;
    standin::AddStore(odd);
    standin::StoreSpec pub;
    pub.displayName = "Public Folders";
    pub.kind = standin::ProviderKind::ExchangePublic;
    standin::AddStore(pub);

    Bytes calendar = standin::FolderByPath("Personal Folders\\Calendar");
    Bytes team = standin::AddFolder(calendar, "Team \\ \"A\"", "IPF.Appointment");
    standin::SetFolderAccess(team, false, false);
    standin::SetHierarchySupported(team, false);
    standin::SetFolderRefusesCreate(team, true);
    std::string allBytes;
    for (int c = 0; c < 256; ++c) allBytes.push_back(static_cast<char>(c));
    std::wstring wide = L"Za\x017C\x00F3\x0142\x0107 \xD83D\xDE00 lone:\xD800 tab\t nul";
    wide.push_back(L'\0');
    standin::ItemSpec descr;
    descr.subject = "All types";
    descr.props = {
        {PR_BODY_A, standin::Value::String(allBytes)},
        {PR_BODY_W, standin::Value::Wide(wide)},
        {PROP_TAG(PT_I2, 0x8101), standin::Value::Short(-7)},
        {PROP_TAG(PT_LONG, 0x8102), standin::Value::Long(-2147483647 - 1)},
        {PROP_TAG(PT_BOOLEAN, 0x8103), standin::Value::Bool(true)},
        {PROP_TAG(PT_I8, 0x8104), standin::Value::I8(-9223372036854775807LL - 1)},
        {PROP_TAG(PT_CURRENCY, 0x8105), standin::Value::Currency(123456789)},
        {PROP_TAG(PT_DOUBLE, 0x8106), standin::Value::Double(0.1)},
        {PROP_TAG(PT_FLOAT, 0x8107), standin::Value::Float(1.5f)},
        {PROP_TAG(PT_APPTIME, 0x8108), standin::Value::AppTime(45000.25)},
        {PROP_TAG(PT_SYSTIME, 0x8109), standin::Value::Time(standin::MakeTime(1999, 12, 31, 23, 59, 59))},
        {PROP_TAG(PT_BINARY, 0x810A), standin::Value::Binary(Bytes())},
        {PROP_TAG(PT_CLSID, 0x810B), standin::Value::Binary(Bytes(16, '\x7F'))},
        {PROP_TAG(PT_ERROR, 0x810C), standin::Value::Error(MAPI_E_NOT_ENOUGH_MEMORY)},
        {PROP_TAG(PT_MV_UNICODE, 0x810D),
         standin::Value::Multi(PT_MV_UNICODE, {standin::Value::Wide(L"x y"), standin::Value::Wide(L"]")})},
        {PROP_TAG(PT_MV_LONG, 0x810E), standin::Value::Multi(PT_MV_LONG, {})},
        {PROP_TAG(PT_MV_SYSTIME, 0x810F),
         standin::Value::Multi(PT_MV_SYSTIME, {standin::Value::Time(standin::MakeTime(2026, 1, 2))})},
    };
    descr.props[PROP_TAG(PT_CLSID, 0x810B)].type = PT_CLSID;
    descr.recipients = {
        {{PR_DISPLAY_NAME_A, standin::Value::String("Ann")}, {PR_RECIPIENT_TYPE, standin::Value::Long(1)}}};
    descr.attachments = {{{PR_ATTACH_DATA_BIN, standin::Value::Binary(allBytes)}}};
    Bytes rich = standin::AddItem(team, descr);
    Bytes noKey = standin::AddItem(calendar, "No key");
    standin::RemoveItemProp(noKey, PR_RECORD_KEY);
    standin::RemoveItemProp(noKey, PR_LONGTERM_ENTRYID_FROM_TABLE);
    standin::SetItemTime(rich, standin::MakeTime(2025, 6, 1));
    standin::SetProfileNameAvailable(false);
    standin::SetNow(standin::MakeTime(2026, 2, 3, 4, 5, 6));
    (void)a;
}

struct Snapshot {
    std::vector<Bytes> stores;
    std::vector<standin::FolderView> folders;
    std::vector<std::vector<standin::ItemView>> items;
    ULONGLONG now;
    std::string name;
};

void Walk(const Bytes& folder, Snapshot* s) {
    standin::FolderView v;
    ASSERT_TRUE(standin::GetFolder(folder, &v));
    s->folders.push_back(v);
    s->items.push_back(standin::Items(folder));
    for (const Bytes& c : v.children) Walk(c, s);
}

Snapshot Take() {
    Snapshot s;
    s.stores = standin::Stores();
    for (const Bytes& st : s.stores) Walk(standin::RootFolder(st), &s);
    s.now = Ticks(standin::Now());
    s.name = standin::ProfileName();
    return s;
}

void ExpectSame(const Snapshot& a, const Snapshot& b) {
    EXPECT_EQ(a.stores, b.stores);
    EXPECT_EQ(a.now, b.now);
    EXPECT_EQ(a.name, b.name);
    ASSERT_EQ(a.folders.size(), b.folders.size());
    for (size_t k = 0; k < a.folders.size(); ++k) {
        EXPECT_EQ(a.folders[k].entryId, b.folders[k].entryId);
        EXPECT_EQ(a.folders[k].props, b.folders[k].props);
        EXPECT_EQ(a.folders[k].children, b.folders[k].children);
        EXPECT_EQ(a.folders[k].canWrite, b.folders[k].canWrite);
        EXPECT_EQ(a.folders[k].canDelete, b.folders[k].canDelete);
        EXPECT_EQ(a.folders[k].hierarchySupported, b.folders[k].hierarchySupported);
        ASSERT_EQ(a.items[k].size(), b.items[k].size());
        for (size_t i = 0; i < a.items[k].size(); ++i) {
            const standin::ItemView &x = a.items[k][i], &y = b.items[k][i];
            EXPECT_EQ(x.entryId, y.entryId);
            EXPECT_EQ(x.shortTermId, y.shortTermId);
            EXPECT_EQ(x.recordKey, y.recordKey);
            EXPECT_EQ(Ticks(x.modified), Ticks(y.modified));
            EXPECT_TRUE(x.props == y.props) << x.subject;
            EXPECT_EQ(x.recipients, y.recipients);
            EXPECT_EQ(x.attachments, y.attachments);
        }
    }
}

TEST_F(ProfileTextTest, SaveAndLoadRoundTripExactly) {
    BuildRichProfile();
    baseline_ = standin::LiveObjects();
    Snapshot before = Take();
    std::string text = standin::SaveProfileText();
    standin::Reset();
    std::string error;
    ASSERT_TRUE(standin::LoadProfileText(text, &error)) << error;
    ExpectSame(before, Take());
    EXPECT_EQ(standin::SaveProfileText(), text);

    // The same through a file.
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    std::string file = std::string(path) + "standin-profile-test.txt";
    ASSERT_TRUE(standin::SaveProfile(file, &error)) << error;
    standin::Reset();
    ASSERT_TRUE(standin::LoadProfile(file, &error)) << error;
    std::remove(file.c_str());
    ExpectSame(before, Take());
}

TEST_F(ProfileTextTest, LoadedProfilesBehaveLikeTheOriginal) {
    BuildRichProfile();
    Bytes calendar = standin::FolderByPath("Personal Folders\\Calendar");
    Bytes item = standin::Items(calendar).at(0).entryId;
    std::string text = standin::SaveProfileText();
    standin::Reset();
    std::string error;
    ASSERT_TRUE(standin::LoadProfileText(text, &error)) << error;
    baseline_ = standin::LiveObjects();
    {
        auto session = NewSession();
        auto store = OpenStore(session.Get(), standin::StoreByName("Personal Folders"));
        auto folder = OpenFolder(store.Get(), calendar);
        auto m = OpenMessage(folder.Get(), item);
        ASSERT_TRUE(m);
        ASSERT_EQ(m->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
        ULONGLONG t = 0;
        ASSERT_EQ(GetTime(m.Get(), &t), S_OK);
        EXPECT_EQ(t, Ticks(standin::MakeTime(2026, 2, 3, 4, 5, 7))); // the saved clock went on
    }
    // New objects never reuse a loaded id.
    Bytes added = standin::AddItem(calendar, "New");
    Bytes folder = standin::AddFolder(calendar, "New folder", "IPF.Note");
    std::set<Bytes> ids;
    Snapshot s = Take();
    for (const auto& f : s.folders) EXPECT_TRUE(ids.insert(f.entryId).second);
    for (const auto& list : s.items)
        for (const auto& i : list) EXPECT_TRUE(ids.insert(i.entryId).second && ids.insert(i.shortTermId).second);
    EXPECT_TRUE(ids.count(added) && ids.count(folder));
}

TEST_F(ProfileTextTest, AHandEditedProfileLoads) {
    BasicProfile p;
    Bytes id = standin::AddItem(p.calendar, "Original subject");
    std::string text = standin::SaveProfileText();
    size_t at = text.find("\"Original subject\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 18, "\"Edited \\x41\"  # changed by hand");
    std::string error;
    ASSERT_TRUE(standin::LoadProfileText(text, &error)) << error;
    standin::ItemView view;
    ASSERT_TRUE(standin::GetItem(id, &view));
    EXPECT_EQ(view.subject, "Edited A");
}

TEST_F(ProfileTextTest, BadInputNamesTheLineAndLeavesTheProfileAlone) {
    BasicProfile p;
    std::string good = standin::SaveProfileText();
    auto lineOf = [&](const std::string& needle) -> long {
        size_t at = good.find(needle);
        return 1 + std::count(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const long displayLine = lineOf("prop PR_DISPLAY_NAME_A \"Personal Folders\"");
    const long lines = std::count(good.begin(), good.end(), '\n');
    struct Case {
        std::string text;
        long line;
        const char* words;
    } cases[] = {
        {"", 1, "standin-profile"},
        {"hello\n", 1, "standin-profile"},
        {replaced("prop PR_DISPLAY_NAME_A \"Personal Folders\"", "prop PR_DISPLAY_NAME_A \"Personal"), displayLine,
         "unterminated"},
        {replaced("prop PR_DISPLAY_NAME_A \"Personal Folders\"", "prop PR_NO_SUCH_TAG \"x\""), displayLine, "tag"},
        {replaced("prop PR_DISPLAY_NAME_A \"Personal Folders\"", "prop PR_DISPLAY_NAME_A 12"), displayLine, "string"},
        {replaced("prop PR_DISPLAY_NAME_A \"Personal Folders\"", "prop 0x3001001E \"bad \\q\""), displayLine, "escape"},
        {replaced("prop PR_DISPLAY_NAME_A \"Personal Folders\"", "colour blue"), displayLine, "unexpected 'colour'"},
        {replaced("clock 2026", "clock 2O26"), lineOf("clock"), "time"},
        {replaced("  id ", "  id 0G"), lineOf("  id "), "hex"},
        {good.substr(0, good.rfind("end")), lines, "missing 'end'"}, // reported after the last line
        {good + "item\n  id 01\n  short-id 02\n  folder 0303\nend\n", lines + 5, "folder"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(standin::LoadProfileText(c.text, &error));
        EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ":", 0), 0u)
            << error << " (expected line " << c.line << ")";
        EXPECT_NE(error.find(c.words), std::string::npos) << error;
    }
    EXPECT_EQ(standin::SaveProfileText(), good);
    std::string error;
    EXPECT_FALSE(standin::LoadProfile("C:\\no\\such\\file.txt", &error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

// Durability as a real store has it: every save and deletion reaches the journal before its call
// returns, so the profile as last written plus its journal is the profile as it was at any later moment,
// also when the journal's last entry was cut short (a kill during the write). Replaying is idempotent.
TEST_F(ProfileTextTest, TheJournalCarriesEverySavedChangeOverTheLastWrittenProfile) {
    BuildRichProfile();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string profile = std::string(temp) + "standin-journal-test.profile";
    const std::string journal = profile + ".journal";
    std::remove(journal.c_str());
    std::string error;
    ASSERT_TRUE(standin::SaveProfile(profile, &error)) << error;
    ASSERT_TRUE(standin::SetJournal(journal, &error)) << error;

    // After each change: the whole profile as it is then, and the journal's length.
    std::vector<std::pair<std::string, size_t>> states;
    const auto journalLength = [&] {
        std::string bytes;
        std::ifstream in(journal, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return bytes.size();
    };
    const auto mark = [&] { states.emplace_back(standin::SaveProfileText(), journalLength()); };
    mark();
    const Bytes calendar = standin::FolderByPath("Personal Folders\\Calendar");
    const Bytes deleted = standin::FolderByPath("Personal Folders\\Deleted Items");
    {
        ComPtr<IMAPISession> session = NewSession();
        ComPtr<IMsgStore> store = OpenStore(session.Get(), standin::StoreByName("Personal Folders"));
        ComPtr<IMAPIFolder> folder = OpenFolder(store.Get(), calendar);
        ComPtr<IMessage> created;
        ASSERT_EQ(S_OK, folder->CreateMessage(nullptr, 0, &created));
        ASSERT_EQ(S_OK, SetText(created.Get(), PR_SUBJECT_A, "made through MAPI"));
        ASSERT_EQ(S_OK, created->SaveChanges(KEEP_OPEN_READWRITE));
        mark();
        ASSERT_EQ(S_OK, SetText(created.Get(), PR_SUBJECT_A, "changed through MAPI"));
        ASSERT_EQ(S_OK, created->SaveChanges(KEEP_OPEN_READWRITE));
        mark();
        Bytes first = standin::Items(calendar).at(0).entryId;
        SBinary entry{Cb(first), reinterpret_cast<LPBYTE>(first.data())};
        ENTRYLIST list{1, &entry};
        ASSERT_EQ(S_OK, folder->DeleteMessages(&list, 0, nullptr, 0));
        mark();
    }
    const Bytes moved = standin::Items(calendar).at(0).entryId;
    ASSERT_TRUE(standin::MoveItem(moved, deleted));
    mark();
    ASSERT_TRUE(standin::EditItem(moved, {{PR_BODY_A, standin::Value::String("edited")}}));
    mark();
    ASSERT_FALSE(standin::AddItem(calendar, "added").empty());
    mark();
    ASSERT_TRUE(standin::SetJournal(std::string(), &error));

    std::string whole;
    {
        std::ifstream in(journal, std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_EQ(states.back().second, whole.size());
    const std::string cut = std::string(temp) + "standin-journal-cut.journal";
    // Every entry boundary gives the state of that moment; a cut inside an entry gives the one before.
    for (size_t k = 0; k < states.size(); ++k) {
        const size_t end = states[k].second;
        for (size_t length : {end, end + (k + 1 < states.size() ? (states[k + 1].second - end) / 2 : 0)}) {
            SCOPED_TRACE(testing::Message() << "state " << k << ", journal cut at " << length);
            std::ofstream(cut, std::ios::binary | std::ios::trunc) << whole.substr(0, length);
            ASSERT_TRUE(standin::LoadProfile(profile, &error)) << error;
            ASSERT_TRUE(standin::ReplayJournal(cut, &error)) << error;
            EXPECT_EQ(states[k].first, standin::SaveProfileText());
        }
    }
    // Replayed twice (a fold that was killed before the journal went): the same profile.
    ASSERT_TRUE(standin::LoadProfile(profile, &error)) << error;
    ASSERT_TRUE(standin::ReplayJournal(journal, &error)) << error;
    ASSERT_TRUE(standin::ReplayJournal(journal, &error)) << error;
    EXPECT_EQ(states.back().first, standin::SaveProfileText());
    std::remove(cut.c_str());
    std::remove(journal.c_str());
    std::remove(profile.c_str());
}

} // namespace
} // namespace standin_test
