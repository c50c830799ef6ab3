// The options page as Outlook shows it: a tab of Outlook's Options dialog, hosted as an ActiveX control by
// the stand-in Outlook, changed through its own buttons and the folder picker, saved when Outlook asks
// for Dirty and Apply. Each test has a profile name of its own, so its settings file is its own.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AddinTestSupport.h"
#include "HostFixture.h"
#include "base/Resource.h"
#include "config/AutoSyncOptions.h"
#include "support/TempDir.h"

using namespace addintest;

namespace {

const char kCalendar1[] = "Personal Folders\\Calendar";
const char kCalendar2[] = "Mailbox - Ann Example\\Calendar";
const char kContacts1[] = "Personal Folders\\Contacts";
const char kContacts2[] = "Mailbox - Ann Example\\Contacts";
const std::string kPage = "[options dialog] Orvanta Merrowlink Addin: ";
const std::string kAutoPage = "[options dialog] Automatic synchronization: ";
const std::string kPairDialog = "New synchronized group";
const std::string kPicker = "Select a folder";


// A user action of the host, quoted for the command line.
std::string Action(const std::string& verb, const std::string& title, const std::string& what) {
    return "\"" + verb + ":" + title + ":" + what + "\" ";
}
std::string Press(const std::string& title, const std::string& button) { return Action("press", title, button); }
std::string OnOptions(const std::string& button) { return Press("Options", button); }
const std::string kToAutoPage = Action("page", "Options", "Automatic synchronization");
const std::string kListRows = "\"rows:Options\" ";

// The user's way through the pair dialog and the picker tree to a new pair.
std::string AddPairThroughPicker(const std::string& folder1, const std::string& folder2) {
    return OnOptions("Add...") + Press(kPairDialog, "5006") + Action("select", kPicker, folder1) + Press(kPicker, "OK") +
           Press(kPairDialog, "5007") + Action("select", kPicker, folder2) + Press(kPicker, "OK") +
           Press(kPairDialog, "OK");
}

class OptionsDialog : public DemoProfileTest {
protected:
    void SetUp() override { UseProfileCopy("Options"); }

    // The stored pairs as syncrun lists them.
    std::vector<std::string> StoredPairs() {
        const ProcessResult r = Syncrun("pairs");
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        std::vector<std::string> pairs;
        for (const std::string& line : r.lines)
            if (!line.empty() && line[0] >= '1' && line[0] <= '9') pairs.push_back(line);
        return pairs;
    }

    // Outlook over the profile: the window actions first (they wait for their windows), then the dialog.
    ProcessResult Outlook(const std::string& actions, const std::string& options = "") {
        ProcessResult r = RunHost(options + " --profile \"" + m_profile + "\" connect startup " + actions + "options-dialog");
        ExpectHostEndedClean(r, actions);
        return r;
    }

    static long IndexOf(const ProcessResult& r, const std::string& line) {
        const auto found = std::find(r.lines.begin(), r.lines.end(), line);
        return found == r.lines.end() ? -1 : static_cast<long>(found - r.lines.begin());
    }
    // The page's own results: what the Options dialog reports of it.
    static std::vector<std::string> PageLines(const ProcessResult& r) { return LinesStartingWith(r, kPage); }
    static std::vector<std::string> Rows(const ProcessResult& r) { return LinesStartingWith(r, "[row] "); }
};

TEST_F(OptionsDialog, ThePageMeetsTheContainersActivationAndCloseWithItsPairsShown) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const ProcessResult r = Outlook(kListRows + OnOptions("Cancel"));
    EXPECT_EQ(PageLines(r), (std::vector<std::string>{kPage + "created S_OK", kPage + "InitNew S_OK",
                                                      kPage + "in-place activation S_OK", kPage + "closed"}))
        << r.output;
    EXPECT_EQ(Rows(r), (std::vector<std::string>{
                           "[row] Personal Folders\\Calendar | Mailbox - Ann Example\\Calendar",
                           "[row] Personal Folders\\Contacts | Mailbox - Ann Example\\Contacts"}));
    EXPECT_TRUE(HasLine(r, "[options dialog] cancelled"));
}

// In the space Outlook gives it (its dialog grows with the screen's DPI), the page with its pairs shows
// no two controls overlapping, every text fitting and nothing outside (this suite runs again at 144 and
// 192 DPI).
TEST_F(OptionsDialog, ThePageLooksFinishedInOutlooksDialog) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const ProcessResult r = Outlook("\"layout:Options\" " + OnOptions("Cancel"));
    EXPECT_TRUE(HasLine(r, "[window] Options: layout finished")) << r.output;
    EXPECT_EQ(LinesStartingWith(r, "[check] FAILED"), std::vector<std::string>()) << r.output;
}

// The user's path in Outlook: no pairs yet, Add, Browse both sides through the picker tree, OK, and
// Outlook's OK saves the pair because the page says it is dirty.
TEST_F(OptionsDialog, OkAfterAddingAPairThroughThePickerWritesIt) {
    const ProcessResult r =
        Outlook(kListRows + AddPairThroughPicker(kCalendar1, kCalendar2) + kListRows + OnOptions("OK"));
    EXPECT_TRUE(HasLine(r, "[window] Options: 0 row(s)")) << r.output;
    EXPECT_EQ(Rows(r), (std::vector<std::string>{
                           "[row] Personal Folders\\Calendar | Mailbox - Ann Example\\Calendar"}));
    // The change reached Outlook's page site before Outlook asked for it.
    const long status = IndexOf(r, kPage + "PropertyPageSite.OnStatusChange");
    const long dirty = IndexOf(r, kPage + "Dirty true");
    ASSERT_GE(status, 0) << r.output;
    EXPECT_GT(dirty, status);
    EXPECT_GT(IndexOf(r, kPage + "Apply S_OK"), dirty);
    EXPECT_EQ(StoredPairs(), (std::vector<std::string>{
                                 "1. 'Personal Folders\\Calendar' - 'Mailbox - Ann Example\\Calendar' (Calendar)"}));
}

TEST_F(OptionsDialog, CancelAfterAChangeLeavesTheSettingsFileByteIdentical) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const std::string before = ReadFile(SettingsFile());
    ASSERT_FALSE(before.empty());
    const ProcessResult r = Outlook(OnOptions("Remove") + AddPairThroughPicker("Personal Folders\\Tasks", "Mailbox - Ann Example\\Tasks") +
                                    kListRows + OnOptions("Cancel"));
    EXPECT_EQ(Rows(r), (std::vector<std::string>{
                           "[row] Personal Folders\\Contacts | Mailbox - Ann Example\\Contacts",
                           "[row] Personal Folders\\Tasks | Mailbox - Ann Example\\Tasks"}))
        << r.output;
    EXPECT_TRUE(HasLine(r, kPage + "PropertyPageSite.OnStatusChange"));
    EXPECT_TRUE(LinesStartingWith(r, kPage + "Dirty").empty());
    EXPECT_TRUE(LinesStartingWith(r, kPage + "Apply").empty());
    EXPECT_EQ(ReadFile(SettingsFile()), before);
}

// Outlook's Apply button is enabled by the page's status change; what Apply wrote stays after Cancel, and
// OK of an unchanged page writes nothing.
TEST_F(OptionsDialog, DirtyFollowsTheChangesAndApplyWritesTheWorkingList) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const std::string before = ReadFile(SettingsFile());
    {
        const ProcessResult r = Outlook(OnOptions("OK"));
        EXPECT_TRUE(HasLine(r, kPage + "Dirty false")) << r.output;
        EXPECT_TRUE(LinesStartingWith(r, kPage + "Apply").empty());
        EXPECT_FALSE(HasLine(r, kPage + "PropertyPageSite.OnStatusChange"));
        EXPECT_EQ(ReadFile(SettingsFile()), before);
    }
    {
        // The first row is selected: Remove takes the calendars, the contacts stay.
        const ProcessResult r = Outlook(OnOptions("Remove") + OnOptions("Apply") + OnOptions("Cancel"));
        const long apply = IndexOf(r, kPage + "Apply S_OK");
        EXPECT_GT(apply, IndexOf(r, kPage + "PropertyPageSite.OnStatusChange")) << r.output;
        EXPECT_GT(IndexOf(r, "[options dialog] cancelled"), apply);
        EXPECT_EQ(StoredPairs(), (std::vector<std::string>{
                                     "1. 'Personal Folders\\Contacts' - 'Mailbox - Ann Example\\Contacts' (Contact)"}));
    }
}

// A settings file that cannot be replaced (made read-only): Apply and OK each tell the user with the
// file's path and answer Outlook with a failure, the file keeps its pairs, and OK leaves Outlook's dialog
// up so that the change is not dropped unseen.
TEST_F(OptionsDialog, ApplyOrOkThatCannotSaveTellsTheUserAndKeepsTheFile) {
    AddPair(kCalendar1, kCalendar2);
    AddPair(kContacts1, kContacts2);
    const std::string file = SettingsFile();
    const std::string before = ReadFile(file);
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto writable = zx::scope_exit([&] { SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL); });
    const std::string told =
        "[message box] Orvanta Merrowlink Addin: Cannot write the settings file '" + file + "'. The folder pairs were not saved.";
    for (const char* button : {"Apply", "OK"}) {
        const ProcessResult r = Outlook(OnOptions("Remove") + OnOptions(button) + OnOptions("Cancel"));
        EXPECT_EQ(LinesStartingWith(r, "[message box] "), std::vector<std::string>{told}) << button << "\n" << r.output;
        EXPECT_TRUE(HasLine(r, kPage + "Apply 0x80004005")) << button;
        EXPECT_FALSE(HasLine(r, "[options dialog] closed")) << button;
        EXPECT_TRUE(HasLine(r, "[options dialog] cancelled")) << button;
        EXPECT_EQ(ReadFile(file), before) << button;
    }
}

TEST_F(OptionsDialog, APageWithoutTheControllersSessionSaysSoAndStaysUp) {
    const ProcessResult r = Outlook(OnOptions("OK"), "--session missing");
    // The box is the page's; the dialog goes on, and the page (never loaded) is not dirty.
    EXPECT_TRUE(HasLine(r, "[message box] Error: Failed to get MAPI session!")) << r.output;
    EXPECT_TRUE(HasLine(r, kPage + "in-place activation S_OK"));
    EXPECT_TRUE(HasLine(r, kPage + "Dirty false"));
    EXPECT_TRUE(HasLine(r, kPage + "closed"));
}

TEST_F(OptionsDialog, MissingResourceLibrariesAreNamedAndOutlooksDialogCarriesOn) {
    const std::string folder = InstallFolder();
    for (const char* name : {"ZxRes.dll", "ZxResEN.dll"})
        ASSERT_TRUE(MoveFileA((folder + "\\" + name).c_str(), (folder + "\\" + name + ".aside").c_str())) << name;
    ProcessResult r;
    {
        const auto restore = zx::scope_exit([&] {
            for (const char* name : {"ZxRes.dll", "ZxResEN.dll"})
                MoveFileA((folder + "\\" + name + ".aside").c_str(), (folder + "\\" + name).c_str());
        });
        r = Outlook(OnOptions("Cancel"));
    }
    EXPECT_TRUE(HasLine(r, "[message box] Error: Failed to load resource from modules: 'ZxRes.dll, ZxResEN.dll'")) << r.output;
    EXPECT_TRUE(HasLine(r, kPage + "created 0x80004005"));
    // The automatic page needs none of them: it comes up, and the user is told once.
    EXPECT_TRUE(HasLine(r, kAutoPage + "in-place activation S_OK"));
    EXPECT_EQ(LinesStartingWith(r, "[message box] ").size(), 1u) << r.output;
    EXPECT_TRUE(HasLine(r, "[options dialog] cancelled"));
}

// ---- the page "Automatic synchronization" ---------------------------------------------------------

class AutoSyncOptionsDialog : public OptionsDialog {
protected:
    void Store(const CAutoSyncOptions& options) { ASSERT_TRUE(options.Save(m_profileName)); }
    std::string OptionsFile() const { return CAutoSyncOptions::FilePath(m_profileName); }
    static CAutoSyncOptions Options(bool interval, int minutes, bool atStart, bool afterChange) {
        CAutoSyncOptions options;
        options.interval = interval;
        options.minutes = minutes;
        options.atStart = atStart;
        options.afterChange = afterChange;
        return options;
    }
    static std::vector<std::string> AutoPageLines(const ProcessResult& r) { return LinesStartingWith(r, kAutoPage); }
};

// Outlook shows the second page on its own tab, made and closed as the first; the user changes what the
// stored options show, Outlook hears of the change, asks Dirty and Apply, and the file has the page's
// options while the pairs' page, unchanged, writes nothing.
TEST_F(AutoSyncOptionsDialog, ThePageShowsTheStoredOptionsAndOutlooksOkWritesTheChanges) {
    AddPair(kCalendar1, kCalendar2);
    const std::string pairs = ReadFile(SettingsFile());
    Store(Options(false, 30, true, false));
    const ProcessResult r = Outlook(kToAutoPage + OnOptions("Every") + Action("type", "Options", "5232:15") +
                                    OnOptions("Soon after an item changes in a paired folder") + OnOptions("OK"));
    EXPECT_TRUE(HasLine(r, "[options dialog] shown with 2 page(s)")) << r.output;
    EXPECT_TRUE(HasLine(r, "[window] Options: page \"Automatic synchronization\""));
    EXPECT_TRUE(LinesStartingWith(r, "[message box").empty()) << r.output;
    const std::vector<std::string> lines = AutoPageLines(r);
    const std::vector<std::string> expected = {kAutoPage + "created S_OK", kAutoPage + "InitNew S_OK",
                                               kAutoPage + "in-place activation S_OK",
                                               kAutoPage + "PropertyPageSite.OnStatusChange", kAutoPage + "Dirty true",
                                               kAutoPage + "Apply S_OK", kAutoPage + "closed"};
    // Each of the three changes tells Outlook; the order of the rest is the container's.
    std::vector<std::string> once;
    for (const std::string& line : lines)
        if (once.empty() || once.back() != line) once.push_back(line);
    EXPECT_EQ(once, expected) << r.output;
    EXPECT_TRUE(HasLine(r, kPage + "Dirty false"));
    EXPECT_EQ(ReadFile(SettingsFile()), pairs);
    // What the page read and the user did not touch is kept: the start-up run stays on.
    EXPECT_EQ(CAutoSyncOptions::Load(m_profileName), Options(true, 15, true, true));
}

// Cancel, or OK without a change, leaves the options file as it was.
TEST_F(AutoSyncOptionsDialog, CancelAfterAChangeOrOkWithoutOneLeavesTheFileByteIdentical) {
    Store(Options(true, 45, false, true));
    const std::string before = ReadFile(OptionsFile());
    ASSERT_FALSE(before.empty());
    for (const std::string& actions : {kToAutoPage + OnOptions("Every") + OnOptions("Cancel"), kToAutoPage + OnOptions("OK")}) {
        const ProcessResult r = Outlook(actions);
        EXPECT_TRUE(LinesStartingWith(r, kAutoPage + "Apply").empty()) << actions << "\n" << r.output;
        EXPECT_EQ(ReadFile(OptionsFile()), before) << actions;
    }
}

// What cannot be saved is said, Outlook's dialog stays up with the change, and the file keeps the old
// options: minutes out of range (while the interval is on), and a file that cannot be replaced.
TEST_F(AutoSyncOptionsDialog, OptionsThatCannotBeSavedAreSaidAndOutlooksDialogStays) {
    Store(Options(false, 60, false, false));
    const std::string file = OptionsFile();
    const std::string before = ReadFile(file);
    struct Case {
        const char* what;
        std::string actions;
        bool readOnly;
        std::string told;
    } cases[] = {
        {"minutes out of range", kToAutoPage + OnOptions("Every") + Action("type", "Options", "5232:1441"), false,
         "[message box] Orvanta Merrowlink Addin: Enter a number of minutes from 1 to 1440."},
        {"file read-only", kToAutoPage + OnOptions("When Outlook starts (after a short delay)"), true,
         "[message box] Orvanta Merrowlink Addin: Cannot write the automatic synchronization options file '" + file +
             "'. The options were not saved."},
    };
    for (const Case& c : cases) {
        if (c.readOnly) ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
        const auto writable = zx::scope_exit([&] { SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL); });
        const ProcessResult r = Outlook(c.actions + OnOptions("OK") + OnOptions("Cancel"));
        EXPECT_EQ(LinesStartingWith(r, "[message box] "), std::vector<std::string>{c.told}) << c.what << "\n" << r.output;
        EXPECT_TRUE(HasLine(r, kAutoPage + "Apply 0x80004005")) << c.what;
        EXPECT_FALSE(HasLine(r, "[options dialog] closed")) << c.what;
        EXPECT_TRUE(HasLine(r, "[options dialog] cancelled")) << c.what;
        EXPECT_EQ(ReadFile(file), before) << c.what;
    }
}

// On its tab, in the space Outlook gives it, the page shows no two controls overlapping, every text
// fitting and nothing outside (this suite runs again at 144 and 192 DPI).
TEST_F(AutoSyncOptionsDialog, ThePageLooksFinishedInOutlooksDialog) {
    const ProcessResult r = Outlook(kToAutoPage + "\"layout:Options\" " + OnOptions("Cancel"));
    EXPECT_TRUE(HasLine(r, "[window] Options: layout finished")) << r.output;
    EXPECT_EQ(LinesStartingWith(r, "[check] FAILED"), std::vector<std::string>()) << r.output;
}

// Without the controller's session the page cannot know whose options to show: it says so, shows
// nothing, and Outlook's dialog goes on with the other page.
TEST_F(AutoSyncOptionsDialog, WithoutTheControllersSessionThePageSaysSoAndWritesNothing) {
    const ProcessResult r = Outlook(OnOptions("OK"), "--session missing");
    EXPECT_EQ(LinesStartingWith(r, "[message box] Error: Failed to get MAPI session!").size(), 2u) << r.output;
    EXPECT_TRUE(HasLine(r, kAutoPage + "in-place activation 0x80004005"));
    EXPECT_TRUE(HasLine(r, kAutoPage + "Dirty false"));
    EXPECT_TRUE(HasLine(r, "[options dialog] closed"));
    EXPECT_EQ(GetFileAttributesA(OptionsFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
