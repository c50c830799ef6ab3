#pragma once
// File-system paths, the shell's folder lookup and the add-in's own data folder.
#include <windows.h>
#include <string>

#include "base/Resource.h"

// A path value. Appending a component inserts one backslash unless the path is empty or already ends
// in a backslash or slash.
template <class String = std::string>
class ZxFsPathT {
public:
    ZxFsPathT() = default;
    ZxFsPathT(String path) : m_path(std::move(path)) {}
    ZxFsPathT(const char* path) : m_path(path ? path : "") {}

    ZxFsPathT& Append(const String& component) {
        if (!m_path.empty() && m_path.back() != '\\' && m_path.back() != '/') m_path += '\\';
        m_path += component;
        return *this;
    }
    ZxFsPathT& operator/=(const String& component) { return Append(component); }
    friend ZxFsPathT operator/(ZxFsPathT left, const String& component) { return left.Append(component); }

    // What follows the last backslash, or, when there is none, the last slash; the whole path otherwise.
    String FileName() const {
        typename String::size_type cut = m_path.find_last_of('\\');
        if (cut == String::npos) cut = m_path.find_last_of('/');
        return cut == String::npos ? m_path : m_path.substr(cut + 1);
    }

    const String& Str() const { return m_path; }
    const char* CStr() const { return m_path.c_str(); }
    bool IsEmpty() const { return m_path.empty(); }
    operator const String&() const { return m_path; }
    bool operator==(const ZxFsPathT& o) const { return m_path == o.m_path; }

private:
    String m_path;
};

using ZxFsPath = ZxFsPathT<std::string>;

// SHGetFolderPathA reached through "SHFolder.dll", loaded for the wrapper's lifetime.
class ZxShellWrapper {
public:
    ZxShellWrapper();
    ~ZxShellWrapper();
    ZxShellWrapper(const ZxShellWrapper&) = delete;
    ZxShellWrapper& operator=(const ZxShellWrapper&) = delete;

    bool IsAvailable() const { return m_getFolderPath != nullptr; }
    // SHGetFolderPathA(no owner, csidl, token, flags); E_NOTIMPL when the library or function is missing.
    HRESULT GetFolderPath(int csidl, HANDLE token, DWORD flags, std::string& path) const;

private:
    using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    zx::unique_hmodule m_library;
    GetFolderPathFn m_getFolderPath = nullptr;
};

// The folder "ZxBrackenmeadowSyncAddin" in the user's roaming application data, created when missing;
// empty when the application data folder cannot be had or the folder cannot be created.
std::string GetAddinDataFolder();

// Where tests and the console runner keep the add-in's files instead of the user's application data
// (log, settings, caches all follow). Empty restores the real folder. Returns the previous value.
std::string SetAddinDataFolderOverride(std::string folder);

// Creates a folder and every missing folder above it. The path is cut at every backslash and slash
// (empty pieces skipped; a leading "\\" is kept); the first piece (drive or server) is never created;
// each further prefix is created with CreateDirectoryA when missing, and the first failure ends the
// walk. A path of fewer than two pieces is only tested. Returns whether the folder exists afterwards.
bool CreateFolderPath(const std::string& folder);

// Whether `path` names an existing folder.
bool FolderExists(const std::string& path);

// Whether Windows takes a file name for a device whatever the folder: CON, PRN, AUX, NUL, COM0-9,
// LPT0-9, CONIN$ and CONOUT$ in any letter case, alone or followed by spaces, a dot and anything
// ("Con.Edison", "LPT1.txt" and "nul .old" are all devices).
bool IsDeviceFileName(const std::string& name);

// A name that always works as one file or folder name and stays the same for names that already do:
// \ / : * ? " < > | and bytes below 0x20 become underscores (and bytes from 0x80 up too unless
// `keepHighBytes`); a name made only of dots, or ending in a dot or a space (which Windows drops),
// has those dots and spaces made underscores; a device name gets an underscore in front; a name longer
// than `maxLength` bytes is cut and ends in a hash of the whole name, so that two long names do not
// meet. An empty name stays empty.
std::string MakeUsableFileName(const std::string& name, bool keepHighBytes, size_t maxLength);

// The folder name of an Outlook profile under "Settings" and "Cache": the profile name itself when it
// is a usable folder name (every existing profile folder keeps its name), otherwise as
// MakeUsableFileName makes it, with at most 128 bytes.
std::string GetProfileFolderName(const std::string& profileName);
