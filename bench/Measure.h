#pragma once
// Clocks, memory figures and MAPI call counts of one measured step.
#include <windows.h>
#include <psapi.h>

#include <map>
#include <string>
#include <vector>

#include "Standin.h"

namespace bench {

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&m_start); }
    double Milliseconds() const {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_start;
};

struct MemoryPeak {
    double workingSetMB = 0;
    double pagefileMB = 0;
};

inline MemoryPeak PeakMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    MemoryPeak peak;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        peak.workingSetMB = static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
        peak.pagefileMB = static_cast<double>(counters.PeakPagefileUsage) / (1024.0 * 1024.0);
    }
    return peak;
}

// Bytes in busy blocks of every heap of the process (the CRT's, the process heap, the stand-in's MAPI
// heap): what the process holds at this moment, with no page rounding. Walks every block: slow.
inline size_t HeapBytesInUse() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    size_t total = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heap);
    }
    return total;
}

// Calls per method counted by the stand-in since its last ResetCounters, without the second name an
// inherited method also answers to ("IMAPIProp::GetProps" beside "IMessage::GetProps").
inline std::map<std::string, long> OwnCallCounts() {
    std::map<std::string, long> counts;
    for (const auto& [name, n] : standin::CallCounts()) {
        if (n == 0 || name.rfind("IMAPIProp::", 0) == 0 || name.rfind("IMAPIContainer::", 0) == 0) continue;
        counts[name] = n;
    }
    return counts;
}

} // namespace bench
