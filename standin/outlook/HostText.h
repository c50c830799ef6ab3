#pragma once
// Text conversions of the stand-in Outlook's programs: results as the host prints them, and the ANSI
// code page to and from the wide strings of the object model.
#include <windows.h>

#include <cstdio>
#include <string>

namespace outlook {

// "S_OK", "S_FALSE" or the code in hex.
inline std::string HrText(HRESULT hr) {
    if (hr == S_OK) return "S_OK";
    if (hr == S_FALSE) return "S_FALSE";
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

inline std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n - 1) : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    return out;
}

// `length` wide characters, or up to the terminating zero when it is -1.
inline std::string Narrow(const wchar_t* text, int length = -1) {
    if (!text) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    if (length < 0 && !out.empty()) out.pop_back();
    return out;
}

} // namespace outlook
