#include "base/StringTable.h"
#include "base/TextConversion.h"

#include <cstdio>
#include <vector>

namespace {

HMODULE g_stringModule = nullptr;

// Reads string `id` straight from its block of 16 in the RT_STRING resource: no length limit.
bool LoadFromModule(HMODULE module, unsigned id, std::string& out) {
    if (!module || id > 0xFFFF) return false;
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id / 16 + 1), MAKEINTRESOURCEA(6) /* RT_STRING */);
    if (!res) return false;
    HGLOBAL loaded = LoadResource(module, res);
    if (!loaded) return false;
    const WCHAR* p = static_cast<const WCHAR*>(LockResource(loaded));
    const DWORD bytes = SizeofResource(module, res);
    if (!p || bytes == 0) return false;
    const WCHAR* end = p + bytes / sizeof(WCHAR);
    // A block holds 16 counted strings; skip to entry id % 16.
    for (unsigned i = 0; i < id % 16; ++i) {
        if (p >= end) return false;
        p += 1 + *p;
    }
    if (p >= end) return false;
    const size_t len = *p++;
    if (len == 0 || static_cast<size_t>(end - p) < len) return false;
    std::string text = ToAnsi(p, static_cast<int>(len));
    if (text.empty()) return false;
    out = std::move(text);
    return true;
}

} // namespace

HMODULE ZxGetThisModule() {
    static HMODULE self = [] {
        HMODULE m = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&ZxGetThisModule), &m);
        return m;
    }();
    return self;
}

HMODULE ZxSetStringModule(HMODULE module) {
    HMODULE previous = g_stringModule;
    g_stringModule = module;
    return previous;
}

HMODULE ZxGetStringModule() { return g_stringModule ? g_stringModule : ZxGetThisModule(); }

std::string ZxLoadString(unsigned id) {
    std::string text;
    HMODULE first = ZxGetStringModule();
    if (LoadFromModule(first, id, text)) return text;
    if (first != ZxGetThisModule() && LoadFromModule(ZxGetThisModule(), id, text)) return text;
    return std::string();
}

std::string ZxFormatV(const char* format, va_list args) {
    if (!format) return std::string();
    va_list probe;
    va_copy(probe, args);
    const int n = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (n <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    va_list again;
    va_copy(again, args);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    va_end(again);
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ZxFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = ZxFormatV(format, args);
    va_end(args);
    return text;
}
