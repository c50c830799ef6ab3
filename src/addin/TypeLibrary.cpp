#include "addin/TypeLibrary.h"

#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "base/StringTable.h"

namespace zx::com {

namespace {

struct CachedLibrary {
    Microsoft::WRL::ComPtr<ITypeLib> library;
    std::vector<std::pair<IID, Microsoft::WRL::ComPtr<ITypeInfo>>> infos;
};

// Filled on the first call that needs them, emptied when the module finishes (never under the loader lock).
CachedLibrary g_cache[2];

ITypeLib* Library(TypeLibResource which) {
    Microsoft::WRL::ComPtr<ITypeLib>& slot = g_cache[static_cast<int>(which) - 1].library;
    if (!slot) {
        wchar_t path[MAX_PATH] = {};
        const DWORD n = ::GetModuleFileNameW(ZxGetThisModule(), path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return nullptr;
        std::wstring file(path, n);
        if (which != TypeLibResource::Own) file += L"\\" + std::to_wstring(static_cast<int>(which));
        ::LoadTypeLibEx(file.c_str(), REGKIND_NONE, &slot);
    }
    return slot.Get();
}

} // namespace

ITypeInfo* GetModuleTypeInfo(TypeLibResource which, REFIID iid) {
    CachedLibrary& cached = g_cache[static_cast<int>(which) - 1];
    for (const auto& [known, info] : cached.infos)
        if (known == iid) return info.Get();
    ITypeLib* library = Library(which);
    if (!library) return nullptr;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    if (FAILED(library->GetTypeInfoOfGuid(iid, &info)) || !info) return nullptr;
    cached.infos.emplace_back(iid, info);
    return info.Get();
}

void ReleaseModuleTypeInfos() {
    for (CachedLibrary& cached : g_cache) {
        cached.infos.clear();
        cached.library.Reset();
    }
}

} // namespace zx::com
