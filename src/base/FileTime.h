#pragma once
// A FILETIME as the one 64-bit count of 100-nanosecond ticks since 1601 that it stands for.
#include <windows.h>

inline ULONGLONG TimeValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
