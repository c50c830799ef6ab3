// outlookhost: starts the add-ins registered for Outlook as Outlook does, over the stand-in object model and
// the stand-in MAPI profile, and plays a script of user actions given on the command line. Every message box
// the add-ins show is recorded and answered; at exit the host checks that the add-in module may unload and
// that no object of the stand-in is still alive.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "HostInterfaces.h"
#include "HostClock.h"
#include "HostText.h"
#include "OptionsDialog.h"
#include "OutlookWorld.h"
#include "Standin.h"
#include "UserActions.h"

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
        else if (verb == "dump") Dump(arg);
        else if (verb == "save") Save();
        else if (verb == "disconnect") Disconnect();
        else if (verb == "wait") Wait(arg);
        else if (verb == "during-run") m_duringRun.push_back(arg);
        else if (verb == "add-item" || verb == "edit-item" || verb == "delete-item") ChangeItem(verb, arg);
        // The active window of Outlook's thread: the foreground window is the whole display's, and other
        // programs (tests running beside this one) may own it.
        else if (verb == "focus") Print("[focus] " + WindowTitle(GetActiveWindow()));
        else return useractions::PlayStep(verb, arg) == useractions::StepResult::Done;
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
            Print("[addin] " + addIn.progId + ": created " + HrText(hr));
            if (FAILED(hr)) continue;
            wchar_t clsidText[64] = {};
            StringFromGUID2(clsid, clsidText, 64);
            addIn.modulePath = ReadString(HKEY_CLASSES_ROOT, "CLSID\\" + Narrow(clsidText) + "\\InprocServer32", nullptr);
            ComPtr<_IDTExtensibility2> extensibility;
            hr = addIn.object.As(&extensibility);
            if (SUCCEEDED(hr)) hr = extensibility->OnConnection(m_world.Application(), ext_cm_Startup, nullptr, nullptr);
            Print("[addin] " + addIn.progId + ": OnConnection " + HrText(hr));
            addIn.connected = SUCCEEDED(hr);
            // The add-in sees Outlook's clock, which a scenario can move forward (wait:<seconds>).
            InstallClock(GetModuleHandleA(addIn.modulePath.c_str()));
            m_addIns.push_back(addIn);
        }
    }

    template <class F>
    void ForEach(const char* what, F call) {
        for (AddIn& addIn : m_addIns) {
            ComPtr<_IDTExtensibility2> extensibility;
            if (!addIn.connected || FAILED(addIn.object.As(&extensibility))) continue;
            Print("[addin] " + addIn.progId + ": " + what + " " + HrText(call(extensibility.Get())));
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
                Print("[customui] " + id + ": " + HrText(hr) + ", no markup");
                continue;
            }
            Print("[customui] " + id + ": " + HrText(hr) + ", markup follows");
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
            Print("[ribbon] " + addIn.progId + ": OnRibbonLoad " + HrText(InvokeByName(addIn, "OnRibbonLoad", ribbonUI.Get(), nullptr)));
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
            Print("[ribbon] " + addIn.progId + ": " + name + " " + HrText(hr) + ", returned " + kind);
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
        RunOptionsDialog(Options(), {[](const std::string& line) { Print(line); },
                                     [] { return useractions::FirstUnplayed().empty(); }});
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
            Print("[unload] " + path + ": DllCanUnloadNow " + (canUnload ? HrText(canUnload()) : std::string("not loaded")));
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

    static std::string WindowTitle(HWND window) {
        char text[256] = {};
        if (window) GetWindowTextA(window, text, sizeof text);
        return window ? "\"" + std::string(text) + "\"" : std::string("none");
    }

    // The window an add-in's automatic run keeps while it works (found by its class, as a user sees a
    // run going on by its effects).
    static bool RunUnderWay() { return FindWindowExA(HWND_MESSAGE, nullptr, "ZxMerrowlinkSteppedRun", nullptr) != nullptr; }

    // Outlook's message loop, for a while: what the add-ins do by themselves happens here. Steps given
    // with during-run are played once an automatic run is under way (after at least one of its steps).
    void PumpFor(DWORD milliseconds) {
        const ULONGLONG until = GetTickCount64() + milliseconds;
        int stepsSeen = 0;
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                if (!m_duringRun.empty() && RunUnderWay() && ++stepsSeen > 2) {
                    const std::string step = m_duringRun.front();
                    m_duringRun.erase(m_duringRun.begin());
                    Print("[host] during the run: " + step);
                    if (!Step(step)) Print("[host] unknown step: " + step);
                    PrintTrace();
                }
            }
            // A run under way is waited for (it ends by itself, or the scenario's checks fail).
            if (GetTickCount64() >= until && !RunUnderWay()) break;
            if (GetTickCount64() >= until + 120000) {
                Print("[host] an automatic run did not end within two minutes");
                break;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    // Time passes: Outlook's clock moves forward, then the loop runs long enough for the add-ins' timers
    // to see it (and for a run they start to end).
    void Wait(const std::string& arg) {
        const ULONGLONG seconds = std::strtoull(arg.c_str(), nullptr, 10);
        AdvanceClock(seconds * 1000);
        Print("[clock] +" + std::to_string(seconds) + " s");
        PumpFor(2500);
    }

    // A user's change in Outlook: add-item|edit-item|delete-item:<Store\Folder>:<subject>.
    void ChangeItem(const std::string& verb, const std::string& arg) {
        const std::string::size_type colon = arg.rfind(':');
        const std::string path = arg.substr(0, colon);
        const std::string subject = colon == std::string::npos ? std::string() : arg.substr(colon + 1);
        const standin::Bytes folder = standin::FolderByPath(path);
        bool done = false;
        if (!folder.empty()) {
            if (verb == "add-item") {
                done = !standin::AddItem(folder, subject).empty();
            } else {
                const standin::Bytes item = standin::FindItemBySubject(folder, subject);
                if (!item.empty())
                    done = verb == "delete-item" ? standin::DeleteItem(item)
                                                 : standin::EditItem(item, {{PR_BODY_A, standin::Value::String("edited in Outlook")}});
            }
        }
        Print("[user] " + verb + " " + path + ": " + subject + (done ? "" : " (failed)"));
        // Outlook's loop runs while the user works: the store's notification of the change reaches the
        // add-ins now, at this time of the clock, not only after a later wait has moved it on.
        PumpFor(0);
    }

    COutlookWorld m_world;
    std::string m_profile;
    std::vector<std::string> m_duringRun;
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
    "  wait:<seconds>  (Outlook's clock moves forward; the message loop runs until the add-ins are idle)\n"
    "  during-run:<step>  (played once an automatic run is under way)\n"
    "  add-item|edit-item|delete-item:<Store\\Folder>:<subject>  (a user's change)  focus\n"
    "  options-dialog  (OptionsPagesAdd, then the dialog \"Options\" hosting the pages added: OK and Apply call\n"
    "                  Dirty and Apply of each page, Cancel applies nothing; cancelled once no user action is left)\n"
    "A window action still waiting at exit makes the host exit with 4.\n"
    "At exit the host disconnects what is still connected, releases the add-ins and prints\n"
    "DllCanUnloadNow of each add-in module and the objects of the stand-in still alive.\n";

} // namespace

int main(int argc, char** argv) {
    WorldOptions options;
    std::string profile;
    bool trace = false;
    std::vector<std::string> steps;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string scenarioError;
    if (!useractions::ExpandScenarioFiles(args, scenarioError)) {
        std::fprintf(stderr, "outlookhost: %s\n", scenarioError.c_str());
        return 2;
    }
    const size_t argCount = args.size();
    for (size_t i = 0; i < argCount; ++i) {
        const std::string a = args[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argCount) {
                std::fputs(kUsage, stderr);
                std::exit(2);
            }
            return args[++i];
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
            std::fputs(useractions::kUsage, stdout);
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
    SetTracing(trace);
    useractions::Start(Print);
    int rc = 0;
    {
        Host host(options, profile);
        rc = host.Run(steps);
    }
    useractions::Stop();
    const std::string unplayed = useractions::FirstUnplayed();
    if (!unplayed.empty()) {
        Print("[window] never played: " + unplayed);
        rc = 4;
    } else if (rc == 0 && useractions::FailedChecks() > 0) {
        rc = 5;
    }
    OleUninitialize();
    return rc;
}
