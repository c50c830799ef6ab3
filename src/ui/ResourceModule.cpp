#include "ui/ResourceModule.h"

#include "base/Errors.h"
#include "base/TextConversion.h"
#include "base/StringTable.h"
#include "ui/ResourceSource.h"

namespace {

std::string Join(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        if (!joined.empty()) joined += ", ";
        joined += name;
    }
    return joined;
}

} // namespace

ZxResourceModule::ZxResourceModule(const std::vector<std::string>& names)
    : ZxResourceModule(names, ZxGetModuleFolder()) {}

ZxResourceModule::ZxResourceModule(const std::vector<std::string>& names, const std::string& folder) {
    for (const std::string& name : names) {
        std::string path = folder;
        if (!path.empty() && path.back() != '\\') path += '\\';
        path += name;
        m_library.reset(LoadLibraryA(path.c_str()));
        if (m_library) return;
    }
    for (const std::string& name : names) {
        m_library.reset(LoadLibraryA(name.c_str()));
        if (m_library) return;
    }
    // The names are data only through "%s"; no place is given, as users have always seen this text.
    constexpr Error::ZxFixedPlace kNoPlace{nullptr, nullptr, 0};
    ZX_THROW_TEXT_AT(kNoPlace, ZxFormat("Failed to load resource from modules: '%s'", Join(names).c_str()));
}

const std::vector<std::string>& ZxResourceModule::SharedNames() {
    static const std::vector<std::string> names{"ZxRes.dll", "ZxResEN.dll"};
    return names;
}

HICON ZxResourceModule::LoadIconById(unsigned id) const {
    if (!m_library) return nullptr;
    return static_cast<HICON>(LoadImageA(m_library.get(), MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
}

HBITMAP ZxResourceModule::LoadBitmapById(unsigned id) const {
    if (!m_library) return nullptr;
    return LoadBitmapA(m_library.get(), MAKEINTRESOURCEA(id));
}

std::string ZxResourceModule::LoadStringById(unsigned id) const {
    if (!m_library) return std::string();
    // LoadStringA with a zero length hands back a pointer to the resource itself: no length limit.
    const WCHAR* text = nullptr;
    const int n = LoadStringW(m_library.get(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return std::string();
    return ToAnsi(text, n);
}
