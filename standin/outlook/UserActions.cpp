#include "UserActions.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "Standin.h"
#include "base/Resource.h"
#include "pictures/TreeItems.h"
#include "pictures/WindowLayout.h"
#include "pictures/WindowPicture.h"

namespace useractions {

namespace {

Printer g_print = nullptr;
int g_failedChecks = 0;

void Print(const std::string& line) {
    if (g_print) g_print(line);
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// A button's caption as read aloud: without the mnemonic marks.
std::string Caption(HWND window) {
    std::string text;
    for (char c : WindowText(window))
        if (c != '&') text += c;
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The visible top-level window of this thread with this caption.
HWND FindThreadWindow(const std::string& caption) {
    struct Search {
        const std::string* caption;
        HWND found;
    } search{&caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (IsWindowVisible(window) && WindowText(window) == *s->caption) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The first descendant of window that satisfies match (visible only, unless `hiddenToo`: a window that is
// closing is hidden before it goes).
template <class Match>
HWND FindDescendant(HWND window, Match match, bool hiddenToo = false) {
    struct Search {
        Match* match;
        bool hiddenToo;
        HWND found;
    } search{&match, hiddenToo, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if ((s->hiddenToo || IsWindowVisible(child)) && (*s->match)(child)) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A button by its caption ("Add...", "OK") or, given as a number, by its control id.
HWND FindButton(HWND window, const std::string& button, bool hiddenToo = false) {
    const bool byId = !button.empty() && button.find_first_not_of("0123456789") == std::string::npos;
    if (byId) return GetDlgItem(window, std::atoi(button.c_str()));
    return FindDescendant(
        window, [&](HWND child) { return ClassOf(child) == "Button" && Caption(child) == button; }, hiddenToo);
}

HWND FindOfClass(HWND window, const char* className) {
    return FindDescendant(window, [&](HWND child) { return ClassOf(child) == className; });
}

// The progress window's report: its rich edit control, one entry per line.
std::vector<std::string> ReportLines(HWND window) {
    std::vector<std::string> lines;
    const HWND report =
        FindDescendant(window, [](HWND child) { return ClassOf(child).rfind("RichEdit", 0) == 0; }, true);
    if (!report) return lines;
    std::string line;
    for (char c : WindowText(report)) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else
            line += c;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Walks a path ("Store\Folder\Sub") as a user does with the keyboard: each item is selected, and every
// item but the last (with `expandLast`, the last too) is opened with the right arrow key, which makes the
// tree ask its owner for the children. Returns the last item, null when one is missing (so far).
HTREEITEM WalkPath(HWND tree, const std::string& path, bool expandLast) {
    HTREEITEM item = nullptr;
    size_t start = 0;
    while (true) {
        const size_t cut = path.find('\\', start);
        const std::string part = path.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
        const HTREEITEM next = standin::TreeChildNamed(tree, item, part);
        if (!next) return nullptr;
        item = next;
        TreeView_SelectItem(tree, item);
        const bool last = cut == std::string::npos;
        if ((!last || expandLast) && !(TreeView_GetItemState(tree, item, TVIS_EXPANDED) & TVIS_EXPANDED))
            SendMessageA(tree, WM_KEYDOWN, VK_RIGHT, 0);
        if (last) return item;
        start = cut + 1;
    }
}

std::vector<std::string> ListRows(HWND list) {
    std::vector<std::string> rows;
    const HWND header = ListView_GetHeader(list);
    const int columns = header ? std::max(1, Header_GetItemCount(header)) : 1;
    const int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        std::string line;
        for (int column = 0; column < columns; ++column) {
            char buffer[520] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = buffer;
            item.cchTextMax = sizeof buffer;
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            line += (column ? " | " : "") + std::string(buffer);
        }
        rows.push_back(line);
    }
    return rows;
}

// ---- queued window actions ----------------------------------------------------------------------------

struct Action {
    std::string verb;
    std::string title; // the window's caption
    std::string what; // press: the button; expand/select: the path; screenshot: the file
    int lines = 0; // cancel-after, screenshot: report lines to wait for
};

std::string Describe(const Action& a) {
    std::string text = a.verb + ":" + a.title;
    if (a.verb == "cancel-after") text += ":" + std::to_string(a.lines);
    if (!a.what.empty()) text += ":" + a.what;
    return text;
}

std::vector<Action> g_actions;
DWORD g_frontSince = 0;
// A box answer: the next message box with this caption is answered with this button.
struct Answer {
    std::string caption;
    std::string button;
};
std::vector<Answer> g_answers;

constexpr DWORD kGiveUpMs = 30000;

bool Screenshot(HWND window, const Action& action) {
    const bool saved = standin::SaveWindowPicture(window, action.what);
    Print("[window] " + action.title + ": picture " + (saved ? "saved to " : "FAILED: ") + action.what);
    if (!saved) ++g_failedChecks;
    return true;
}

// The report of each window as last seen while lines came in: a window that closes itself may no
// longer show its text by the time it is destroyed.
std::map<HWND, std::vector<std::string>> g_reports;

void PrintReport(const Action& action, HWND window) {
    std::vector<std::string> lines = ReportLines(window);
    const auto seen = g_reports.find(window);
    if (seen != g_reports.end() && seen->second.size() > lines.size()) lines = seen->second;
    Print("[window] " + action.title + ": report of " + std::to_string(lines.size()) + " line(s)");
    for (const std::string& line : lines) Print("[report] " + line);
}

// Plays the action when its window is ready; true when it was played.
bool Play(const Action& action) {
    const HWND window = FindThreadWindow(action.title);
    // A window under a modal window of its own (a dialog, a box) waits, as the user must.
    if (!window || !IsWindowEnabled(window)) return false;
    if (action.verb == "press") {
        const HWND button = FindButton(window, action.what);
        if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
        Print("[window] " + action.title + ": press \"" + Caption(button) + "\"");
        PostMessageA(button, BM_CLICK, 0, 0);
        return true;
    }
    if (action.verb == "page") {
        // A page chosen by its tab: a property sheet's as a click would, another dialog's (Outlook's
        // Options) by a click on the tab itself.
        const HWND sheetTabs = reinterpret_cast<HWND>(SendMessageA(window, PSM_GETTABCONTROL, 0, 0));
        const HWND tabs = sheetTabs ? sheetTabs : FindOfClass(window, WC_TABCONTROLA);
        const int count = tabs ? static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) : 0;
        for (int i = 0; i < count; ++i) {
            char text[128] = {};
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            if (action.what != text) continue;
            if (sheetTabs) {
                SendMessageA(window, PSM_SETCURSEL, i, 0);
            } else {
                RECT box{};
                SendMessageA(tabs, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&box));
                const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
                // Sent, so that the page is shown before the next action looks at the window.
                SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
                SendMessageA(tabs, WM_LBUTTONUP, 0, at);
            }
            Print("[window] " + action.title + ": page \"" + text + "\"");
            return true;
        }
        return false;
    }
    if (action.verb == "type") {
        // what: "<control id>:<text>", the control anywhere in the window (a sheet's page included).
        const size_t colon = action.what.find(':');
        const int id = std::atoi(action.what.substr(0, colon).c_str());
        struct Search {
            int id;
            HWND found;
        } search{id, nullptr};
        EnumChildWindows(
            window,
            [](HWND child, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                if (GetDlgCtrlID(child) != s->id || !IsWindowVisible(child)) return TRUE;
                s->found = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found || !IsWindowEnabled(search.found)) return false;
        const std::string text = colon == std::string::npos ? std::string() : action.what.substr(colon + 1);
        SetWindowTextA(search.found, text.c_str());
        Print("[window] " + action.title + ": type \"" + text + "\" into " + std::to_string(id));
        return true;
    }
    if (action.verb == "expand" || action.verb == "select") {
        const HWND tree = FindOfClass(window, WC_TREEVIEWA);
        if (!tree || !WalkPath(tree, action.what, action.verb == "expand")) return false;
        Print("[window] " + action.title + ": " + action.verb + " " + action.what);
        return true;
    }
    if (action.verb == "cancel-after") {
        if (static_cast<int>(ReportLines(window).size()) < action.lines) return false;
        Print("[window] " + action.title + ": cancel after " + std::to_string(action.lines) + " report line(s)");
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
        return true;
    }
    if (action.verb == "report") {
        // Read once the run is over and the window stays up: its Cancel button then says "Close". A
        // window that closes itself is read as it goes (see the hook).
        if (WindowText(GetDlgItem(window, IDCANCEL)) != "Close") return false;
        PrintReport(action, window);
        return true;
    }
    if (action.verb == "rows") {
        const HWND list = FindOfClass(window, WC_LISTVIEWA);
        if (!list) return false;
        const std::vector<std::string> rows = ListRows(list);
        Print("[window] " + action.title + ": " + std::to_string(rows.size()) + " row(s)");
        for (const std::string& row : rows) Print("[row] " + row);
        return true;
    }
    if (action.verb == "layout") {
        // Once the window's pages are in (the Options dialog hosts its pages after it shows).
        const std::vector<std::string> faults = standin::FindLayoutFaults(window);
        Print("[window] " + action.title + ": layout " + (faults.empty() ? "finished" : "FAILED"));
        for (const std::string& fault : faults) Print("[check] FAILED: " + action.title + ": " + fault);
        g_failedChecks += static_cast<int>(faults.size());
        return true;
    }
    if (action.verb == "owner") {
        const HWND owner = GetWindow(window, GW_OWNER);
        Print("[window] " + action.title + ": owner " + (owner ? "\"" + WindowText(owner) + "\"" : std::string("none")));
        return true;
    }
    if (action.verb == "screenshot") {
        if (static_cast<int>(ReportLines(window).size()) < action.lines) return false;
        return Screenshot(window, action);
    }
    return true;
}

// Closes every window of the thread, innermost first, so that the add-in's modal loops return.
void CloseAll() {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            if (IsWindowVisible(window) && ClassOf(window) == "#32770") PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        },
        0);
}

bool g_playing = false;

void PlayQueued() {
    if (g_playing) return; // a press may start a nested loop
    g_playing = true;
    // After a click, the window it went to acts on it before anything else is played.
    while (!g_actions.empty() && Play(g_actions.front())) {
        const bool clicked = g_actions.front().verb == "press" || g_actions.front().verb == "cancel-after";
        g_actions.erase(g_actions.begin());
        g_frontSince = GetTickCount();
        if (clicked) break;
    }
    // Nobody waits for ever: after a while the windows close (the add-in's modal loops return) and the
    // action stays unplayed, which the host's exit code reports.
    if (!g_actions.empty() && GetTickCount() - g_frontSince > kGiveUpMs) {
        Print("[window] gave up waiting: " + Describe(g_actions.front()) + "; closing the windows");
        g_frontSince = GetTickCount();
        CloseAll();
    }
    g_playing = false;
}

void CALLBACK PlayTimer(HWND, UINT, UINT_PTR, DWORD) { PlayQueued(); }

// ---- the hook: message boxes answered, report lines and pictures caught as the run writes them -----

zx::unique_hhook g_hook;
zx::unique_thread_timer g_timer;
zx::unique_hwnd g_frame;

const char* BoxIcon(HWND box) {
    // The system's shared icons are the same handles in every box.
    if (HWND picture = GetDlgItem(box, 0x0440)) {
        const HICON shown = reinterpret_cast<HICON>(SendMessageA(picture, STM_GETICON, 0, 0));
        if (shown == LoadIcon(nullptr, IDI_HAND)) return "error";
        if (shown == LoadIcon(nullptr, IDI_EXCLAMATION)) return "exclamation";
        if (shown == LoadIcon(nullptr, IDI_ASTERISK)) return "information";
        if (shown == LoadIcon(nullptr, IDI_QUESTION)) return "question";
    }
    return "none";
}

// A message box is recorded once its text and icon are set, and answered with the button asked for
// (answer:...), otherwise with OK (or its only button). Activation is not waited for: a host started in
// the background may never be made the foreground window.
void OnBoxShown(HWND box) {
    const std::string caption = WindowText(box);
    Print("[message box icon] " + std::string(BoxIcon(box)));
    Print("[message box] " + caption + ": " + OneLine(WindowText(GetDlgItem(box, 0xFFFF))));
    int id = GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
    for (auto answer = g_answers.begin(); answer != g_answers.end(); ++answer) {
        if (answer->caption != caption) continue;
        // The box is not on the screen yet: its buttons are found hidden.
        if (const HWND button = FindButton(box, answer->button, true)) {
            id = GetDlgCtrlID(button);
            Print("[message box] answered \"" + Caption(button) + "\"");
            g_answers.erase(answer);
        }
        break;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Report lines arrive faster than a timer ticks: a picture waiting for the n-th line is taken as soon as
// the line is in, and a report asked for is read when the window closes itself after a run without errors.
void OnReportLine(HWND report) {
    const HWND window = GetAncestor(report, GA_ROOT);
    for (const Action& queued : g_actions)
        if (queued.verb == "report" && queued.title == WindowText(window)) {
            g_reports[window] = ReportLines(window);
            break;
        }
    if (g_actions.empty() || g_actions.front().verb != "screenshot") return;
    const Action& action = g_actions.front();
    if (WindowText(window) != action.title || static_cast<int>(ReportLines(window).size()) < action.lines) return;
    Screenshot(window, action);
    g_actions.erase(g_actions.begin());
    g_frontSince = GetTickCount();
}

void OnWindowDestroyed(HWND window) {
    if (g_actions.empty() || g_actions.front().verb != "report") return;
    if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) return;
    if (WindowText(window) != g_actions.front().title) return;
    PrintReport(g_actions.front(), window);
    g_reports.erase(window);
    g_actions.erase(g_actions.begin());
    g_frontSince = GetTickCount();
}

LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message) {
        if (message->message == WM_INITDIALOG && ClassOf(message->hwnd) == "#32770" &&
            !(GetWindowLongA(message->hwnd, GWL_STYLE) & WS_CHILD)) {
            // Every dialog that opens is named, so that a run can tell which windows the user met.
            Print("[window] opened: " + WindowText(message->hwnd));
            if (GetDlgItem(message->hwnd, 0xFFFF)) OnBoxShown(message->hwnd);
        }
        else if (message->message == EM_REPLACESEL)
            OnReportLine(message->hwnd);
        else if (message->message == WM_DESTROY)
            OnWindowDestroyed(message->hwnd);
    }
    return CallNextHookEx(g_hook.get(), code, wParam, lParam);
}

// Outlook's main window: the window the user clicks in.
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void ShowFrame() {
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    frameClass.lpszClassName = "rctrl_renwnd32"; // the class of Outlook's explorer window
    RegisterClassA(&frameClass);
    g_frame.reset(CreateWindowExA(0, frameClass.lpszClassName, "Inbox - Outlook", WS_OVERLAPPEDWINDOW, 0, 0, 900,
                                  640, nullptr, nullptr, frameClass.hInstance, nullptr));
    if (!g_frame) return;
    ShowWindow(g_frame.get(), SW_SHOWNORMAL);
    SetActiveWindow(g_frame.get());
    UpdateWindow(g_frame.get());
}

// ---- what the add-in wrote: its log and its settings file ---------------------------------------------

std::string DataFolder() {
    char appData[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData) != S_OK) return std::string();
    return std::string(appData) + "\\ZxBrackenmeadowSyncAddin";
}

bool ReadWhole(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream buffer;
    buffer << in.rdbuf();
    content = buffer.str();
    return true;
}

// The log's entries without their time stamps ("2026.01.02 03:04:05 "), so that they read the same in
// every run; header lines as they are.
std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::string content;
    if (!ReadWhole(DataFolder() + "\\ZxBrackenmeadowSyncAddin.log", content)) return lines;
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const bool stamped = line.size() > 20 && line[4] == '.' && line[7] == '.' && line[10] == ' ' &&
                             line[13] == ':' && line[16] == ':' && line[19] == ' ';
        lines.push_back(stamped ? line.substr(20) : line);
    }
    return lines;
}

// The settings file read on its own terms: the list record of pairs, each of two folder records, in the
// size-prefixed encoding (integers "4 + value", strings "1 + length + bytes", binaries "4 + count + bytes").
class SettingsReader {
public:
    explicit SettingsReader(const std::string& bytes) : m_bytes(bytes) {}

    // Folder names of each pair ("folder 1 | folder 2"); false when the bytes do not hold a whole list.
    bool Pairs(std::vector<std::string>& pairs) {
        int32_t version = 0, count = 0;
        if (!Int(version) || !Int(count) || count < 0) return false;
        for (int32_t i = 0; i < count; ++i) {
            std::string names[2];
            if (!Int(version)) return false;
            for (std::string& name : names)
                if (!Folder(name)) return false;
            pairs.push_back(names[0] + " | " + names[1]);
        }
        return m_at == m_bytes.size();
    }

private:
    bool Raw(void* out, size_t n) {
        if (m_bytes.size() - m_at < n) return false;
        std::memcpy(out, m_bytes.data() + m_at, n);
        m_at += n;
        return true;
    }
    bool Sized(void* out, int32_t expected) {
        int32_t size = 0;
        return Raw(&size, 4) && size == expected && Raw(out, static_cast<size_t>(expected));
    }
    bool Int(int32_t& value) { return Sized(&value, 4); }
    bool Binary() {
        int32_t count = 0;
        return Int(count) && count >= 0 && Skip(static_cast<size_t>(count));
    }
    bool String(std::string& text) {
        uint8_t marker = 0;
        int32_t length = 0;
        if (!Raw(&marker, 1) || marker != 1 || !Raw(&length, 4) || length < 0) return false;
        if (m_bytes.size() - m_at < static_cast<size_t>(length)) return false;
        text.assign(m_bytes.data() + m_at, static_cast<size_t>(length));
        m_at += static_cast<size_t>(length);
        return true;
    }
    bool Skip(size_t n) {
        if (m_bytes.size() - m_at < n) return false;
        m_at += n;
        return true;
    }
    // Version 1: entry ids, name, flags; version 2 adds the store file and its creation time.
    bool Folder(std::string& name) {
        int32_t version = 0, flags = 0;
        std::string storeFile;
        uint64_t created = 0;
        if (!Int(version) || !Binary() || !Binary() || !String(name) || !Int(flags)) return false;
        return version < 2 || (String(storeFile) && Sized(&created, 8));
    }

    const std::string& m_bytes;
    size_t m_at = 0;
};

std::string SettingsPath() {
    const std::string profile = standin::ProfileName();
    return DataFolder() + "\\Settings\\" + (profile.empty() ? "" : profile + "\\") + "ZxBrackenmeadowSync.settings";
}

// The pairs of the settings file; false (with why) when it is missing or damaged.
bool SettingsPairs(std::vector<std::string>& pairs, std::string& why) {
    std::string bytes;
    if (!ReadWhole(SettingsPath(), bytes)) {
        why = "no settings file";
        return false;
    }
    SettingsReader reader(bytes);
    if (!reader.Pairs(pairs)) {
        why = "the settings file is damaged";
        return false;
    }
    return true;
}

void Check(bool passed, const std::string& what) {
    Print(std::string("[check] ") + (passed ? "passed: " : "FAILED: ") + what);
    if (!passed) ++g_failedChecks;
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

StepResult Immediate(const std::string& verb, const std::string& arg) {
    if (verb == "log") {
        const std::vector<std::string> lines = LogLines();
        Print("[log] " + DataFolder() + "\\ZxBrackenmeadowSyncAddin.log: " + std::to_string(lines.size()) + " line(s)");
        for (const std::string& line : lines) Print("[log] " + line);
    } else if (verb == "log-has") {
        Check(Contains(LogLines(), arg), "the log has \"" + arg + "\"");
    } else if (verb == "log-lacks") {
        Check(!Contains(LogLines(), arg), "the log lacks \"" + arg + "\"");
    } else if (verb == "settings") {
        std::vector<std::string> pairs;
        std::string why;
        if (!SettingsPairs(pairs, why)) {
            Print("[settings] " + SettingsPath() + ": " + why);
        } else {
            Print("[settings] " + SettingsPath() + ": " + std::to_string(pairs.size()) + " pair(s)");
            for (const std::string& pair : pairs) Print("[pair] " + pair);
        }
    } else if (verb == "settings-pairs") {
        std::vector<std::string> pairs;
        std::string why;
        const bool read = SettingsPairs(pairs, why);
        Check(read && std::to_string(pairs.size()) == arg,
              "the settings file holds " + arg + " pair(s)" + (read ? " (it holds " + std::to_string(pairs.size()) + ")" : " (" + why + ")"));
    } else if (verb == "settings-has") {
        std::vector<std::string> pairs;
        std::string why;
        bool found = false;
        if (SettingsPairs(pairs, why))
            for (const std::string& pair : pairs) found = found || pair == arg;
        Check(found, "the settings file has the pair " + arg);
    } else {
        return StepResult::NotMine;
    }
    return StepResult::Done;
}

// "<title>:<rest>"; false when there is no colon.
bool SplitTitle(const std::string& arg, std::string& title, std::string& rest) {
    const size_t colon = arg.find(':');
    if (colon == std::string::npos) return false;
    title = arg.substr(0, colon);
    rest = arg.substr(colon + 1);
    return true;
}

bool AllDigits(const std::string& text) { return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos; }

} // namespace

const char kUsage[] =
    "user actions (queued; played in order while the add-in's windows are up, each once its window is):\n"
    "  press:<window title>:<button caption or control id>\n"
    "  page:<window title>:<page title>   type:<window title>:<control id>:<text>\n"
    "  expand:<window title>:<Store\\Folder\\Sub>   select:<window title>:<Store\\Folder\\Sub>  (tree items, by keys)\n"
    "  answer:<box caption>:<button caption>   (the next such message box; others are answered with OK)\n"
    "  cancel-after:<window title>:<n report lines>   report:<window title>   rows:<window title>\n"
    "  owner:<window title>   screenshot:<window title>[:<n report lines>]:<file.bmp>\n"
    "  layout:<window title>   (no two controls overlap, every text fits, nothing lies outside)\n"
    "checks and looks (at once): log  log-has:<text>  log-lacks:<text>  settings  settings-pairs:<n>\n"
    "  settings-has:<folder 1> | <folder 2>   (a failed check makes the host exit with 5)\n"
    "--scenario <file>: the file's lines are steps (\"--option value\" lines are options; # comments)\n";

void Start(Printer print) {
    g_print = print;
    ShowFrame();
    g_hook.reset(SetWindowsHookExA(WH_CALLWNDPROCRET, Hook, nullptr, GetCurrentThreadId()));
    g_frontSince = GetTickCount();
    g_timer.reset(SetTimer(nullptr, 0, 50, PlayTimer));
}

void Stop() {
    g_timer.reset();
    g_hook.reset();
    g_frame.reset();
}

StepResult PlayStep(const std::string& verb, const std::string& arg) {
    Action action;
    action.verb = verb;
    if (verb == "press" || verb == "expand" || verb == "select" || verb == "page" || verb == "type") {
        if (!SplitTitle(arg, action.title, action.what) || action.what.empty()) return StepResult::BadArgument;
        // A press named by an old-style control id may carry a caption with colons: split at the last.
        if (verb == "press") {
            const size_t colon = arg.rfind(':');
            if (AllDigits(arg.substr(colon + 1))) {
                action.title = arg.substr(0, colon);
                action.what = arg.substr(colon + 1);
            }
        }
    } else if (verb == "cancel-after") {
        const size_t colon = arg.rfind(':');
        if (colon == std::string::npos || !AllDigits(arg.substr(colon + 1))) return StepResult::BadArgument;
        action.title = arg.substr(0, colon);
        action.lines = std::atoi(arg.substr(colon + 1).c_str());
    } else if (verb == "report" || verb == "rows" || verb == "owner" || verb == "layout") {
        if (arg.empty()) return StepResult::BadArgument;
        action.title = arg;
    } else if (verb == "screenshot") {
        std::string rest;
        if (!SplitTitle(arg, action.title, rest)) return StepResult::BadArgument;
        std::string lines, file;
        if (SplitTitle(rest, lines, file) && AllDigits(lines)) {
            action.lines = std::atoi(lines.c_str());
            rest = file;
        }
        if (rest.empty()) return StepResult::BadArgument;
        action.what = rest;
    } else if (verb == "answer") {
        Answer answer;
        if (!SplitTitle(arg, answer.caption, answer.button) || answer.button.empty()) return StepResult::BadArgument;
        g_answers.push_back(answer);
        return StepResult::Done;
    } else {
        return Immediate(verb, arg);
    }
    if (g_actions.empty()) g_frontSince = GetTickCount();
    g_actions.push_back(action);
    return StepResult::Done;
}

std::string FirstUnplayed() {
    if (!g_actions.empty()) return Describe(g_actions.front());
    if (!g_answers.empty()) return "answer:" + g_answers.front().caption + ":" + g_answers.front().button;
    return std::string();
}

int FailedChecks() { return g_failedChecks; }

bool ExpandScenarioFiles(std::vector<std::string>& args, std::string& error) {
    std::vector<std::string> out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--scenario") {
            out.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "--scenario needs a file";
            return false;
        }
        const std::string path = args[++i];
        std::string content;
        if (!ReadWhole(path, content)) {
            error = "cannot read the scenario file " + path;
            return false;
        }
        std::istringstream in(content);
        std::string line;
        while (std::getline(in, line)) {
            const size_t first = line.find_first_not_of(" \t\r");
            if (first == std::string::npos || line[first] == '#') continue;
            line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
            if (line.rfind("--", 0) == 0) {
                const size_t space = line.find_first_of(" \t");
                out.push_back(line.substr(0, space));
                if (space != std::string::npos) out.push_back(line.substr(line.find_first_not_of(" \t", space)));
            } else {
                out.push_back(line);
            }
        }
    }
    args = std::move(out);
    return true;
}

} // namespace useractions
