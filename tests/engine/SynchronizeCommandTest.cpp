// The Synchronize command's sequence: settings loaded for the session's profile, the options sheet first
// when there is no pair, the folders opened, and the progress window over the pairs.
#include "SyncTestSupport.h"
#include "config/Settings.h"
#include "engine/SynchronizeCommand.h"

namespace {

// What the command opened, in order, and what the progress window was given.
class RecordingWindows : public ISynchronizeWindows {
public:
    bool ShowOptions(const ZxIMAPISession&) override {
        opened.push_back("options");
        return onOptions ? onOptions() : false;
    }
    void ShowProgress(const ZxIMAPISession&, const CSettings& settings) override {
        opened.push_back("progress");
        profile = settings.GetProfileName();
        for (const CRefCountPtr<CAssocDesc>& pair : settings.GetAssocs())
            folders.push_back(pair->GetFolder1().GetFolderName() + (pair->GetFolder1().GetFolder() ? " open" : "") +
                              " / " + pair->GetFolder2().GetFolderName() +
                              (pair->GetFolder2().GetFolder() ? " open" : ""));
    }

    std::function<bool()> onOptions;
    std::vector<std::string> opened;
    std::string profile;
    std::vector<std::string> folders;
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

    const std::string kOpenPair = std::string(kName1) + " open / " + kName2 + " open";
};

} // namespace

TEST_F(SynchronizeCommandTest, PairsOfTheProfileRunWithTheirFoldersOpen) {
    SavePair();
    RecordingWindows windows;
    Run(windows);
    EXPECT_EQ(std::vector<std::string>({"progress"}), windows.opened);
    EXPECT_EQ(kProfile, windows.profile);
    EXPECT_EQ(std::vector<std::string>({kOpenPair}), windows.folders);
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
    EXPECT_EQ(std::vector<std::string>({kOpenPair}), windows.folders);
}
