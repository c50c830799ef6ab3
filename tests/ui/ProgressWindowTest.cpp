// The progress window as a user meets it: a real dialog that runs every pair once it shows, driven by
// clicks and keys posted to it while the run pumps its messages; what it shows is read back from its
// controls, and what it logs from the log file.
#include "UiTestSupport.h"

#include <commctrl.h>
#include <richedit.h>

#include <ctime>

#include "base/Paths.h"
#include "config/Settings.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "engine/SyncTestSupport.h"
#include "pictures/WindowLayout.h"
#include "support/MessageBoxObserver.h"
#include "ui/DlgSynchro.h"

namespace {

// A line as the report control shows it.
struct Shown {
    std::string text;
    COLORREF colour;
    bool operator==(const Shown& o) const { return text == o.text && colour == o.colour; }
};
void PrintTo(const Shown& line, std::ostream* os) {
    *os << (line.colour == RGB(255, 0, 0) ? "red '" : line.colour == 0 ? "black '" : "other '") << line.text << "'";
}

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlack = RGB(0, 0, 0);

// The report's paragraphs (a wrapped line is still one) with the colour of each.
std::vector<Shown> ShownLines(HWND edit) {
    GETTEXTLENGTHEX query{GTL_DEFAULT, CP_ACP};
    const int length = static_cast<int>(SendMessageA(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0));
    std::string all(static_cast<size_t>(length) + 1, '\0');
    GETTEXTEX get{static_cast<DWORD>(all.size()), GT_DEFAULT, CP_ACP, nullptr, nullptr};
    all.resize(static_cast<size_t>(
        SendMessageA(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(all.data()))));
    std::vector<Shown> lines;
    size_t start = 0;
    for (size_t end; (end = all.find('\r', start)) != std::string::npos; start = end + 1) {
        const std::string text = all.substr(start, end - start);
        COLORREF colour = CLR_NONE; // an empty line has no colour to read
        if (!text.empty()) {
            CHARRANGE sel{static_cast<LONG>(start), static_cast<LONG>(end)};
            SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
            CHARFORMATA format{};
            format.cbSize = sizeof(format);
            SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
            colour = (format.dwEffects & CFE_AUTOCOLOR) ? GetSysColor(COLOR_WINDOWTEXT) : format.crTextColor;
            if (!(format.dwMask & CFM_COLOR)) colour = CLR_INVALID; // mixed colours within the line
        }
        lines.push_back({text, colour});
    }
    EXPECT_EQ(all.size(), start) << "text after the last line break";
    return lines;
}

// What the engine reported, as the window must show it: one line each, in its colour.
std::vector<Shown> Expected(const std::vector<RecordingStatus::Line>& reported) {
    std::vector<Shown> lines;
    for (const RecordingStatus::Line& line : reported)
        lines.push_back({line.text, line.text.empty() ? CLR_NONE : (line.error ? kRed : kBlack)});
    return lines;
}

// The work the Synchronize command gives the window: every pair of the settings, once.
std::function<void(IStatusWindow&)> AllPairsOf(const CSettings& settings) {
    return [&settings](IStatusWindow& status) { RunAllPairs(settings.GetProfileName(), settings.GetAssocs(), status); };
}

// The progress window with a script: what happens when a line is shown, and after the run, as a user
// at the screen would act. A watchdog ends a window that a failing test left open.
class ScriptedSynchro : public CDlgSynchro {
public:
    using CDlgSynchro::CDlgSynchro;
    using CDlgSynchro::ReportError;
    using CDlgSynchro::ReportInfo;

    void ReportError(const std::string& text) override {
        reported.push_back({true, text});
        if (onLine) onLine(*this, text);
        CDlgSynchro::ReportError(text);
    }
    void ReportInfo(const std::string& text) override {
        reported.push_back({false, text});
        if (onLine) onLine(*this, text);
        CDlgSynchro::ReportInfo(text);
    }

    // Posted as a user's actions arrive: into the thread's queue, to the control they are aimed at.
    void ClickCancel() { PostMessageA(GetItem(IDCANCEL), BM_CLICK, 0, 0); }
    void PressKey(UINT key) {
        PostMessageA(GetItem(IDC_SYNCHRO_REPORT), WM_KEYDOWN, key, 1);
        PostMessageA(GetItem(IDC_SYNCHRO_REPORT), WM_KEYUP, key, 0xC0000001);
    }
    void CloseBox() { PostMessageA(GetHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }

    std::vector<RecordingStatus::Line> reported;
    std::vector<Shown> shownAfterRun;
    std::string buttonAfterRun;
    bool visibleAfterRun = false;
    bool runEnded = false;
    std::function<void(ScriptedSynchro&, const std::string&)> onLine;
    std::function<void(ScriptedSynchro&)> afterRun;

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_INITDIALOG) SetTimer(GetHwnd(), kWatchdog, 60000, nullptr);
        if (message == WM_TIMER && wParam == kWatchdog) {
            ADD_FAILURE() << "the window was left open";
            EndDialog(-2);
            return TRUE;
        }
        const INT_PTR result = CDlgSynchro::OnMessage(message, wParam, lParam);
        if (message == WM_START_RUN) {
            runEnded = true;
            shownAfterRun = ShownLines(GetItem(IDC_SYNCHRO_REPORT));
            buttonAfterRun = WindowText(GetItem(IDCANCEL));
            visibleAfterRun = IsWindowVisible(GetHwnd());
            if (afterRun) afterRun(*this);
        }
        return result;
    }

private:
    static constexpr UINT_PTR kWatchdog = 0x5A57;
};

class ProgressWindowTest : public SyncFixture {
protected:
    void SetUp() override {
        SyncFixture::SetUp();
        m_pause = CDlgSynchro::SetPumpPause(0);
        m_dataFolder = SetAddinDataFolderOverride(m_data.Path());
        GetLogFile().Close(); // the log follows the data folder when it opens next
    }
    void TearDown() override {
        GetLogFile().Close();
        SetAddinDataFolderOverride(m_dataFolder);
        CDlgSynchro::SetPumpPause(m_pause);
        SyncFixture::TearDown();
    }

    // Pairs P1..Pn of fresh folders, each with one item on its left side; `closed` (1-based) leaves that
    // pair's first folder closed, as when it cannot be opened.
    CSettings Pairs(int count, int closed = 0) {
        CSettings settings(kProfile);
        m_right.clear();
        for (int i = 1; i <= count; ++i) {
            const std::string n = std::to_string(i);
            const standin::Bytes left = AddFolder("P" + n + "a");
            const standin::Bytes right = AddFolder("P" + n + "b");
            m_right.push_back(right);
            Add(left, "Item" + n, "x");
            settings.GetAssocs().push_back(
                MakePair(i == closed ? standin::Bytes() : left, Name(i, 'a'), right, Name(i, 'b')));
        }
        return settings;
    }
    static std::string Name(int pair, char side) { return "Personal Folders\\P" + std::to_string(pair) + side; }
    static int Count(const std::vector<RecordingStatus::Line>& lines, const std::string& text) {
        int n = 0;
        for (const auto& line : lines) n += line.text == text;
        return n;
    }
    void ExpectLogged(const LogCapture& log, const std::vector<RecordingStatus::Line>& lines) {
        const std::string text = log.Text();
        size_t at = 0;
        for (const auto& line : lines) {
            const std::string entry =
                std::string(line.error ? "Error: " : "Info: ") + GetLogFile().StripLineBreaks(line.text);
            const size_t found = text.find(entry, at);
            ASSERT_NE(std::string::npos, found) << entry;
            at = found + entry.size();
        }
    }

    std::vector<standin::Bytes> m_right;

private:
    DWORD m_pause = 0;
    std::string m_dataFolder;
};

} // namespace

TEST_F(ProgressWindowTest, ARunWithoutPairsClosesItselfWithOK) {
    CSettings settings(kProfile);
    ScriptedSynchro window(AllPairsOf(settings));
    EXPECT_EQ(IDOK, window.DoModal());
    EXPECT_TRUE(window.runEnded);
    EXPECT_TRUE(window.reported.empty());
    EXPECT_TRUE(window.shownAfterRun.empty());
    EXPECT_FALSE(window.HadErrors());
}

TEST_F(ProgressWindowTest, AGoodRunShowsEveryLineInBlackLogsItAndClosesWithOK) {
    CSettings settings = Pairs(2);
    LogCapture log;
    ScriptedSynchro window(AllPairsOf(settings));
    EXPECT_EQ(IDOK, window.DoModal());
    ASSERT_EQ(22u, window.reported.size());
    EXPECT_EQ(Expected(window.reported), window.shownAfterRun);
    ExpectLogged(log, window.reported);
    EXPECT_EQ((std::multiset<std::string>{"Item2|x"}), Contents(m_right[1]));
}

TEST_F(ProgressWindowTest, AFolderThatCannotBeOpenedIsARedLineAndTheWindowStaysWithClose) {
    CSettings settings = Pairs(3, 2);
    LogCapture log;
    ScriptedSynchro window(AllPairsOf(settings));
    window.onLine = [](ScriptedSynchro& w, const std::string& text) {
        if (text != "Scanning folder '" + Name(1, 'a') + "'.") return;
        // Enter (the hidden OK) while the run works changes nothing, and typing into the report neither.
        PostMessageA(w.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        PostMessageA(w.GetItem(IDC_SYNCHRO_REPORT), WM_CHAR, 'z', 1);
    };
    window.afterRun = [](ScriptedSynchro& w) {
        // Shown again (restored), the window does not run a second time.
        ShowWindow(w.GetHwnd(), SW_HIDE);
        ShowWindow(w.GetHwnd(), SW_SHOW);
        w.ClickCancel();
    };
    EXPECT_EQ(IDCANCEL, window.DoModal());

    const std::string cannotOpen =
        "Cannot open folder '" + Name(2, 'a') + "'. Synchronization of this folder has been interrupted.";
    EXPECT_EQ(1, Count(window.reported, cannotOpen));
    EXPECT_EQ(11u + 2u + 11u, window.reported.size()); // pair 3 ran after it
    EXPECT_EQ(Expected(window.reported), window.shownAfterRun);
    EXPECT_EQ((Shown{cannotOpen, kRed}), window.shownAfterRun[12]);
    EXPECT_EQ("Close", window.buttonAfterRun);
    EXPECT_TRUE(window.visibleAfterRun);
    EXPECT_TRUE(window.HadErrors());
    ExpectLogged(log, window.reported);
    EXPECT_EQ((std::multiset<std::string>{"Item3|x"}), Contents(m_right[2]));
}

TEST_F(ProgressWindowTest, CancelDuringPairTwoOfThreeStopsItAndItsChangesArriveAtTheNextRun) {
    CSettings settings = Pairs(3);
    {
        ScriptedSynchro window(AllPairsOf(settings));
        window.onLine = [](ScriptedSynchro& w, const std::string& text) {
            if (text == "Synchronization of changed items." && Count(w.reported, text) == 2) w.ClickCancel();
        };
        window.afterRun = [](ScriptedSynchro& w) { w.PressKey(VK_ESCAPE); };
        EXPECT_EQ(IDCANCEL, window.DoModal());

        ASSERT_EQ(11u + 5u + 1u, window.reported.size());
        EXPECT_EQ((Shown{"Synchronization interrupted by user.", kRed}), window.shownAfterRun.back());
        EXPECT_EQ(Expected(window.reported), window.shownAfterRun);
        for (const auto& line : window.reported) EXPECT_EQ(std::string::npos, line.text.find("P3")) << line.text;
        EXPECT_EQ("Close", window.buttonAfterRun);
        EXPECT_EQ((std::multiset<std::string>{}), Contents(m_right[1]));
        EXPECT_EQ((std::multiset<std::string>{}), Contents(m_right[2]));
        EXPECT_EQ(5u, CacheFiles().size()); // pair 2 saved its caches on the way out
    }
    // The next run carries what pair 2 had not carried, and runs pair 3.
    ScriptedSynchro again(AllPairsOf(settings));
    EXPECT_EQ(IDOK, again.DoModal());
    EXPECT_EQ((std::multiset<std::string>{"Item2|x"}), Contents(m_right[1]));
    EXPECT_EQ((std::multiset<std::string>{"Item3|x"}), Contents(m_right[2]));
    EXPECT_FALSE(again.HadErrors());
}

TEST_F(ProgressWindowTest, CancelEscapeAndTheCloseBoxStopTheRunWhileItWorks) {
    struct Case {
        const char* name;
        std::function<void(ScriptedSynchro&)> act;
    };
    const Case cases[] = {
        {"Cancel button", [](ScriptedSynchro& w) { w.ClickCancel(); }},
        {"Escape key", [](ScriptedSynchro& w) { w.PressKey(VK_ESCAPE); }},
        {"close box", [](ScriptedSynchro& w) { w.CloseBox(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuildWorld();
        CSettings settings = Pairs(2);
        ScriptedSynchro window(AllPairsOf(settings));
        window.onLine = [&](ScriptedSynchro& w, const std::string& text) {
            if (text == "Scanning folder '" + Name(1, 'b') + "'.") c.act(w);
        };
        bool stillOpen = false;
        window.afterRun = [&](ScriptedSynchro& w) {
            stillOpen = IsWindow(w.GetHwnd()) && w.buttonAfterRun == "Close";
            c.act(w); // now it closes the window
        };
        EXPECT_EQ(IDCANCEL, window.DoModal());
        ASSERT_EQ(4u, window.reported.size());
        EXPECT_EQ(RecordingStatus::Line({true, "Synchronization interrupted by user."}), window.reported.back());
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ((std::multiset<std::string>{}), Contents(m_right[0]));
        m_pairs.clear();
    }
}

TEST_F(ProgressWindowTest, EachReportIsOneLineInItsColourAndInTheLog) {
    CSettings settings(kProfile);
    ScriptedSynchro window(AllPairsOf(settings));
    window.Create(); // not shown: no run starts
    ASSERT_NE(nullptr, window.GetHwnd());
    LogCapture log;
    window.ReportInfo("a\nb");
    window.ReportError("x\r\ny");
    window.ReportInfo(
        "c\xFF"
        "d");
    window.ReportErrorFormat(static_cast<unsigned>(IDS_CANNOT_OPEN_FOLDER), "Mailbox\\Calendar");
    window.ReportInfo(static_cast<unsigned>(IDS_SEARCHING_CONFLICTS));
    window.ReportInfo("");
    window.ReportError("last");

    const std::vector<Shown> expected{
        {"a b", kBlack},
        {"x y", kRed},
        {"c", kBlack},
        {"d", kBlack},
        {"Cannot open folder 'Mailbox\\Calendar'. Synchronization of this folder has been interrupted.", kRed},
        {"Searching for conflicts.", kBlack},
        {"", CLR_NONE},
        {"last", kRed},
    };
    EXPECT_EQ(expected, ShownLines(window.GetItem(IDC_SYNCHRO_REPORT)));
    EXPECT_TRUE(window.HadErrors());
    ExpectLogged(log, window.reported);
}

TEST_F(ProgressWindowTest, AQuitMessageMetWhilePumpingIsLeftForTheThreadsOwnLoop) {
    CSettings settings(kProfile);
    CDlgSynchro window(AllPairsOf(settings));
    window.Create();
    PostQuitMessage(7);
    window.ReportInfo("a");
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
}

TEST_F(ProgressWindowTest, TheBarMovesAtMostEveryHalfSecondAndPumpsOnlyThen) {
    CSettings settings(kProfile);
    CDlgSynchro window(AllPairsOf(settings));
    window.Create();
    HWND bar = window.GetItem(IDC_SYNCHRO_PROGRESS);
    EXPECT_FALSE(GetWindowLongPtrA(bar, GWL_STYLE) & WS_VISIBLE);
    window.ShowProgress(100);
    EXPECT_TRUE(GetWindowLongPtrA(bar, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(100, static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)));

    auto position = [&] { return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)); };
    auto pending = [&] {
        MSG msg;
        return PeekMessageA(&msg, window.GetHwnd(), WM_APP, WM_APP, PM_NOREMOVE) != 0;
    };
    // The first redraw comes once half a second of the clock has passed.
    while (std::clock() * 1000 / CLOCKS_PER_SEC < 600) Sleep(20);
    window.SetProgress(5);
    EXPECT_EQ(5, position());
    PostMessageA(window.GetHwnd(), WM_APP, 0, 0);
    for (int i = 6; i < 40; ++i) window.SetProgress(i);
    EXPECT_EQ(5, position());
    EXPECT_TRUE(pending()); // skipped updates pump nothing
    Sleep(550);
    window.SetProgress(41);
    EXPECT_EQ(41, position());
    EXPECT_FALSE(pending());

    window.HideProgress();
    EXPECT_FALSE(GetWindowLongPtrA(bar, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(ProgressWindowTest, AfterARunWithErrorsTheWindowLooksFinished) {
    CSettings settings = Pairs(3, 2);
    ScriptedSynchro window(AllPairsOf(settings));
    std::vector<std::string> faults{"not checked"};
    window.afterRun = [&](ScriptedSynchro& w) {
        faults = standin::FindLayoutFaults(w.GetHwnd());
        w.ClickCancel();
    };
    EXPECT_EQ(IDCANCEL, window.DoModal());
    EXPECT_EQ(faults, std::vector<std::string>());
}

// Deleting every item of a folder waits for the user's word, asked in a box over the progress window
// (Yes / No, No the default): No leaves both folders, a red line says what is held and the window stays
// with "Close"; Yes at the next run carries the deletions and the window closes itself.
TEST_F(ProgressWindowTest, TheQuestionBeforeAMassDeletionIsAskedOverTheWindow) {
    CSettings settings = Pairs(1);
    for (int k = 2; k <= 4; ++k) Add(standin::FolderByPath(Name(1, 'a')), "More" + std::to_string(k), "x");
    {
        ScriptedSynchro first(AllPairsOf(settings));
        ASSERT_EQ(IDOK, first.DoModal());
    }
    ASSERT_EQ(4u, Contents(m_right[0]).size());
    for (const standin::ItemView& item : standin::Items(standin::FolderByPath(Name(1, 'a')))) standin::DeleteItem(item.entryId);

    MessageBoxObserver boxes;
    boxes.AnswerWith(IDNO);
    HWND shownOver = nullptr;
    ScriptedSynchro no(AllPairsOf(settings));
    no.onLine = [&](ScriptedSynchro& w, const std::string&) { shownOver = w.GetHwnd(); };
    no.afterRun = [](ScriptedSynchro& w) { w.ClickCancel(); };
    EXPECT_EQ(IDCANCEL, no.DoModal());
    ASSERT_EQ(1u, boxes.Shown().size());
    const MessageBoxObserver::Box& box = boxes.Shown()[0];
    EXPECT_EQ("Synchronization would delete 4 of the 4 items of folder '" + Name(1, 'b') +
                  "', because they are missing from folder '" + Name(1, 'a') +
                  "'. Delete them?\n\nAnswer No if folder '" + Name(1, 'a') +
                  "' is still being downloaded or was restored from an old backup: both folders stay as they are, "
                  "and you are asked again at the next synchronization.",
              box.text);
    EXPECT_EQ("Orvanta Merrowlink Addin", box.caption);
    EXPECT_EQ(static_cast<unsigned>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2), box.type);
    EXPECT_EQ(shownOver, box.owner);
    const std::string held =
        "The deletion of 4 items from folder '" + Name(1, 'b') + "' is held until you confirm it. Nothing was deleted.";
    EXPECT_EQ(1, Count(no.reported, held));
    EXPECT_EQ(Expected(no.reported), no.shownAfterRun);
    EXPECT_EQ("Close", no.buttonAfterRun);
    EXPECT_EQ(4u, Contents(m_right[0]).size());

    boxes.AnswerWith(IDYES);
    ScriptedSynchro yes(AllPairsOf(settings));
    EXPECT_EQ(IDOK, yes.DoModal());
    EXPECT_EQ(2u, boxes.Shown().size());
    EXPECT_FALSE(yes.HadErrors());
    EXPECT_TRUE(Contents(m_right[0]).empty());
}
