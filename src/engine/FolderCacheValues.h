#pragma once
// Values shared by the folder cache's flat storage and its file: times as 64-bit numbers and the
// byte-wise order of identifiers.
#include <windows.h>

#include <algorithm>
#include <cstring>

namespace folder_cache {

inline ULONGLONG TimeValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline FILETIME FileTimeOf(ULONGLONG value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

// Byte-wise order of two strings, as std::string orders them.
inline bool Less(const BYTE* a, size_t aSize, const BYTE* b, size_t bSize) {
    const int c = std::memcmp(a, b, std::min(aSize, bSize));
    return c != 0 ? c < 0 : aSize < bSize;
}


} // namespace folder_cache
