// The Synchronize command's sequence: settings loaded for the session's profile, the options sheet first
// when there is no pair, the folders opened, and the progress window over the pairs.
#include "SyncTestSupport.h"
#include "config/Settings.h"
#include "engine/SynchronizeCommand.h"

#include <algorithm>
#include <fstream>

#include "base/StringTable.h"
#include "resources/StringIds.h"

namespace {

// What the command told and opened, in order; the progress window runs the work it is given as the
// real one does, recording the report.
class RecordingWindows : public ISynchronizeWindows {
public:
    void Tell(const std::vector<ZxNotice>& notices) override {
        for (const ZxNotice& notice : notices) told.push_back(notice.text);
    }
    bool ShowOptions(const ZxIMAPISession&) override {
        opened.push_back("options");
        return onOptions ? onOptions() : false;
    }
    void ShowProgress(const SynchronizeRun& run) override {
        opened.push_back("progress");
        run(status);
    }

    std::function<bool()> onOptions;
    std::vector<std::string> told;
    std::vector<std::string> opened;
    RecordingStatus status;
};

class SynchronizeCommandTest : public SyncFixture {
protected:
    // The pair as the options page saves it: store and folder ids and names, nothing opened.
    void SavePair() {
        CSettings settings(kProfile);
        CRefCountPtr<CAssocDesc> pair(new CAssocDesc());
        pair->GetFolder1().SetStoreEntryId(Zx(m_store));
        pair->GetFolder1().SetFolderEntryId(Zx(m_folder1));
        pair->GetFolder1().SetFolderName(kName1);
        pair->GetFolder2().SetStoreEntryId(Zx(m_store));
        pair->GetFolder2().SetFolderEntryId(Zx(m_folder2));
        pair->GetFolder2().SetFolderName(kName2);
        settings.GetAssocs().push_back(pair);
        ASSERT_TRUE(settings.Save());
    }
    void Run(RecordingWindows& windows) { RunSynchronizeCommand(NewSession(), windows); }

    // The run's first line: the pair's folders, both open, are synchronized.
    const RecordingStatus::Line kPairLine{false, std::string("Synchronization of folders: '") + kName1 + "' with '" +
                                                     kName2 + "'"};
};

} // namespace

TEST_F(SynchronizeCommandTest, PairsOfTheProfileRunOnceWithTheirFoldersOpen) {
    SavePair();
    Add(m_folder1, "Item", "x");
    RecordingWindows windows;
    Run(windows);
    EXPECT_EQ(std::vector<std::string>({"progress"}), windows.opened);
    EXPECT_TRUE(windows.told.empty());
    ASSERT_FALSE(windows.status.lines.empty());
    EXPECT_EQ(kPairLine, windows.status.lines.front());
    EXPECT_EQ(1, std::count(windows.status.lines.begin(), windows.status.lines.end(), kPairLine));
    EXPECT_TRUE(windows.status.Errors().empty()) << windows.status.Errors().front();
    EXPECT_EQ((std::multiset<std::string>{"Item|x"}), Contents(m_folder2));
    // The state of the run is the profile's.
    EXPECT_FALSE(CacheFiles().empty());
}

TEST_F(SynchronizeCommandTest, WithoutPairsTheOptionsComeFirstAndCancelEndsTheCommand) {
    RecordingWindows windows;
    Run(windows);
    EXPECT_EQ(std::vector<std::string>({"options"}), windows.opened);
}

TEST_F(SynchronizeCommandTest, PairsAddedInTheOptionsAreLoadedAgainAndRun) {
    RecordingWindows windows;
    windows.onOptions = [&] {
        SavePair();
        return true;
    };
    Run(windows);
    EXPECT_EQ(std::vector<std::string>({"options", "progress"}), windows.opened);
    ASSERT_FALSE(windows.status.lines.empty());
    EXPECT_EQ(kPairLine, windows.status.lines.front());
    EXPECT_TRUE(windows.status.Errors().empty());
}

TEST_F(SynchronizeCommandTest, WhatLoadingTheSettingsFoundIsToldBeforeAnyWindowOpens) {
    // Every save writes a whole list: an empty file was cut short.
    const std::string path = CSettings(kProfile).GetFilePath();
    std::ofstream(path, std::ios::binary).close();
    RecordingWindows windows;
    Run(windows);
    EXPECT_EQ(std::vector<std::string>({ZxFormat(ZxLoadString(IDS_SETTINGS_DAMAGED).c_str(), path.c_str(),
                                                 (path + CSettings::kDamagedSuffix).c_str())}),
              windows.told);
    EXPECT_EQ(std::vector<std::string>({"options"}), windows.opened);
}
