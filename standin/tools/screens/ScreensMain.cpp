// zxscreens: shows the add-in's windows over a stand-in profile, as a user would meet them, and
// photographs them into 24-bit BMP files (scripts/screenshots turns them into PNG).
//   zxscreens <output folder>
// A Windows program of the test world, never shipped.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Standin.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/Resource.h"
#include "base/StringTable.h"
#include "config/Settings.h"
#include "engine/SyncRun.h"
#include "mapi/MAPIModule.h"
#include "mapi/Session.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "ui/AutoSyncNotice.h"
#include "ui/DlgSynchro.h"
#include "ui/HeaderDrawer.h"
#include "ui/ImageList.h"
#include "ui/ResourceSource.h"
#include "pictures/WindowPicture.h"

namespace {

std::string g_out;
int g_failures = 0;

bool WriteBitmapFile(HDC dc, HBITMAP bitmap, int width, int height, const std::string& path) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    std::vector<BYTE> bits(stride * static_cast<DWORD>(height));
    if (!GetDIBits(dc, bitmap, 0, height, bits.data(), &info, DIB_RGB_COLORS)) return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
    const zx::unique_file out(std::fopen(path.c_str(), "wb"));
    if (!out) return false;
    return std::fwrite(&file, sizeof(file), 1, out.get()) == 1 &&
           std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out.get()) == 1 &&
           std::fwrite(bits.data(), bits.size(), 1, out.get()) == 1;
}

// The window with its frame, as it is on the screen now.
void Photograph(HWND window, const std::string& name) {
    RECT r{};
    GetWindowRect(window, &r);
    const bool ok = standin::SaveWindowPicture(window, g_out + "\\" + name + ".bmp");
    std::printf("%s %s.bmp (%ldx%ld)\n", ok ? "wrote" : "FAILED", name.c_str(), r.right - r.left, r.bottom - r.top);
    if (!ok) ++g_failures;
}

// The progress window with a camera: photographs at a chosen moment of the run, and after it.
class PhotographedSynchro : public CDlgSynchro {
public:
    // The window runs the pairs of `settings` as the Synchronize command gives them to it.
    PhotographedSynchro(const CSettings& settings, std::string duringName, std::string afterName)
        : CDlgSynchro([&settings](IStatusWindow& status) {
              RunAllPairs(settings.GetProfileName(), settings.GetAssocs(), status);
          }),
          m_duringName(std::move(duringName)),
          m_afterName(std::move(afterName)) {}

    void SetProgress(int position) override {
        // A store that answers slowly, so that the bar is seen moving.
        Sleep(25);
        const int before = static_cast<int>(SendMessageA(GetItem(IDC_SYNCHRO_PROGRESS), PBM_GETPOS, 0, 0));
        CDlgSynchro::SetProgress(position);
        const int now = static_cast<int>(SendMessageA(GetItem(IDC_SYNCHRO_PROGRESS), PBM_GETPOS, 0, 0));
        if (!m_duringName.empty() && now != before && now > 0) {
            Photograph(GetHwnd(), m_duringName);
            m_duringName.clear();
        }
    }

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        const INT_PTR result = CDlgSynchro::OnMessage(message, wParam, lParam);
        if (message == WM_START_RUN && !m_afterName.empty()) {
            Photograph(GetHwnd(), m_afterName);
            EndDialog(IDCANCEL);
        }
        return result;
    }

private:
    std::string m_duringName;
    std::string m_afterName;
};

standin::Bytes Folder(const std::string& path) { return standin::FolderByPath(path); }

void AddItems(const standin::Bytes& folder, const std::string& stem, int count) {
    for (int i = 1; i <= count; ++i) standin::AddItem(folder, stem + " " + std::to_string(i));
}

// Two stores as a user has them: a personal folders file and a mailbox, with two pairs.
void BuildProfile() {
    standin::Reset("Outlook");
    standin::StoreSpec personal;
    personal.isDefault = true;
    standin::AddStore(personal);
    standin::StoreSpec mailbox;
    mailbox.displayName = "Mailbox - Anna Lindqvist";
    mailbox.ownerName = "Anna Lindqvist";
    mailbox.subtreeName = "Top of Information Store";
    standin::AddStore(mailbox);
    AddItems(Folder("Personal Folders\\Calendar"), "Project meeting", 60);
    AddItems(Folder("Mailbox - Anna Lindqvist\\Calendar"), "Dentist", 4);
    AddItems(Folder("Personal Folders\\Contacts"), "Contact", 12);
}

CRefCountPtr<CAssocDesc> Pair(const ZxIMAPISession& session, const std::string& path1, const std::string& path2) {
    CRefCountPtr<CAssocDesc> pair(new CAssocDesc());
    for (int side = 0; side < 2; ++side) {
        CFolderDesc& desc = side == 0 ? pair->GetFolder1() : pair->GetFolder2();
        const std::string& path = side == 0 ? path1 : path2;
        desc.SetFolderName(path);
        const standin::Bytes id = Folder(path);
        if (id.empty()) continue;
        ZxSBinary entry(static_cast<ULONG>(id.size()), reinterpret_cast<const BYTE*>(id.data()));
        desc.SetFolderEntryId(entry);
        ZxIMAPIFolder folder;
        if (session.OpenEntry(entry, folder, MAPI_BEST_ACCESS) == S_OK) desc.SetFolder(folder);
    }
    return pair;
}

// Each picture's run starts from no state: a state left by another run over a rebuilt profile would be
// taken for folders whose items went missing.
void UseDataFolder(const std::string& name) { SetAddinDataFolderOverride(g_out + "\\data\\" + name); }

ZxIMAPISession NewSession() {
    ZxIMAPISession session;
    session.Attach(standin::NewSession());
    return session;
}

void ProgressDuringRun() {
    UseDataFolder("during-run");
    BuildProfile();
    ZxIMAPISession session = NewSession();
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(Pair(session, "Personal Folders\\Contacts", "Mailbox - Anna Lindqvist\\Contacts"));
    settings.GetAssocs().push_back(Pair(session, "Personal Folders\\Calendar", "Mailbox - Anna Lindqvist\\Calendar"));
    PhotographedSynchro window(settings, "progress-during-run", "");
    window.DoModal();
}

void ProgressAfterErrors() {
    UseDataFolder("after-errors");
    BuildProfile();
    // The mailbox calendar refuses new items; a third pair names a folder that is gone.
    standin::SetFolderRefusesCreate(Folder("Mailbox - Anna Lindqvist\\Calendar"), true);
    ZxIMAPISession session = NewSession();
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(Pair(session, "Personal Folders\\Contacts", "Mailbox - Anna Lindqvist\\Contacts"));
    settings.GetAssocs().push_back(Pair(session, "Personal Folders\\Tasks", "Mailbox - Anna Lindqvist\\Old Tasks"));
    settings.GetAssocs().push_back(Pair(session, "Personal Folders\\Journal", "Mailbox - Anna Lindqvist\\Calendar"));
    // Only a few items, so that the red lines are in view at the end.
    standin::DeleteFolder(Folder("Personal Folders\\Calendar"));
    AddItems(Folder("Personal Folders\\Journal"), "Phone call", 2);
    PhotographedSynchro window(settings, "", "progress-after-errors");
    window.DoModal();
}

// The windows paint: a short while of the message loop.
void Pump() {
    const DWORD until = GetTickCount() + 300;
    MSG msg;
    while (GetTickCount() < until) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
}

// What an automatic run with errors shows: the notice in the corner, then the report it opens.
void AutoSyncNoticeAndReport() {
    const std::vector<CSteppedRun::Line> lines = {
        {false, "Synchronization of folders: 'Personal Folders\\Calendar' with 'Mailbox - Anna Lindqvist\\Calendar'"},
        {false, "Synchronization complete."},
        {false, "0 items changed, 0 deleted in folder 'Personal Folders\\Calendar'."},
        {false, "2 items changed, 0 deleted in folder 'Mailbox - Anna Lindqvist\\Calendar'."},
        {false, ""},
        {false, "Synchronization of folders: 'Personal Folders\\Tasks' with 'Mailbox - Anna Lindqvist\\Old Tasks'"},
        {true, "Cannot open folder 'Mailbox - Anna Lindqvist\\Old Tasks'. Synchronization of this folder has been interrupted."},
    };
    CAutoSyncNotice notice;
    notice.Show(ZxLoadString(IDS_AUTOSYNC_NOTICE), lines);
    Pump();
    Photograph(notice.GetHwnd(), "autosync-notice");
    SendMessageA(notice.GetHwnd(), WM_COMMAND, MAKEWPARAM(CAutoSyncNotice::IdShowReport, BN_CLICKED), 0);
    Pump();
    const HWND report = FindWindowA(nullptr, "Automatic synchronization report");
    if (report)
        Photograph(report, "autosync-report");
    else
        ++g_failures;
}

// The question before a deletion that would empty most of a folder: the box over the progress window is
// photographed once it is on the screen and answered No; then the window with its report.
HWND g_questionOwner = nullptr;

BOOL CALLBACK FindQuestionBox(HWND window, LPARAM found) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == g_questionOwner) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK PhotographQuestion(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindQuestionBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    KillTimer(nullptr, timer);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Photograph(box, "progress-question");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
}

class QuestionedSynchro : public PhotographedSynchro {
public:
    using PhotographedSynchro::PhotographedSynchro;
    bool ConfirmDeletions(const std::string& question) override {
        g_questionOwner = GetHwnd();
        SetTimer(nullptr, 0, 300, PhotographQuestion);
        return CDlgSynchro::ConfirmDeletions(question);
    }
};

void ProgressQuestion() {
    UseDataFolder("question");
    BuildProfile();
    ZxIMAPISession session = NewSession();
    CSettings settings("Outlook");
    settings.GetAssocs().push_back(Pair(session, "Personal Folders\\Calendar", "Mailbox - Anna Lindqvist\\Calendar"));
    {
        // A first run makes the pair's state; it closes itself.
        PhotographedSynchro first(settings, "", "");
        first.DoModal();
    }
    // The mailbox's calendar still downloading: most of its items are not there yet.
    int hidden = 0;
    for (const standin::ItemView& item : standin::Items(Folder("Mailbox - Anna Lindqvist\\Calendar")))
        if (hidden++ < 50) standin::SetItemHidden(item.entryId, true);
    QuestionedSynchro window(settings, "", "progress-after-question");
    window.DoModal();
}

// A sheet: the folder image set at its size and enlarged, and the two header bands.
void ImageSheet() {
    const int width = 760, height = 530;
    const zx::unique_window_dc screen(nullptr);
    const zx::unique_hdc dc(CreateCompatibleDC(screen.get()));
    const zx::unique_hbitmap sheet(CreateCompatibleBitmap(screen.get(), width, height));
    {
        const zx::select_object_scope selected(dc.get(), sheet.get());
        RECT all{0, 0, width, height};
        FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetBkMode(dc.get(), TRANSPARENT);
        const zx::unique_hfont font(
            CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma"));
        const zx::unique_hfont bold(CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma"));
        auto text = [&](int x, int y, const std::string& s, bool strong = false) {
            const zx::select_object_scope f(dc.get(), strong ? bold.get() : font.get());
            TextOutA(dc.get(), x, y, s.c_str(), static_cast<int>(s.size()));
        };

        CRefCountPtr<ZxResourceModule> module(new ZxResourceModule(ZxResourceModule::SharedNames()));
        ZxImageList images(module);
        if (!images.LoadImageSet()) ++g_failures;
        struct Entry {
            unsigned number;
            const char* role;
        };
        const Entry entries[] = {{101, "default store"}, {102, "store"},  {104, "calendar"}, {105, "contacts"},
                                 {106, "Sent Items"},    {107, "drafts"}, {108, "Inbox"},    {109, "journal"},
                                 {110, "public"},        {111, "note"},   {112, "Outbox"},   {113, "Deleted Items"},
                                 {114, "mail"},          {115, "task"},   {116, "search"}};
        text(12, 10, "Folder image set (ZxRes.dll), real size:", true);
        for (size_t i = 0; i < std::size(entries); ++i)
            ImageList_Draw(images.GetHandle(), images.GetImageIndex(entries[i].number), dc.get(),
                           300 + static_cast<int>(i) * 24, 9, ILD_TRANSPARENT);
        text(12, 40, "Enlarged four times:", true);
        const zx::unique_hdc cell(CreateCompatibleDC(screen.get()));
        const zx::unique_hbitmap cellBitmap(CreateCompatibleBitmap(screen.get(), 16, 16));
        for (size_t i = 0; i < std::size(entries); ++i) {
            const int x = 12 + static_cast<int>(i % 8) * 92, y = 64 + static_cast<int>(i / 8) * 108;
            {
                const zx::select_object_scope c(cell.get(), cellBitmap.get());
                RECT r{0, 0, 16, 16};
                FillRect(cell.get(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                ImageList_Draw(images.GetHandle(), images.GetImageIndex(entries[i].number), cell.get(), 0, 0,
                               ILD_TRANSPARENT);
                StretchBlt(dc.get(), x + 10, y, 64, 64, cell.get(), 0, 0, 16, 16, SRCCOPY);
            }
            RECT label{x, y + 68, x + 84, y + 100};
            const zx::select_object_scope f(dc.get(), font.get());
            const std::string caption = std::to_string(entries[i].number) + "\n" + entries[i].role;
            DrawTextA(dc.get(), caption.c_str(), -1, &label, DT_CENTER | DT_WORDBREAK);
        }

        // The header bands as the progress window and the options pages paint them.
        struct Band {
            const char* title;
            int width, height;
            unsigned textId, bitmapId;
            int y;
        };
        const Band bands[] = {
            {"Progress window header (bitmap 5012, text 5048):", 475, 62, IDS_SYNC_IN_PROGRESS, IDB_SYNCHRO_HEADER,
             306},
            {"Options page header (bitmap 5011, text 5010):", 459, 89, IDS_OPTIONS_HEADER, IDB_OPTIONS_HEADER, 406}};
        for (const Band& b : bands) {
            text(12, b.y - 20, b.title, true);
            const zx::unique_hwnd host(CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, b.width, b.height, nullptr,
                                                       nullptr, nullptr, nullptr));
            const zx::unique_hbitmap picture(ZxLoadModuleBitmap(b.bitmapId));
            ZxDialogHeaderDrawer drawer;
            drawer.SetHeader(host.get(), b.height, ZxLoadString(b.textId), picture.get(), RGB(255, 255, 255));
            POINT old{};
            SetViewportOrgEx(dc.get(), 12, b.y, &old);
            drawer.Draw(dc.get());
            SetViewportOrgEx(dc.get(), old.x, old.y, nullptr);
            RECT frame{11, b.y - 1, 12 + b.width + 1, b.y + b.height + 1};
            FrameRect(dc.get(), &frame, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        }
    }
    const bool ok = WriteBitmapFile(dc.get(), sheet.get(), width, height, g_out + "\\images-and-header.bmp");
    std::printf("%s images-and-header.bmp\n", ok ? "wrote" : "FAILED");
    if (!ok) ++g_failures;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zxscreens <output folder>\n");
        return 2;
    }
    g_out = argv[1];
    CreateFolderPath(g_out);
    // The add-in's files of these runs go to a folder of their own.
    const std::string data = g_out + "\\data";
    SetAddinDataFolderOverride(data);
    ZxMAPIModule::Instance().SetMAPIInUse(true);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    try {
        ProgressDuringRun();
        ProgressAfterErrors();
        ProgressQuestion();
        ImageSheet();
        AutoSyncNoticeAndReport();
    } catch (const Error::ZxException& e) {
        std::fprintf(stderr, "zxscreens: %s\n", e.GetErrorText().c_str());
        return 1;
    }
    return g_failures == 0 ? 0 : 1;
}
