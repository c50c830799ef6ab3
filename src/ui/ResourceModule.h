#pragma once
// A loaded resource library (the shared "ZxRes.dll" / "ZxResEN.dll") from which icons, bitmaps and
// strings are taken by number.
#include <windows.h>
#include <string>
#include <vector>

#include "base/RefCounted.h"
#include "base/Resource.h"

class ZxResourceModule : public CRefCountedT<SingleThreadedModel> {
public:
    // Loads the first library of `names` found in the add-in module's folder, else the first found by
    // the system's library search; throws ZxExceptionText naming them all when none loads.
    explicit ZxResourceModule(const std::vector<std::string>& names);
    // The same, looking in `folder` instead of the add-in module's folder.
    ZxResourceModule(const std::vector<std::string>& names, const std::string& folder);
    ~ZxResourceModule() override = default;
    ZxResourceModule(const ZxResourceModule&) = delete;
    ZxResourceModule& operator=(const ZxResourceModule&) = delete;

    // The names every user of the shared resources passes: "ZxRes.dll", then "ZxResEN.dll".
    static const std::vector<std::string>& SharedNames();

    HMODULE GetHandle() const { return m_library.get(); }

    // Each gives nothing (null, or the empty text) when the library lacks the number. The caller owns
    // the icon and the bitmap.
    HICON LoadIconById(unsigned id) const;
    // The icon drawn at `size` pixels (the icon's own drawing of that size where it has one).
    HICON LoadIconById(unsigned id, int size) const;
    HBITMAP LoadBitmapById(unsigned id) const;
    std::string LoadStringById(unsigned id) const;

private:
    zx::unique_hmodule m_library;
};
