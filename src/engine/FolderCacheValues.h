#pragma once
// Values shared by the folder cache's flat storage and its file: 64-bit times as FILETIMEs (the other
// way, TimeValue, is base/FileTime.h) and the byte-wise order of identifiers.
#include <windows.h>

#include "base/FileTime.h"

#include <algorithm>
#include <cstring>

namespace folder_cache {

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
