// The add-in as Outlook meets it: registered with regsvr32, created by the stand-in Outlook host from the
// registry, connected, driven by explorer and application events, disconnected and unloaded.
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

using namespace addintest;

namespace {

class Host : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(EnsureRegistered());
    }

    // Runs the host and checks what every run must end with: no box left unanswered, the module free to
    // unload and no object of Outlook or MAPI kept alive by the add-in.
    ProcessResult Run(const std::string& arguments) {
        ProcessResult r = RunHost(arguments);
        ExpectHostEndedClean(r, arguments);
        return r;
    }

    static long Count(const ProcessResult& r, const std::string& line) {
        return std::count(r.lines.begin(), r.lines.end(), line);
    }
    // Position of the first line equal to `line`, or -1.
    static long IndexOf(const ProcessResult& r, const std::string& line) {
        const auto found = std::find(r.lines.begin(), r.lines.end(), line);
        return found == r.lines.end() ? -1 : static_cast<long>(found - r.lines.begin());
    }
    static std::vector<std::string> Boxes(const ProcessResult& r) {
        std::vector<std::string> boxes;
        for (const std::string& line : r.lines)
            if (line.rfind("[message box", 0) == 0) boxes.push_back(line);
        return boxes;
    }
    static std::string Markup(const ProcessResult& r) {
        std::string text;
        bool inside = false;
        for (const std::string& line : r.lines) {
            if (line.rfind("[customui] ", 0) == 0) {
                inside = line.find("markup follows") != std::string::npos;
                continue;
            }
            if (inside) text += line + "\n";
        }
        return text;
    }
};

const std::string kAddin = "[addin] ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi: ";

TEST_F(Host, LoadsTheRegisteredAddInAndUnloadsItCleanly) {
    const ProcessResult r = Run("connect startup activate selection options disconnect");
    EXPECT_TRUE(HasLine(r, kAddin + "created S_OK"));
    EXPECT_TRUE(HasLine(r, kAddin + "OnConnection S_OK"));
    EXPECT_TRUE(HasLine(r, kAddin + "OnStartupComplete S_OK"));
    EXPECT_TRUE(HasLine(r, kAddin + "OnDisconnection S_OK"));
    EXPECT_TRUE(Boxes(r).empty()) << Boxes(r)[0];
}

TEST_F(Host, OutlookStartingWithoutAnExplorerSetsTheControllerUpAtTheFirstNewExplorer) {
    const ProcessResult r = Run("--explorers 0 --trace connect startup new-explorer activate:1");
    const long session = IndexOf(r, "[call] NameSpace.MAPIOBJECT");
    const long opened = IndexOf(r, "[event] Explorers.NewExplorer(Explorer1): 1 sink(s)");
    ASSERT_GE(opened, 0) << r.output;
    EXPECT_LT(IndexOf(r, kAddin + "OnStartupComplete S_OK"), session);
    EXPECT_LT(session, opened) << "the session is taken while the new explorer's event is handled";
    EXPECT_EQ(Count(r, "[call] NameSpace.MAPIOBJECT"), 1);
    // Only the explorers and application sinks were advised: the new explorer has no sink of its own.
    EXPECT_TRUE(HasLine(r, "[event] Explorer1.Activate: 0 sink(s)"));
}

TEST_F(Host, WithoutAnActiveExplorerTheFirstOfTheCollectionIsWatched) {
    const ProcessResult r = Run("--explorers 2 --no-active-explorer --trace connect activate:1 activate:2");
    EXPECT_TRUE(HasLine(r, "[call] Explorers.Item"));
    EXPECT_TRUE(HasLine(r, "[event] Explorer1.Activate: 1 sink(s)"));
    EXPECT_TRUE(HasLine(r, "[event] Explorer2.Activate: 0 sink(s)"));
    EXPECT_EQ(Count(r, "[call] NameSpace.MAPIOBJECT"), 1);

    char appData[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    std::ifstream log(std::string(appData) + "\\ZxBrackenmeadowSyncAddin\\ZxBrackenmeadowSyncAddin.log");
    std::stringstream content;
    content << log.rdbuf();
    EXPECT_NE(content.str().find("Info: No active explorer was found. Getting the first one from explorers collection."),
              std::string::npos)
        << content.str();
}

TEST_F(Host, CommandBarsAreReachedOnlyBeforeVersion14) {
    struct Case {
        const char* version;
        bool commandBars;
    } cases[] = {{"12.0.0.6423", true}, {"9.0", true}, {"14.0.0.4760", false}, {"16.0.0.4266", false}};
    for (const Case& c : cases) {
        const ProcessResult r = Run(std::string("--version ") + c.version + " --trace connect startup");
        EXPECT_EQ(HasLine(r, "[call] Explorer1.CommandBars"), c.commandBars) << c.version << "\n" << r.output;
        EXPECT_TRUE(Boxes(r).empty()) << c.version;
    }
}

TEST_F(Host, TheControllerIsSetUpOnce) {
    const ProcessResult r = Run("--trace connect startup activate selection activate");
    EXPECT_EQ(Count(r, "[call] NameSpace.MAPIOBJECT"), 1) << r.output;
    EXPECT_EQ(Count(r, "[call] Explorer1.Application"), 1) << r.output;
}

// Closing the only window is Outlook's end: the controller goes down and the sink is disconnected.
TEST_F(Host, ClosingTheLastExplorerTakesTheControllerDownAndDisconnectsItsSink) {
    const ProcessResult r = Run("--trace connect startup close:1 activate:1 new-explorer activate:2");
    EXPECT_TRUE(HasLine(r, "[event] Explorer1.Close: 1 sink(s)"));
    EXPECT_TRUE(HasLine(r, "[event] Explorer1.Activate: 0 sink(s)"));
    // No explorers sink was advised at connection, so nothing sets the controller up again.
    EXPECT_TRUE(HasLine(r, "[event] Explorers.NewExplorer(Explorer2): 0 sink(s)"));
    EXPECT_EQ(Count(r, "[call] NameSpace.MAPIOBJECT"), 1);
}

// With two windows, closing the watched one moves the watch to the other; closing that one, the last,
// ends the controller and the watch.
TEST_F(Host, ClosingOneOfTwoExplorersMovesTheWatchToTheOther) {
    const ProcessResult r = Run("--explorers 2 --trace connect startup close:1 activate:1 activate:2 close:2 activate:2");
    EXPECT_TRUE(HasLine(r, "[event] Explorer1.Close: 1 sink(s)")) << r.output;
    EXPECT_TRUE(HasLine(r, "[event] Explorer1.Activate: 0 sink(s)"));
    EXPECT_TRUE(HasLine(r, "[event] Explorer2.Activate: 1 sink(s)")) << r.output;
    EXPECT_TRUE(HasLine(r, "[event] Explorer2.Close: 1 sink(s)"));
    EXPECT_EQ(Count(r, "[event] Explorer2.Activate: 0 sink(s)"), 1) << r.output;
    // The controller was set up once and never taken down before the last window closed.
    EXPECT_EQ(Count(r, "[call] NameSpace.MAPIOBJECT"), 1);
    EXPECT_TRUE(Boxes(r).empty()) << Boxes(r)[0];
}

TEST_F(Host, LaterNewExplorersFindTheControllerSetUp) {
    // With no explorer at start the explorers sink stays advised and hears every new explorer.
    const ProcessResult r = Run("--explorers 0 --trace connect new-explorer new-explorer");
    EXPECT_EQ(Count(r, "[call] NameSpace.MAPIOBJECT"), 1) << "the second explorer finds the controller set up";
}

TEST_F(Host, EveryOpeningOfTheOptionsDialogAddsEachPageExactlyOnce) {
    const ProcessResult r = Run("connect startup options options");
    EXPECT_EQ(Count(r, "[event] Application.OptionsPagesAdd: 1 sink(s), 2 page(s) added"), 2) << r.output;
    EXPECT_EQ(Count(r, "[options page] ZxBrackenmeadowSyncExt.SettingsPropPage: Orvanta Merrowlink Addin"), 2);
    EXPECT_EQ(Count(r, "[options page] ZxBrackenmeadowSyncExt.AutoSyncPropPage: Automatic synchronization"), 2);
}

TEST_F(Host, GetCustomUIAnswersOnlyTheExplorerRibbon) {
    struct Case {
        const char* id;
        bool markup;
    } cases[] = {{"Microsoft.Outlook.Explorer", true},
                 {"microsoft.outlook.explorer", true},
                 {"Microsoft.Outlook.Mail.Read", false},
                 {"Microsoft.Outlook.Mail.Compose", false}};
    for (const Case& c : cases) {
        const ProcessResult r = Run(std::string("connect customui:") + c.id);
        EXPECT_TRUE(HasLine(r, std::string("[customui] ") + c.id + ": S_OK, " + (c.markup ? "markup follows" : "no markup")))
            << c.id << "\n" << r.output;
    }
}

TEST_F(Host, TheRibbonMarkupExtendsSixTabsAndTheBackstage) {
    const std::string markup = Markup(Run("connect customui"));
    ASSERT_FALSE(markup.empty());
    EXPECT_EQ(markup.rfind("<?xml version=\"1.0\" encoding=\"windows-1250\"?>", 0), 0u);
    EXPECT_NE(markup.find("<customUI xmlns=\"http://schemas.microsoft.com/office/2009/07/customui\" onLoad=\"OnRibbonLoad\">"),
              std::string::npos);
    struct Tab {
        const char* idMso;
        const char* group;
        const char* button;
    } tabs[] = {{"TabMail", "MerrowlinkGroupMail", "SynchronizeMail"},
                {"TabCalendar", "MerrowlinkGroupCalendar", "SynchronizeCalendar"},
                {"TabContacts", "MerrowlinkGroupContacts", "SynchronizeContacts"},
                {"TabNotes", "MerrowlinkGroupNotes", "SynchronizeNotes"},
                {"TabJournals", "MerrowlinkGroupJournals", "SynchronizeJournas"},
                {"TabTasks", "MerrowlinkGroupTasks", "SynchronizeTasks"}};
    size_t at = 0;
    for (const Tab& t : tabs) {
        const std::string tab = std::string("<tab idMso=\"") + t.idMso + "\">";
        const std::string group = std::string("<group id=\"") + t.group + "\" label=\"Merrowlink Addin\">";
        const std::string button = std::string("<button id=\"") + t.button +
                                   "\" label=\"Synchronize\" showImage=\"true\" size=\"large\" "
                                   "onAction=\"OnSyncButtonClicked\" getImage=\"GetSyncBtnImage\"/>";
        const size_t tabAt = markup.find(tab, at);
        ASSERT_NE(tabAt, std::string::npos) << t.idMso;
        const size_t groupAt = markup.find(group, tabAt);
        const size_t buttonAt = markup.find(button, tabAt);
        const size_t tabEnd = markup.find("</tab>", tabAt);
        EXPECT_LT(groupAt, buttonAt) << t.idMso;
        EXPECT_LT(buttonAt, tabEnd) << t.idMso;
        at = tabEnd;
    }
    size_t tabCount = 0;
    for (size_t i = markup.find("<tab "); i != std::string::npos; i = markup.find("<tab ", i + 1)) ++tabCount;
    EXPECT_EQ(tabCount, 6u);
    const size_t backstage = markup.find("<backstage>");
    ASSERT_NE(backstage, std::string::npos);
    EXPECT_NE(markup.find("<button insertAfterMso=\"ApplicationOptionsDialog\" id=\"ZxMerrowlinkAddin\" "
                          "label=\"Orvanta Merrowlink Addin\" enabled=\"true\" visible=\"true\" "
                          "getImage=\"GetSyncBtnImage\" onAction=\"OnOptionsBtnClicked\"/>",
                          backstage),
              std::string::npos);
}

TEST_F(Host, RibbonCallbacksAreReachedByNameThroughIDispatch) {
    // The empty profile has no pair: both commands open the options sheet, which the user cancels.
    const ProcessResult r = Run("\"press:Program settings:Cancel\" \"press:Program settings:Cancel\" connect startup "
                                "ribbon-load callback:OnSyncButtonClicked callback:OnOptionsBtnClicked "
                                "callback:NoSuchCallback");
    const std::string ribbon = "[ribbon] ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi: ";
    EXPECT_TRUE(HasLine(r, ribbon + "OnRibbonLoad S_OK")) << r.output;
    EXPECT_EQ(Count(r, "[window] opened: Program settings"), 2) << r.output;
    EXPECT_FALSE(HasLine(r, "[window] opened: Data synchronization")) << r.output;
    EXPECT_TRUE(HasLine(r, ribbon + "OnSyncButtonClicked S_OK, returned nothing"));
    EXPECT_TRUE(HasLine(r, ribbon + "OnOptionsBtnClicked S_OK, returned nothing"));
    EXPECT_TRUE(HasLine(r, ribbon + "NoSuchCallback 0x80020006, returned nothing")) << "DISP_E_UNKNOWNNAME";
}

TEST_F(Host, ASessionThatCannotBeHadIsReportedAndTheAddInStaysLoaded) {
    for (const char* mode : {"missing", "failing"}) {
        const ProcessResult r = Run(std::string("--session ") + mode + " connect startup customui options");
        const std::vector<std::string> expected = {"[message box icon] error",
                                                   "[message box] Error: Failed to obtain MAPI session."};
        EXPECT_EQ(Boxes(r), expected) << mode;
        EXPECT_TRUE(HasLine(r, kAddin + "OnStartupComplete S_OK")) << mode;
        EXPECT_TRUE(HasLine(r, "[customui] Microsoft.Outlook.Explorer: S_OK, markup follows")) << mode;
        EXPECT_TRUE(HasLine(r, "[event] Application.OptionsPagesAdd: 1 sink(s), 2 page(s) added")) << mode;
    }
}

TEST_F(Host, WithoutASessionEachCommandLogsAndShowsItsFailureAndTheButtonStillHasItsPicture) {
    const ProcessResult r = Run("--session missing connect startup ribbon-load callback:OnSyncButtonClicked "
                                "callback:OnOptionsBtnClicked callback:GetSyncBtnImage");
    const std::string ribbon = "[ribbon] ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi: ";
    // Start-up's box, then one error box per command; Outlook gets no error back from either.
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) {
        expected.push_back("[message box icon] error");
        expected.push_back("[message box] Error: Failed to obtain MAPI session.");
    }
    EXPECT_EQ(Boxes(r), expected) << r.output;
    EXPECT_TRUE(HasLine(r, ribbon + "OnSyncButtonClicked S_OK, returned nothing")) << r.output;
    EXPECT_TRUE(HasLine(r, ribbon + "OnOptionsBtnClicked S_OK, returned nothing")) << r.output;
    EXPECT_FALSE(HasLine(r, "[window] opened: Program settings"));
    EXPECT_TRUE(HasLine(r, ribbon + "GetSyncBtnImage S_OK, returned an object")) << r.output;

    // The commands, which start user work, also log what stopped them; start-up does not.
    char appData[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    const std::string log = ReadFile(std::string(appData) + "\\ZxBrackenmeadowSyncAddin\\ZxBrackenmeadowSyncAddin.log");
    const std::string entry = "Error: Failed to obtain MAPI session. module: Commands, line: ";
    size_t entries = 0;
    for (size_t at = log.find(entry); at != std::string::npos; at = log.find(entry, at + 1)) ++entries;
    EXPECT_EQ(entries, 2u) << log;
}

TEST_F(Host, ObjectModelFailuresAreShownWithTheirDescription) {
    struct Case {
        const char* failing;
        const char* steps;
        const char* icon;
        const char* text;
    } cases[] = {
        // Connection: the application's message box with its default icon.
        {"Application.Explorers", "connect", "exclamation", "The stand-in refused Application.Explorers."},
        // Start-up completion sets the controller up.
        {"Explorer1.Application", "connect startup", "exclamation", "The stand-in refused Explorer1.Application."},
        // The explorer sink shows the error icon.
        {"Explorer1.Application", "connect activate", "error", "The stand-in refused Explorer1.Application."},
        // The options pages handler.
        {"PropertyPages.Add", "connect options", "exclamation", "The stand-in refused PropertyPages.Add."},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Run(std::string("--fail ") + c.failing + " " + c.steps);
        const std::vector<std::string> boxes = Boxes(r);
        ASSERT_EQ(boxes.size(), 2u) << c.failing << " " << c.steps << "\n" << r.output;
        EXPECT_EQ(boxes[0], std::string("[message box icon] ") + c.icon) << c.steps;
        // "<description> - <system message for E_FAIL>"
        const std::string prefix = std::string("[message box] Orvanta Merrowlink Addin: ") + c.text + " - ";
        EXPECT_EQ(boxes[1].rfind(prefix, 0), 0u) << boxes[1];
        EXPECT_GT(boxes[1].size(), prefix.size()) << "the system's text for E_FAIL follows";
    }
}

} // namespace
