#include "AddinTestSupport.h"

#include <algorithm>
#include <cstring>

namespace addintest {

namespace {

struct BoxSearch {
    DWORD processId;
    std::vector<HWND> found;
};

// A message box: a dialog with the box's text control and nothing but statics and buttons (the add-in's
// own dialogs, which a test drives through the host, have edits, trees or lists).
bool IsMessageBox(HWND window) {
    if (!GetDlgItem(window, 0xFFFF)) return false;
    bool onlyStaticsAndButtons = true;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            char className[64] = {};
            GetClassNameA(child, className, sizeof className);
            if (lstrcmpiA(className, "Static") == 0 || lstrcmpiA(className, "Button") == 0) return TRUE;
            *reinterpret_cast<bool*>(param) = false;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&onlyStaticsAndButtons));
    return onlyStaticsAndButtons;
}

BOOL CALLBACK CollectBoxes(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    // A message box only; other dialogs (the options sheet, the pair dialog, the picker) are the user's to
    // answer, which the host's scenario does.
    if (pid == search->processId && std::strcmp(className, "#32770") == 0 && IsWindowVisible(window) &&
        IsMessageBox(window))
        search->found.push_back(window);
    return TRUE;
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// A box still up after a grace period is one its own process did not answer (the host answers the
// add-in's boxes itself at once): it is recorded and answered here, so that no run waits for a person.
constexpr DWORD kGraceMs = 1500;

struct Seen {
    HWND window;
    DWORD since;
};

void AnswerBoxes(DWORD processId, std::vector<Seen>& seen, std::vector<HWND>& answered, std::vector<MessageBox>& boxes) {
    BoxSearch search{processId, {}};
    EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) {
        if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
        auto first = std::find_if(seen.begin(), seen.end(), [box](const Seen& s) { return s.window == box; });
        if (first == seen.end()) {
            seen.push_back({box, GetTickCount()});
            continue;
        }
        if (GetTickCount() - first->since < kGraceMs) continue;
        answered.push_back(box);
        HWND label = GetDlgItem(box, 0xFFFF);
        boxes.push_back({WindowText(box), label ? WindowText(label) : std::string()});
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(GetDlgItem(box, IDOK) ? IDOK : IDCANCEL, BN_CLICKED), 0);
    }
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

} // namespace

ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    // The child gets none of the test's own standard handles: a helper it starts (Wine's desktop process)
    // may outlive it, and would keep the test runner waiting for the end of the test's output.
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = nul;
    startup.hStdInput = nul;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) {
        CloseHandle(readEnd);
        return result;
    }
    std::vector<HWND> answered;
    std::vector<Seen> seen;
    const DWORD start = GetTickCount();
    char buffer[4096];
    for (;;) {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0) break;
            result.output.append(buffer, got);
        }
        AnswerBoxes(process.dwProcessId, seen, answered, result.boxes);
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
        if (GetTickCount() - start > timeoutMs) {
            result.timedOut = true;
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }
    // What is left in the pipe; not read to its end, which a surviving helper could hold open.
    DWORD available = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0) break;
        result.output.append(buffer, got);
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    result.lines = SplitLines(result.output);
    return result;
}

std::string TestFolder() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of("\\/"));
}

std::string InstallFolder() { return TestFolder() + "\\addin-install"; }

std::string AddinModulePath() { return InstallFolder() + "\\ZxMerrowlinkExt.dll"; }

ProcessResult Regsvr32(bool unregister) {
    return RunProcess(std::string("regsvr32.exe /s ") + (unregister ? "/u " : "") + "\"" + AddinModulePath() + "\"");
}

bool EnsureRegistered() {
    const std::string path = ReadString(HKEY_CLASSES_ROOT,
                                        "CLSID\\{74952BBD-F13F-4D84-BD7D-7B7C9C3D5DC6}\\InprocServer32", "");
    if (path == AddinModulePath() &&
        KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\Outlook\\AddIns\\ZxBrackenmeadowSyncExt.ZxMerrowlinkAddi"))
        return true;
    return Regsvr32(false).exitCode == 0;
}

ProcessResult RunHost(const std::string& arguments) {
    return RunProcess("\"" + InstallFolder() + "\\outlookhost.exe\" " + arguments);
}

std::string ReadString(HKEY root, const std::string& key, const std::string& value, bool* found) {
    char data[2048] = {};
    DWORD size = sizeof data - 1;
    const LONG rc = RegGetValueA(root, key.c_str(), value.empty() ? nullptr : value.c_str(), RRF_RT_REG_SZ, nullptr,
                                 data, &size);
    if (found) *found = rc == ERROR_SUCCESS;
    return rc == ERROR_SUCCESS ? std::string(data) : std::string();
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

bool ValueExists(HKEY root, const std::string& key, const std::string& value) {
    return RegGetValueA(root, key.c_str(), value.empty() ? nullptr : value.c_str(), RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

namespace {
void Walk(HKEY root, const std::string& key, std::vector<std::string>& out) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
    out.push_back(key + "|");
    char name[512];
    BYTE data[2048];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
        if (RegEnumValueA(opened, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
        data[dataLength] = 0;
        const std::string text = type == REG_SZ ? std::string(reinterpret_cast<char*>(data))
                                                : "type " + std::to_string(type) + ", " + std::to_string(dataLength) + " bytes";
        out.push_back(key + "|" + name + "|" + text);
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(opened, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.push_back(name);
    }
    RegCloseKey(opened);
    for (const std::string& sub : subkeys) Walk(root, key + "\\" + sub, out);
}
} // namespace

std::vector<std::string> SnapshotTree(HKEY root, const std::string& key) {
    std::vector<std::string> out;
    Walk(root, key, out);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace addintest
