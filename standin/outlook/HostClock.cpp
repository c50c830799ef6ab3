#include "HostClock.h"

#include <cstring>

namespace outlook {
namespace {

ULONGLONG g_offset = 0;

ULONGLONG WINAPI HostTickCount64() { return GetTickCount64() + g_offset; }
DWORD WINAPI HostTickCount() { return static_cast<DWORD>(GetTickCount64() + g_offset); }

bool IsKernel32(const char* name) {
    return _stricmp(name, "kernel32.dll") == 0 || _strnicmp(name, "api-ms-win-core-sysinfo-", 24) == 0;
}

} // namespace

int InstallClock(HMODULE module) {
    if (!module) return 0;
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return 0;
    int patched = 0;
    for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         descriptor->Name; ++descriptor) {
        if (!IsKernel32(reinterpret_cast<const char*>(base + descriptor->Name))) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk
                                                                                                : descriptor->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const char* name = reinterpret_cast<const char*>(byName->Name);
            ULONG_PTR replacement = 0;
            if (std::strcmp(name, "GetTickCount64") == 0) replacement = reinterpret_cast<ULONG_PTR>(&HostTickCount64);
            else if (std::strcmp(name, "GetTickCount") == 0) replacement = reinterpret_cast<ULONG_PTR>(&HostTickCount);
            if (!replacement) continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) continue;
            slots->u1.Function = replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            ++patched;
        }
    }
    return patched;
}

void AdvanceClock(ULONGLONG milliseconds) { g_offset += milliseconds; }

ULONGLONG ClockOffset() { return g_offset; }

} // namespace outlook
