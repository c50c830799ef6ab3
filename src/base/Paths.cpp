#include "base/Paths.h"

#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
const char kAddinFolderName[] = "ZxBrackenmeadowSyncAddin";
}

ZxShellWrapper::ZxShellWrapper() {
    m_library.reset(LoadLibraryA("SHFolder.dll"));
    if (m_library)
        m_getFolderPath = reinterpret_cast<GetFolderPathFn>(
            reinterpret_cast<void*>(GetProcAddress(m_library.get(), "SHGetFolderPathA")));
}

ZxShellWrapper::~ZxShellWrapper() = default;

HRESULT ZxShellWrapper::GetFolderPath(int csidl, HANDLE token, DWORD flags, std::string& path) const {
    if (!m_getFolderPath) return E_NOTIMPL;
    char buffer[MAX_PATH + 1] = {};
    const HRESULT hr = m_getFolderPath(nullptr, csidl, token, flags, buffer);
    if (SUCCEEDED(hr)) path = buffer;
    return hr;
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderPath(const std::string& folder) {
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    while (start <= folder.size()) {
        std::string::size_type cut = folder.find_first_of("\\/", start);
        if (cut == std::string::npos) cut = folder.size();
        if (cut > start) pieces.push_back(folder.substr(start, cut - start));
        start = cut + 1;
    }
    if (pieces.size() < 2) return FolderExists(folder);

    std::string path = folder.compare(0, 2, "\\\\") == 0 ? "\\\\" : "";
    path += pieces[0];
    for (size_t i = 1; i < pieces.size(); ++i) {
        path += '\\';
        path += pieces[i];
        if (!FolderExists(path) && !CreateDirectoryA(path.c_str(), nullptr)) return false;
    }
    return true;
}

namespace {
std::string& DataFolderOverride() {
    static std::string folder;
    return folder;
}
} // namespace

std::string SetAddinDataFolderOverride(std::string folder) {
    std::string previous = std::move(DataFolderOverride());
    DataFolderOverride() = std::move(folder);
    return previous;
}

std::string GetAddinDataFolder() {
    if (!DataFolderOverride().empty()) {
        CreateFolderPath(DataFolderOverride());
        return DataFolderOverride();
    }
    ZxShellWrapper shell;
    std::string appData;
    if (FAILED(shell.GetFolderPath(CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_DEFAULT, appData)) ||
        appData.empty())
        return std::string();
    ZxFsPath folder(appData);
    folder.Append(kAddinFolderName);
    if (!CreateFolderPath(folder.Str())) return std::string();
    return folder.Str();
}

bool IsDeviceFileName(const std::string& name) {
    // Windows looks at what comes before the first dot, without trailing spaces.
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (stem == device) return true;
    // COM and LPT with one digit (superscript digits of the ANSI page count as well).
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0)) {
        const unsigned char digit = static_cast<unsigned char>(stem[3]);
        return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

std::string MakeUsableFileName(const std::string& name, bool keepHighBytes, size_t maxLength) {
    std::string usable = name;
    for (char& c : usable) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::strchr("\\/:*?\"<>|", c) || byte < 0x20 || (!keepHighBytes && byte >= 0x80)) c = '_';
    }
    // Windows drops trailing dots and spaces (and "." and ".." name other folders).
    for (auto it = usable.rbegin(); it != usable.rend() && (*it == '.' || *it == ' '); ++it) *it = '_';
    if (IsDeviceFileName(usable)) usable.insert(0, 1, '_');
    if (usable.size() > maxLength && maxLength > 9) {
        // FNV-1a over the whole name: what is cut away still tells long names apart.
        uint32_t hash = 2166136261u;
        for (unsigned char byte : name) hash = (hash ^ byte) * 16777619u;
        char suffix[10];
        std::snprintf(suffix, sizeof suffix, "~%08X", static_cast<unsigned>(hash));
        usable.resize(maxLength - 9);
        // A cut may leave a trailing dot or space, which Windows would drop.
        if (usable.back() == '.' || usable.back() == ' ') usable.back() = '_';
        usable += suffix;
    }
    return usable;
}

std::string GetProfileFolderName(const std::string& profileName) {
    // Long enough for every profile name Outlook makes, short enough that the settings and cache paths
    // below it stay within MAX_PATH.
    return MakeUsableFileName(profileName, true, 128);
}
