// zxwinbench: how the add-in's windows keep up with big mailboxes, measured on the real windows over the
// stand-in MAPI (run under Xvfb by scripts/bench-windows):
//   - the folder picker expanding a folder with thousands of subfolders (the user's click on its button);
//   - the options sheet opening with hundreds of pairs (load, list filled and painted), and scrolling to
//     its last row;
//   - the progress window's report taking tens of thousands of lines (the rich edit the window shows),
//     and what one more line costs at the end of it.
// Prints one line per figure; exits non-zero when a window did not show what it should.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Standin.h"
#include "base/Paths.h"
#include "config/Settings.h"
#include "mapi/Session.h"
#include "pictures/TreeItems.h"
#include "ui/MAPIFolderPicker.h"
#include "ui/OptionsPage.h"
#include "ui/PropPageOptions.h"
#include "ui/RichEditCtrlReporter.h"

namespace {

using Clock = std::chrono::steady_clock;
int g_faults = 0;

ZxSBinary Binary(const standin::Bytes& b) {
    return ZxSBinary(static_cast<ULONG>(b.size()), reinterpret_cast<const BYTE*>(b.data()));
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Fault(const std::string& what) {
    std::printf("FAULT: %s\n", what.c_str());
    ++g_faults;
}

// Runs `modal` (which shows a modal window) and calls `step` from its message loop until it returns true.
void WhileModal(const std::function<void()>& modal, std::function<bool()> step) {
    static std::function<bool()>* current = nullptr;
    current = &step;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        if (current && *current && (*current)()) *current = nullptr;
    });
    modal();
    KillTimer(nullptr, timer);
    current = nullptr;
}

HWND VisibleWindowWith(int controlId) {
    struct Search {
        int id;
        HWND found = nullptr;
    } search{controlId};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (IsWindowVisible(w) && GetDlgItem(w, s->id)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void BuildProfile() {
    standin::Reset("Outlook");
    standin::StoreSpec pst;
    pst.displayName = "Personal Folders";
    pst.isDefault = true;
    standin::AddStore(pst);
    standin::StoreSpec mailbox;
    mailbox.displayName = "Mailbox - Ann Smith";
    mailbox.kind = standin::ProviderKind::ExchangeMailbox;
    mailbox.subtreeName = "Top of Information Store";
    standin::AddStore(mailbox);
}

// The picker: a folder of `count` subfolders (names in no order) expanded by the user.
void PickerExpansion(const ZxIMAPISession& session, int count) {
    const std::string name = "Big" + std::to_string(count);
    const standin::Bytes big = standin::AddFolder(standin::FolderByPath("Personal Folders\\Inbox"), name, "IPF.Note");
    unsigned seed = 12345;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        char text[64];
        std::snprintf(text, sizeof text, "Project %06u-%d", (seed >> 8) % 1000000u, i);
        standin::AddFolder(big, text, "IPF.Note");
    }
    FolderPickers::ZxMAPIFolderPicker picker(session, nullptr);
    double seconds = -1;
    int shown = 0;
    WhileModal([&] { picker.DoModal(); },
               [&] {
                   const HWND dialog = VisibleWindowWith(FolderPickers::ZxMAPIFolderPicker::kTreeId);
                   if (!dialog) return false;
                   const HWND tree = GetDlgItem(dialog, FolderPickers::ZxMAPIFolderPicker::kTreeId);
                   HTREEITEM item = standin::TreeChildNamed(tree, nullptr, "Personal Folders");
                   if (item) TreeView_Expand(tree, item, TVE_EXPAND);
                   item = item ? standin::TreeChildNamed(tree, item, "Inbox") : nullptr;
                   if (item) TreeView_Expand(tree, item, TVE_EXPAND);
                   item = item ? standin::TreeChildNamed(tree, item, name) : nullptr;
                   if (item) {
                       const Clock::time_point start = Clock::now();
                       TreeView_Expand(tree, item, TVE_EXPAND);
                       UpdateWindow(tree);
                       seconds = SecondsSince(start);
                       for (HTREEITEM c = TreeView_GetChild(tree, item); c; c = TreeView_GetNextSibling(tree, c))
                           ++shown;
                   }
                   PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                   return true;
               });
    if (shown != count) Fault("the picker showed " + std::to_string(shown) + " of " + std::to_string(count) + " subfolders");
    std::printf("folder picker: %6d subfolders expanded in %7.3f s\n", count, seconds);
}

// The options sheet: `count` pairs stored; the time from the click to a painted list, then to its last row.
void OptionsSheet(const ZxIMAPISession& session, int count) {
    {
        CSettings settings("Outlook");
        const standin::Bytes left = standin::FolderByPath("Personal Folders\\Calendar");
        const standin::Bytes right = standin::FolderByPath("Mailbox - Ann Smith\\Calendar");
        for (int i = 0; i < count; ++i) {
            const std::string name = "Team " + std::to_string(i);
            CRefCountPtr<CAssocDesc> pair = MakeRefCounted<CAssocDesc>();
            for (int side = 0; side < 2; ++side) {
                const standin::Bytes id = standin::AddFolder(side == 0 ? left : right, name, "IPF.Appointment");
                standin::FolderView view;
                standin::GetFolder(id, &view);
                CFolderDesc folder;
                folder.SetFolderEntryId(Binary(id));
                folder.SetStoreEntryId(Binary(view.store));
                folder.SetFolderName((side == 0 ? "Personal Folders\\Calendar\\" : "Mailbox - Ann Smith\\Calendar\\") + name);
                folder.SetFolderFlags(0x10);
                if (side == 0)
                    pair->SetFolder1(folder);
                else
                    pair->SetFolder2(folder);
            }
            settings.GetAssocs().push_back(pair);
        }
        if (!settings.Save()) Fault("the settings were not saved");
    }
    CPropPageOptions page;
    page.SetSession(session);
    const Clock::time_point start = Clock::now();
    double shownAfter = -1, lastRowAfter = -1;
    int rows = -1;
    WhileModal([&] { page.DoModalSheet(nullptr); },
               [&] {
                   const HWND sheet = FindWindowA(nullptr, "Program settings");
                   const HWND pageWindow = sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
                   const HWND control = pageWindow ? GetDlgItem(pageWindow, COptionsPage::IdList) : nullptr;
                   if (!control || !IsWindowVisible(sheet)) return false;
                   UpdateWindow(sheet);
                   shownAfter = SecondsSince(start);
                   rows = ListView_GetItemCount(control);
                   const Clock::time_point scroll = Clock::now();
                   ListView_EnsureVisible(control, rows - 1, FALSE);
                   UpdateWindow(control);
                   lastRowAfter = SecondsSince(scroll);
                   PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
                   return true;
               });
    if (rows != count) Fault("the sheet listed " + std::to_string(rows) + " of " + std::to_string(count) + " pairs");
    std::printf("options sheet: %6d pairs shown in %7.3f s (load, fill, paint); last row scrolled to in %.3f s\n",
                count, shownAfter, lastRowAfter);
}

// The report: `count` lines appended (every 50th an error) to the rich edit the progress window shows.
void Report(int count) {
    static const zx::unique_hmodule library(LoadLibraryA("riched20.dll"));
    HWND window = CreateWindowExA(0, "RichEdit20A", "", WS_OVERLAPPEDWINDOW | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                  ES_AUTOVSCROLL | WS_VISIBLE, 0, 0, 600, 300, nullptr, nullptr, nullptr, nullptr);
    if (!window) return Fault("no rich edit window");
    CRichEditCtrlReporter reporter;
    reporter.Attach(window);
    const std::string line = "Cannot copy item 'Weekly planning meeting with the whole team' to folder 'Mailbox - Ann Smith\\Calendar'.";
    const Clock::time_point start = Clock::now();
    Clock::time_point lastThousand = start;
    for (int i = 0; i < count; ++i) {
        if (i == count - 1000) lastThousand = Clock::now();
        if (i % 50 == 0)
            reporter.AddErrorLine(line);
        else
            reporter.AddInfoLine(line);
        if (i % 500 == 0) { // the window's own loop runs between the engine's steps
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
    }
    UpdateWindow(window);
    const double total = SecondsSince(start), last = SecondsSince(lastThousand);
    const LRESULT lines = SendMessageA(window, EM_GETLINECOUNT, 0, 0);
    DestroyWindow(window);
    if (lines < count) Fault("the report holds " + std::to_string(lines) + " of " + std::to_string(count) + " lines");
    std::printf("progress report: %6d lines in %7.3f s; the last 1 000 took %.3f s (%.2f ms a line)\n", count, total,
                last, last);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) SetDllDirectoryA(argv[1]); // the shared resource libraries
    INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string data = std::string(temp) + "zxwinbench";
    CreateDirectoryA(data.c_str(), nullptr);
    SetAddinDataFolderOverride(data);
    try {
        BuildProfile();
        ZxIMAPISession session;
        session.Attach(standin::NewSession());
        for (int count : {2000, 6000, 20000}) PickerExpansion(session, count);
        for (int count : {100, 500, 2000}) {
            BuildProfile();
            ZxIMAPISession fresh;
            fresh.Attach(standin::NewSession());
            OptionsSheet(fresh, count);
        }
        for (int count : {10000, 30000}) Report(count);
    } catch (const std::exception& e) {
        Fault(e.what());
    }
    return g_faults ? 1 : 0;
}
