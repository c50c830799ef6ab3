#include "base/Paths.h"

#include <shlobj.h>
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
