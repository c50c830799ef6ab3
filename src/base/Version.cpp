#include "base/Version.h"

#include <cstdlib>
#include <cstring>

CFileVersionInfo::CFileVersionInfo(HMODULE module) {
    CFileVersionInfo::Reset();
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(path, 0, size, block.data())) return;
    void* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &fixed, &length) || !fixed || length != sizeof(VS_FIXEDFILEINFO)) return;
    std::memcpy(&m_info, fixed, sizeof m_info);
}

void CFileVersionInfo::Reset() { std::memset(&m_info, 0, sizeof m_info); }

std::string CFileVersionInfo::GetVersionText(int parts) const {
    const unsigned numbers[4] = {HIWORD(m_info.dwFileVersionMS), LOWORD(m_info.dwFileVersionMS),
                                 HIWORD(m_info.dwFileVersionLS), LOWORD(m_info.dwFileVersionLS)};
    if (parts < 1) parts = 1;
    if (parts > 4) parts = 4;
    std::string text;
    for (int i = 0; i < parts; ++i) {
        if (i) text += '.';
        text += std::to_string(numbers[i]);
    }
    return text;
}

CVersionNumber::CVersionNumber(const char* text, const char* separators) {
    if (!text) return;
    const std::string s(text);
    const std::string seps(separators ? separators : "");
    std::string::size_type start = 0;
    while (start <= s.size()) {
        std::string::size_type cut = seps.empty() ? std::string::npos : s.find_first_of(seps, start);
        if (cut == std::string::npos) cut = s.size();
        if (cut > start) push_back(static_cast<int>(std::strtol(s.substr(start, cut - start).c_str(), nullptr, 10)));
        start = cut + 1;
    }
}
