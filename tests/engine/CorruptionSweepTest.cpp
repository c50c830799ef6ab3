// Damaged files of the profile's state: the settings file, the cache index and both cache files, each cut
// at many lengths and changed by seeded random bytes, then two runs as the Synchronize command makes them
// (settings loaded with their checks, folders opened, all pairs run). No item may be lost, and the two
// folders may end up different only when a run said that something was wrong.
#include "SyncTestSupport.h"

#include <cstdio>
#include <random>

#include "config/Settings.h"
#include "engine/SettingsLoad.h"

namespace {

class CorruptionSweepTest : public SyncFixture {
protected:
    void SetUp() override {
        SyncFixture::SetUp();
        m_previousBox = Error::SetMessageBoxHandler(&CountBox);
    }
    void TearDown() override {
        Error::SetMessageBoxHandler(m_previousBox);
        SyncFixture::TearDown();
    }
    void ReleaseMapi() override {
        m_settings.reset();
        SyncFixture::ReleaseMapi();
    }

    static int CountBox(HWND, const char*, const char*, unsigned) {
        ++Boxes();
        return IDOK;
    }
    static long& Boxes() {
        static long boxes = 0;
        return boxes;
    }

    // The pair in the settings file, as the pair dialog saves it.
    void SavePair() {
        ZxIMAPISession session = NewSession();
        CSettings settings(kProfile);
        CRefCountPtr<CAssocDesc> pair(new CAssocDesc());
        for (auto [desc, id] : {std::pair{&pair->GetFolder1(), m_folder1}, std::pair{&pair->GetFolder2(), m_folder2}}) {
            standin::FolderView view;
            ASSERT_TRUE(standin::GetFolder(id, &view));
            desc->SetFolderEntryId(Zx(id));
            desc->SetStoreEntryId(Zx(view.store));
            desc->SetFolderFlags(16);
            ASSERT_TRUE(desc->Open(session));
        }
        settings.GetAssocs().push_back(pair);
        ASSERT_TRUE(settings.Save());
    }

    // One run as the Synchronize command makes it; true when it reported something wrong (an error line,
    // a message box).
    bool Synchronize() {
        const long boxes = Boxes();
        ZxIMAPISession session = NewSession();
        m_settings = std::make_unique<CSettings>(kProfile);
        ZxShowNotices(LoadSettings(*m_settings));
        m_settings->OpenFolders(session);
        RecordingStatus status;
        RunAllPairs(kProfile, m_settings->GetAssocs(), status);
        m_settings.reset();
        return !status.Errors().empty() || Boxes() != boxes;
    }

    std::unique_ptr<CSettings> m_settings;

private:
    Error::MessageBoxFn m_previousBox = nullptr;
};

struct Tally {
    int scenarios = 0, runs = 0, reported = 0, losses = 0, divergences = 0, silentDivergences = 0, duplicates = 0,
        silentDuplicates = 0;
};

TEST_F(CorruptionSweepTest, DamagedStateNeverLosesAnItemNorLeavesTheFoldersSilentlyDifferent) {
    // Items on both sides, synchronized twice (with changes in between) so that every file holds real
    // state; then the user's changes that the disturbed runs must carry.
    for (int k = 0; k < 6; ++k) Add(m_folder1, "A" + std::to_string(k), "a");
    for (int k = 0; k < 6; ++k) Add(m_folder2, "B" + std::to_string(k), "b");
    SavePair();
    ASSERT_FALSE(Synchronize());
    Edit(Find(m_folder1, "A0"), "a0 second");
    ASSERT_TRUE(standin::DeleteItem(Find(m_folder2, "B5")));
    ASSERT_FALSE(Synchronize());
    Edit(Find(m_folder1, "A1"), "a1 third");
    Edit(Find(m_folder2, "B1"), "b1 third");
    ASSERT_TRUE(standin::DeleteItem(Find(m_folder1, "A2")));
    Add(m_folder2, "N", "new");
    const std::set<std::string> expected = {"A0|a0 second", "A1|a1 third", "A3|a", "A4|a", "A5|a", "B0|b",
                                            "B1|b1 third",  "B2|b",        "B3|b", "B4|b", "N|new"};

    const std::string world = standin::SaveProfileText();
    const std::string cacheFolder = m_data / "Cache\\Outlook";
    const std::vector<std::string> files = {
        CSettings(kProfile).GetFilePath(), cacheFolder + "\\cache.index",
        LoadCache(m_folder1, m_folder2)->GetFilePath(), LoadCache(m_folder2, m_folder1)->GetFilePath()};
    std::vector<std::string> pristine(files.size());
    for (size_t f = 0; f < files.size(); ++f) ASSERT_TRUE(ReadWholeFile(files[f], pristine[f])) << files[f];

    // The damages: every file cut at twelve lengths, and changed at one to four places by 45 seeds.
    struct Damage {
        size_t file;
        std::string bytes;
        std::string what;
    };
    std::vector<Damage> damages;
    for (size_t f = 0; f < files.size(); ++f) {
        const std::string& bytes = pristine[f];
        for (size_t cut = 0; cut < 12; ++cut) {
            const size_t length = bytes.size() * cut / 12;
            damages.push_back({f, bytes.substr(0, length), "cut at " + std::to_string(length)});
        }
        for (unsigned seed = 1; seed <= 45; ++seed) {
            std::mt19937 random(seed * 7919u + static_cast<unsigned>(f));
            std::string changed = bytes;
            const int places = 1 + static_cast<int>(random() % 4);
            for (int p = 0; p < places; ++p) changed[random() % changed.size()] = static_cast<char>(random() % 256);
            damages.push_back({f, changed, "seed " + std::to_string(seed)});
        }
    }

    Tally tally;
    std::vector<std::string> faults;
    for (const Damage& damage : damages) {
        ReleaseMapi();
        std::string error;
        ASSERT_TRUE(standin::LoadProfileText(world, &error)) << error;
        for (size_t f = 0; f < files.size(); ++f) ASSERT_TRUE(WriteWholeFile(files[f], pristine[f]));
        DeleteFileA((files[0] + ".damaged").c_str());
        ASSERT_TRUE(WriteWholeFile(files[damage.file], damage.bytes));

        const bool first = Synchronize();
        const bool reported = Synchronize() || first;
        ++tally.scenarios;
        tally.runs += 2;
        if (reported) ++tally.reported;

        const std::multiset<std::string> all1 = Contents(m_folder1);
        const std::multiset<std::string> all2 = Contents(m_folder2);
        const std::set<std::string> distinct1(all1.begin(), all1.end());
        const std::set<std::string> distinct2(all2.begin(), all2.end());
        const std::string where = files[damage.file] + ", " + damage.what + ": ";
        for (const std::string& item : expected) {
            if (!distinct1.count(item) && !distinct2.count(item)) {
                ++tally.losses;
                faults.push_back(where + item + " lost");
            }
        }
        const bool differ = distinct1 != distinct2 ||
                            !std::includes(distinct1.begin(), distinct1.end(), expected.begin(), expected.end());
        if (differ) {
            ++tally.divergences;
            if (!reported) {
                ++tally.silentDivergences;
                faults.push_back(where + "the folders differ and no run said so");
            }
        }
        const bool doubled = all1.size() != distinct1.size() || all2.size() != distinct2.size();
        if (doubled) {
            ++tally.duplicates;
            if (!reported) {
                ++tally.silentDuplicates;
                std::printf("[ silent duplicate ] %s\n",
                            (where + (all1 != all2 ? "folders differ in copies" : "")).c_str());
            }
        }
    }
    ReleaseMapi();

    std::printf(
        "[ sweep    ] %d damaged states, %d runs, 0 crashes, %d reported, %d losses, %d divergences "
        "(%d silent), %d with duplicates (%d silent)\n",
        tally.scenarios, tally.runs, tally.reported, tally.losses, tally.divergences, tally.silentDivergences,
        tally.duplicates, tally.silentDuplicates);
    RecordProperty("scenarios", tally.scenarios);
    RecordProperty("losses", tally.losses);
    RecordProperty("silentDivergences", tally.silentDivergences);
    std::string text;
    for (size_t k = 0; k < faults.size() && k < 20; ++k) text += faults[k] + "\n";
    EXPECT_EQ(0, tally.losses) << text;
    EXPECT_EQ(0, tally.silentDivergences) << text;
}

} // namespace
