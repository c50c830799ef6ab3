// outlookhost: starts the add-ins registered for Outlook as Outlook does, over the stand-in object model and
// the stand-in MAPI profile, and plays a script of user actions given on the command line. Every message box
// the add-ins show is recorded and answered; at exit the host checks that the add-in module may unload and
// that no object of the stand-in is still alive.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "HostInterfaces.h"
#include "OptionsDialog.h"
#include "OutlookWorld.h"
#include "Standin.h"

using Microsoft::WRL::ComPtr;
using namespace outlook;

namespace {

void PrintRaw(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Member calls made so far come first, so that the output reads in the order things happened.
void Print(const std::string& line) {
    for (const std::string& call : TakeTrace()) PrintRaw("[call] " + call);
    PrintRaw(line);
}

std::string OneLine(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Hr(HRESULT hr) {
    if (hr == S_OK) return "S_OK";
    if (hr == S_FALSE) return "S_FALSE";
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n - 1) : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    return out;
}

std::string Narrow(const wchar_t* text, int length = -1) {
    if (!text) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    if (length < 0 && !out.empty()) out.pop_back();
    return out;
}

// ---- message boxes: recorded and answered as a user would, with the OK (or first) button -------------

HHOOK g_hook = nullptr;

// After a dialog of the box class has initialised (its text and icon are set), it is recorded and answered.
// Activation is not waited for: a host started in the background may never be made the foreground window.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message && message->message == WM_INITDIALOG) {
        HWND window = message->hwnd;
        char className[64] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0 && GetDlgItem(window, 0xFFFF)) {
            char caption[512] = {};
            GetWindowTextA(window, caption, sizeof caption);
            std::string text;
            HWND label = GetDlgItem(window, 0xFFFF);
            const int length = GetWindowTextLengthA(label);
            text.resize(static_cast<size_t>(length) + 1);
            GetWindowTextA(label, text.data(), length + 1);
            text.resize(static_cast<size_t>(length));
            // The icon tells the box's style: the system's shared icons are the same handles in every box.
            const char* icon = "none";
            if (HWND picture = GetDlgItem(window, 0x0440)) {
                const HICON shown = reinterpret_cast<HICON>(SendMessageA(picture, STM_GETICON, 0, 0));
                if (shown == LoadIcon(nullptr, IDI_HAND)) icon = "error";
                else if (shown == LoadIcon(nullptr, IDI_EXCLAMATION)) icon = "exclamation";
                else if (shown == LoadIcon(nullptr, IDI_ASTERISK)) icon = "information";
                else if (shown == LoadIcon(nullptr, IDI_QUESTION)) icon = "question";
            }
            Print("[message box icon] " + std::string(icon));
            Print("[message box] " + std::string(caption) + ": " + OneLine(text));
            const int button = GetDlgItem(window, IDOK) ? IDOK : IDCANCEL;
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

// ---- windows: what a user does in the windows the add-in opens, played by a thread timer -----------
//
// Window actions wait in a queue and are played in order while the add-in's windows run their own
// message loops (a modal window, a run that pumps messages). Each waits until its window is there.

struct WindowAction {
    std::string verb; // press, cancel-after, report, picture
    std::string caption; // the window's caption
    int control = 0; // press: the control id
    int lines = 0; // cancel-after: report lines seen before Cancel
    std::string path; // picture: the BMP file written; select: the tree item path
};

std::vector<WindowAction> g_actions;

HWND FindThreadWindow(const std::string& caption) {
    struct Search {
        const std::string* caption;
        HWND found;
    } search{&caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            char text[256] = {};
            GetWindowTextA(window, text, sizeof text);
            if (IsWindowVisible(window) && *s->caption == text) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// The progress window's report: its rich edit control (5008), one entry per line.
std::vector<std::string> ReportLines(HWND window) {
    std::vector<std::string> lines;
    std::string text = WindowText(GetDlgItem(window, 5008));
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else
            line += c;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// The first window below `parent` (at any depth) with this control id.
HWND FindDescendant(HWND parent, int id) {
    if (HWND child = GetDlgItem(parent, id)) return child;
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (GetDlgCtrlID(window) != s->id) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Expands the items of a path ("Store\\Folder") as a user clicks their buttons and selects the last; false
// when an item is missing.
bool ExpandAndSelect(HWND tree, const std::string& path) {
    HTREEITEM item = TVI_ROOT;
    size_t start = 0;
    while (true) {
        const size_t cut = path.find('\\', start);
        const std::string part = path.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
        if (item != TVI_ROOT) TreeView_Expand(tree, item, TVE_EXPAND);
        HTREEITEM child = item == TVI_ROOT ? TreeView_GetRoot(tree) : TreeView_GetChild(tree, item);
        for (; child; child = TreeView_GetNextSibling(tree, child)) {
            char text[260] = {};
            TVITEMA tvi{};
            tvi.mask = TVIF_TEXT;
            tvi.hItem = child;
            tvi.pszText = text;
            tvi.cchTextMax = sizeof text;
            SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
            if (part == text) break;
        }
        if (!child) return false;
        item = child;
        if (cut == std::string::npos) break;
        start = cut + 1;
    }
    return TreeView_SelectItem(tree, item) != FALSE;
}

// Plays the first action when its window is ready; true when it was played.
bool PlayAction(const WindowAction& action) {
    HWND window = FindThreadWindow(action.caption);
    if (!window) return false;
    if (action.verb == "press") {
        // The control may lie in a child window of the dialog (a page inside a tab): its parent hears the click.
        HWND control = FindDescendant(window, action.control);
        if (!control || !IsWindowEnabled(control)) return false;
        Print("[window] " + action.caption + ": press " + std::to_string(action.control) + " \"" + WindowText(control) + "\"");
        PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(action.control, BN_CLICKED), reinterpret_cast<LPARAM>(control));
        return true;
    }
    if (action.verb == "select") {
        HWND tree = FindDescendant(window, action.control);
        if (!tree || !IsWindowEnabled(tree)) return false;
        const bool found = ExpandAndSelect(tree, action.path);
        Print("[window] " + action.caption + ": select " + action.path + (found ? "" : ": not found"));
        return true;
    }
    if (action.verb == "list") {
        // A report list view's rows as the user reads them, columns joined by " | ".
        HWND list = FindDescendant(window, action.control);
        if (!list) return false;
        const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        const int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
        Print("[list] " + action.caption + " " + std::to_string(action.control) + ": " + std::to_string(rows) + " row(s)");
        for (int row = 0; row < rows; ++row) {
            std::string line;
            for (int column = 0; column < std::max(columns, 1); ++column) {
                char text[512] = {};
                LVITEMA item{};
                item.iSubItem = column;
                item.pszText = text;
                item.cchTextMax = sizeof text;
                SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
                line += (column ? " | " : "") + std::string(text);
            }
            const bool selected = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED;
            Print("[row] " + line + (selected ? " (selected)" : ""));
        }
        return true;
    }
    if (action.verb == "picture") {
        Print("[window] " + action.caption + ": picture " + (SaveWindowBitmap(window, action.path) ? "saved" : "failed"));
        return true;
    }
    if (action.verb == "cancel-after") {
        if (static_cast<int>(ReportLines(window).size()) < action.lines) return false;
        Print("[window] " + action.caption + ": cancel after " + std::to_string(action.lines) + " report line(s)");
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
        return true;
    }
    if (action.verb == "report") {
        // Read once the run is over: the Cancel button then says "Close".
        if (WindowText(GetDlgItem(window, IDCANCEL)) != "Close") return false;
        for (const std::string& line : ReportLines(window)) Print("[report] " + line);
        return true;
    }
    return true;
}

void CALLBACK PlayWindows(HWND, UINT, UINT_PTR, DWORD) {
    static bool playing = false;
    if (playing) return; // a press may start a nested loop
    playing = true;
    // A click is only posted: the next action waits for a later tick, when the click has been handled (it
    // may have closed or opened a window).
    while (!g_actions.empty() && PlayAction(g_actions.front())) {
        const bool pressed = g_actions.front().verb == "press";
        g_actions.erase(g_actions.begin());
        if (pressed) break;
    }
    playing = false;
}

// "press:<caption>:<id>", "cancel-after:<caption>:<n>", "report:<caption>", "picture:<caption>:<file>",
// "select:<caption>:<tree id>:<path>", "list:<caption>:<id>".
bool QueueWindowAction(const std::string& verb, const std::string& arg) {
    WindowAction action;
    action.verb = verb;
    const std::string::size_type colon = arg.rfind(':');
    if (verb == "select") {
        const std::string::size_type first = arg.find(':');
        const std::string::size_type second = first == std::string::npos ? first : arg.find(':', first + 1);
        if (second == std::string::npos) return false;
        action.caption = arg.substr(0, first);
        action.control = std::atoi(arg.substr(first + 1, second - first - 1).c_str());
        action.path = arg.substr(second + 1);
    } else if (verb == "picture") {
        const std::string::size_type first = arg.find(':');
        if (first == std::string::npos) return false;
        action.caption = arg.substr(0, first);
        action.path = arg.substr(first + 1);
    } else if (verb == "report") {
        action.caption = arg;
    } else {
        if (colon == std::string::npos) return false;
        action.caption = arg.substr(0, colon);
        const int n = std::atoi(arg.substr(colon + 1).c_str());
        if (verb == "press" || verb == "list") action.control = n;
        else action.lines = n;
    }
    g_actions.push_back(action);
    return true;
}

// ---- add-ins -----------------------------------------------------------------------------------------

struct AddIn {
    std::string progId;
    std::string modulePath;
    ComPtr<IUnknown> object;
    bool connected = false;
};

std::string ReadString(HKEY root, const std::string& key, const char* value) {
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    if (RegGetValueA(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return std::string();
    return data;
}

// The add-ins Outlook would load at start-up: LoadBehavior 3 under HKLM\...\Outlook\AddIns.
std::vector<AddIn> FindAddIns() {
    std::vector<AddIn> found;
    HKEY addIns = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Outlook\\AddIns", 0, KEY_READ, &addIns) !=
        ERROR_SUCCESS)
        return found;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(addIns, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DWORD behavior = 0, size = sizeof behavior;
        if (RegGetValueA(addIns, name, "LoadBehavior", RRF_RT_REG_DWORD, nullptr, &behavior, &size) != ERROR_SUCCESS ||
            behavior != 3)
            continue;
        AddIn addIn;
        addIn.progId = name;
        found.push_back(addIn);
    }
    RegCloseKey(addIns);
    return found;
}

class Host {
public:
    Host(const WorldOptions& options, std::string profile) : m_world(options), m_profile(std::move(profile)) {}

    int Run(const std::vector<std::string>& steps) {
        for (const std::string& step : steps) {
            if (!Step(step)) {
                Print("[host] unknown step: " + step);
                return 2;
            }
            PrintTrace();
        }
        Exit();
        return 0;
    }

private:
    static void PrintTrace() {
        for (const std::string& call : TakeTrace()) PrintRaw("[call] " + call);
    }

    bool Step(const std::string& step) {
        const std::string::size_type colon = step.find(':');
        const std::string verb = step.substr(0, colon);
        const std::string arg = colon == std::string::npos ? std::string() : step.substr(colon + 1);
        const int n = arg.empty() ? 1 : std::atoi(arg.c_str());
        if (verb == "connect") Connect();
        else if (verb == "startup") ForEach("OnStartupComplete", [](_IDTExtensibility2* e) { return e->OnStartupComplete(nullptr); });
        else if (verb == "customui") CustomUI(arg.empty() ? "Microsoft.Outlook.Explorer" : arg);
        else if (verb == "ribbon-load") RibbonLoad();
        else if (verb == "callback") Callback(arg);
        else if (verb == "activate") FireExplorer(n, 0xF001, "Activate");
        else if (verb == "selection") FireExplorer(n, 0xF007, "SelectionChange");
        else if (verb == "close") CloseExplorer(n);
        else if (verb == "new-explorer") NewExplorer();
        else if (verb == "options") Options();
        else if (verb == "options-dialog") OptionsDialog();
        else if (verb == "click") Click(arg);
        else if (verb == "controls") Controls();
        else if (verb == "press" || verb == "cancel-after" || verb == "report" || verb == "picture" ||
                 verb == "select" || verb == "list")
            return QueueWindowAction(verb, arg);
        else if (verb == "dump") Dump(arg);
        else if (verb == "save") Save();
        else if (verb == "disconnect") Disconnect();
        else return false;
        return true;
    }

    void Connect() {
        for (AddIn& addIn : FindAddIns()) {
            CLSID clsid;
            const std::wstring progId = Wide(addIn.progId);
            HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
            if (SUCCEEDED(hr))
                hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(addIn.object.GetAddressOf()));
            Print("[addin] " + addIn.progId + ": created " + Hr(hr));
            if (FAILED(hr)) continue;
            wchar_t clsidText[64] = {};
            StringFromGUID2(clsid, clsidText, 64);
            addIn.modulePath = ReadString(HKEY_CLASSES_ROOT, "CLSID\\" + Narrow(clsidText) + "\\InprocServer32", nullptr);
            ComPtr<_IDTExtensibility2> extensibility;
            hr = addIn.object.As(&extensibility);
            if (SUCCEEDED(hr)) hr = extensibility->OnConnection(m_world.Application(), ext_cm_Startup, nullptr, nullptr);
            Print("[addin] " + addIn.progId + ": OnConnection " + Hr(hr));
            addIn.connected = SUCCEEDED(hr);
            m_addIns.push_back(addIn);
        }
    }

    template <class F>
    void ForEach(const char* what, F call) {
        for (AddIn& addIn : m_addIns) {
            ComPtr<_IDTExtensibility2> extensibility;
            if (!addIn.connected || FAILED(addIn.object.As(&extensibility))) continue;
            Print("[addin] " + addIn.progId + ": " + what + " " + Hr(call(extensibility.Get())));
        }
    }

    void CustomUI(const std::string& id) {
        for (AddIn& addIn : m_addIns) {
            ComPtr<IRibbonExtensibility> ribbon;
            if (FAILED(addIn.object.As(&ribbon))) {
                Print("[customui] " + addIn.progId + ": no IRibbonExtensibility");
                continue;
            }
            BSTR markup = nullptr;
            const std::wstring wideId = Wide(id);
            BSTR ribbonId = SysAllocString(wideId.c_str());
            const HRESULT hr = ribbon->GetCustomUI(ribbonId, &markup);
            SysFreeString(ribbonId);
            if (!markup) {
                Print("[customui] " + id + ": " + Hr(hr) + ", no markup");
                continue;
            }
            Print("[customui] " + id + ": " + Hr(hr) + ", markup follows");
            std::string text = Narrow(markup, static_cast<int>(SysStringLen(markup)));
            SysFreeString(markup);
            Print(text);
            Print("[customui] end");
        }
    }

    // Ribbon callbacks are invoked by name through the add-in's IDispatch, as Office does.
    HRESULT InvokeByName(AddIn& addIn, const std::string& name, IDispatch* argument, VARIANT* result) {
        ComPtr<IDispatch> dispatch;
        HRESULT hr = addIn.object.As(&dispatch);
        if (FAILED(hr)) return hr;
        std::wstring wide = Wide(name);
        LPOLESTR names[] = {wide.data()};
        DISPID id = DISPID_UNKNOWN;
        hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return hr;
        VARIANT arg = VariantObject(argument);
        DISPPARAMS params{&arg, nullptr, 1, 0};
        hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
        VariantClear(&arg);
        return hr;
    }

    void RibbonLoad() {
        ComPtr<CStandinObject> ribbonUI;
        *ribbonUI.ReleaseAndGetAddressOf() = new CStandinObject("RibbonUI", {OfficeIid(0x000C03A7)});
        for (AddIn& addIn : m_addIns)
            Print("[ribbon] " + addIn.progId + ": OnRibbonLoad " + Hr(InvokeByName(addIn, "OnRibbonLoad", ribbonUI.Get(), nullptr)));
    }

    void Callback(const std::string& name) {
        ComPtr<CStandinObject> control;
        *control.ReleaseAndGetAddressOf() = new CStandinObject("RibbonControl", {OfficeIid(0x000C0395)});
        VARIANT id = VariantString("SynchronizeMail");
        control->AddProperty("Id", 0x1, id);
        VariantClear(&id);
        for (AddIn& addIn : m_addIns) {
            VARIANT result;
            VariantInit(&result);
            const HRESULT hr = InvokeByName(addIn, name, control.Get(), &result);
            std::string kind = result.vt == VT_EMPTY ? "nothing" : (result.vt == VT_DISPATCH && result.pdispVal ? "an object" : "a value");
            VariantClear(&result);
            Print("[ribbon] " + addIn.progId + ": " + name + " " + Hr(hr) + ", returned " + kind);
        }
    }

    void FireExplorer(int n, DISPID id, const char* name) {
        CStandinObject* explorer = m_world.Explorer(n);
        if (!explorer) {
            Print("[event] no explorer " + std::to_string(n));
            return;
        }
        const int sinks = explorer->Fire(kExplorerEventsIid, id);
        Print("[event] " + explorer->Name() + "." + name + ": " + std::to_string(sinks) + " sink(s)");
    }

    // The explorer leaves the collection; events can still be fired at it by number (none should arrive).
    void CloseExplorer(int n) {
        FireExplorer(n, 0xF008, "Close");
        m_world.CloseExplorer(n);
    }

    void NewExplorer() {
        CStandinObject& explorer = m_world.NewExplorer();
        const int sinks = m_world.ExplorersObject().Fire(kExplorersEventsIid, 0xF001, {VariantObject(&explorer)});
        // The argument's reference is the host's: drop it after the event.
        explorer.Release();
        Print("[event] Explorers.NewExplorer(" + explorer.Name() + "): " + std::to_string(sinks) + " sink(s)");
    }

    // Outlook's Options dialog: the pages added by the add-ins during OptionsPagesAdd become its tabs. The
    // dialog itself is shown by options-dialog.
    std::vector<std::pair<std::string, std::string>> Options() {
        std::vector<std::pair<std::string, std::string>> added;
        ComPtr<CStandinObject> pages = m_world.NewPropertyPages(&added);
        const int sinks = m_world.ApplicationObject().Fire(kApplicationEventsIid, 0xF005, {VariantObject(pages.Get())});
        pages->Release(); // the event argument's reference
        Print("[event] Application.OptionsPagesAdd: " + std::to_string(sinks) + " sink(s), " +
              std::to_string(added.size()) + " page(s) added");
        for (const auto& [page, title] : added) Print("[options page] " + page + ": " + title);
        return added;
    }

    void OptionsDialog() {
        const auto pages = Options();
        RunOptionsDialog(pages, {[](const std::string& line) { Print(line); }, [] { return g_actions.empty(); }});
    }

    void Click(const std::string& tag) {
        CStandinObject* control = m_world.FindControlByTag(tag);
        if (!control) {
            Print("[click] no control with tag " + tag);
            return;
        }
        VARIANT cancel = VariantBool(false);
        const int sinks = control->Fire(kCommandBarButtonEventsIid, 1, {VariantObject(control), cancel});
        control->Release();
        Print("[click] " + control->Name() + ": " + std::to_string(sinks) + " sink(s)");
    }

    // Every button of the bars with what a user sees of it.
    void Controls() {
        for (const auto& control : m_world.Controls()) {
            auto text = [&](const char* name) {
                VARIANT v = control->PropertyValue(name);
                std::string t = VariantText(v);
                VariantClear(&v);
                return t;
            };
            auto has = [&](const char* name) {
                VARIANT v = control->PropertyValue(name);
                const bool set = (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal;
                VariantClear(&v);
                return set ? "yes" : "no";
            };
            Print("[control] " + control->Name() + " tag=" + text("Tag") + " style=" + text("Style") + " caption=" +
                  text("Caption") + " builtin-face=" + text("BuiltInFace") + " face=" + text("FaceId") +
                  " picture=" + has("Picture") + " mask=" + has("Mask") + " click-sinks=" +
                  std::to_string(control->SinkCount(kCommandBarButtonEventsIid)));
        }
    }

    void Disconnect() {
        ForEach("OnDisconnection", [](_IDTExtensibility2* e) { return e->OnDisconnection(ext_dm_HostShutdown, nullptr); });
        for (AddIn& addIn : m_addIns) addIn.connected = false;
    }

    // Outlook's exit: disconnection of whoever is still connected, release of the add-ins, then the checks.
    void Exit() {
        for (AddIn& addIn : m_addIns)
            if (addIn.connected) {
                Disconnect();
                break;
            }
        std::vector<std::string> modules;
        for (AddIn& addIn : m_addIns) {
            addIn.object.Reset();
            modules.push_back(addIn.modulePath);
        }
        m_addIns.clear();
        m_world.Release();
        for (const std::string& path : modules) {
            HMODULE module = GetModuleHandleA(path.c_str());
            auto canUnload = module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                                          reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))
                                    : nullptr;
            Print("[unload] " + path + ": DllCanUnloadNow " + (canUnload ? Hr(canUnload()) : std::string("not loaded")));
        }
        Print("[live] outlook objects: " + std::to_string(outlook::LiveObjects()));
        Print("[live] mapi objects: " + std::to_string(standin::LiveObjects()));
    }

    // The items of a folder ("Store\\Folder\\Sub"), by subject.
    void Dump(const std::string& path) {
        const standin::Bytes folder = standin::FolderByPath(path);
        if (folder.empty()) {
            Print("[dump] " + path + ": no such folder");
            return;
        }
        std::vector<std::string> subjects;
        for (const standin::ItemView& item : standin::Items(folder)) subjects.push_back(item.subject);
        std::sort(subjects.begin(), subjects.end());
        Print("[dump] " + path + ": " + std::to_string(subjects.size()) + " item(s)");
        for (const std::string& subject : subjects) Print("[item] " + subject);
    }

    // Outlook keeps its stores: the profile file is written back.
    void Save() {
        std::string error;
        if (m_profile.empty()) Print("[save] no profile file");
        else if (!standin::SaveProfile(m_profile, &error)) Print("[save] failed: " + error);
        else Print("[save] " + m_profile);
    }

    COutlookWorld m_world;
    std::string m_profile;
    std::vector<AddIn> m_addIns;
};

const char kUsage[] =
    "usage: outlookhost [options] step ...\n"
    "options:\n"
    "  --profile <file>        stand-in MAPI profile behind NameSpace.MAPIOBJECT (default: an empty profile)\n"
    "  --version <text>        Application.Version (default 16.0.0.4266)\n"
    "  --explorers <n>         explorers open at start (default 1)\n"
    "  --no-active-explorer    ActiveExplorer answers nothing\n"
    "  --session profile|missing|failing   what NameSpace.MAPIOBJECT answers\n"
    "  --trace                 print every object-model member the add-ins call ([call] Object.Member)\n"
    "  --fail <Object.Member>  that member fails (E_FAIL with a description), e.g. Explorer1.Application\n"
    "  --preset-toolbar-tag <tag>  a button with this tag already sits on each \"Standard\" bar\n"
    "steps (in order):\n"
    "  connect  startup  customui[:<ribbon id>]  ribbon-load  callback:<name>\n"
    "  activate[:n]  selection[:n]  close[:n]  new-explorer  options  click:<tag>  controls  disconnect\n"
    "  dump:<Store\\Folder>  save (writes the profile file back)\n"
    "  options-dialog  (OptionsPagesAdd, then the dialog \"Options\" hosting the pages: OK 1, Cancel 2, Apply 0x3021;\n"
    "                  cancelled once no window action is left)\n"
    "window actions (queued; played in order while the add-in's windows are up, each once its window is):\n"
    "  press:<caption>:<control id>  cancel-after:<caption>:<n report lines>  report:<caption>\n"
    "  picture:<caption>:<bmp file>  select:<caption>:<tree id>:<Store\\Folder> (expands and selects)\n"
    "  list:<caption>:<list view id> (prints its rows)  (press, select and list find the control in child windows too)\n"
    "A window action still waiting at exit makes the host exit with 4.\n"
    "At exit the host disconnects what is still connected, releases the add-ins and prints\n"
    "DllCanUnloadNow of each add-in module and the objects of the stand-in still alive.\n";

} // namespace

int main(int argc, char** argv) {
    WorldOptions options;
    std::string profile;
    bool trace = false;
    std::vector<std::string> steps;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fputs(kUsage, stderr);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--profile") profile = next();
        else if (a == "--version") options.version = next();
        else if (a == "--explorers") options.explorers = std::atoi(next().c_str());
        else if (a == "--no-active-explorer") options.activeExplorer = false;
        else if (a == "--trace") trace = true;
        else if (a == "--fail") FailMember(next());
        else if (a == "--preset-toolbar-tag") options.presetToolbarTag = next();
        else if (a == "--session") {
            const std::string mode = next();
            if (mode == "missing") options.session = SessionMode::Missing;
            else if (mode == "failing") options.session = SessionMode::Failing;
            else options.session = SessionMode::Profile;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a.rfind("--", 0) == 0) {
            std::fputs(kUsage, stderr);
            return 2;
        } else steps.push_back(a);
    }
    if (steps.empty()) steps = {"connect", "startup", "customui", "disconnect"};

    standin::Reset();
    if (!profile.empty()) {
        std::string error;
        if (!standin::LoadProfile(profile, &error)) {
            std::fprintf(stderr, "outlookhost: cannot load profile %s: %s\n", profile.c_str(), error.c_str());
            return 2;
        }
    }
    if (FAILED(OleInitialize(nullptr))) return 3;
    g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, BoxHook, nullptr, GetCurrentThreadId());
    SetTracing(trace);
    const UINT_PTR player = SetTimer(nullptr, 0, 50, PlayWindows);
    int rc = 0;
    {
        Host host(options, profile);
        rc = host.Run(steps);
    }
    KillTimer(nullptr, player);
    if (!g_actions.empty()) {
        Print("[window] never played: " + g_actions.front().verb + ":" + g_actions.front().caption);
        rc = 4;
    }
    if (g_hook) UnhookWindowsHookEx(g_hook);
    OleUninitialize();
    return rc;
}
