#pragma once
// A 16 by 16 image list filled from bitmaps of a resource library and addressed by bitmap number.
#include <windows.h>
#include <commctrl.h>
#include <map>
#include <string>
#include <vector>

#include "base/RefCounted.h"
#include "base/Resource.h"
#include "ui/ResourceModule.h"

class ZxImageList {
public:
    // Builds its own resource module from `names` (throws when none loads).
    explicit ZxImageList(const std::vector<std::string>& names);
    // Shares a module already loaded; a null one makes every load fail.
    explicit ZxImageList(CRefCountPtr<ZxResourceModule> module);
    ZxImageList(const ZxImageList&) = delete;
    ZxImageList& operator=(const ZxImageList&) = delete;

    // The folder image set: 114, 104 to 112, 116, 113, 115, 102, 101 in this order; true when every
    // one was added.
    bool LoadImageSet();
    // True when `number` is in the list already or has just been added.
    bool AddBitmap(unsigned number);
    // The index of `number`, or -1.
    int GetImageIndex(unsigned number) const;

    HIMAGELIST GetHandle() const { return m_list.get(); }
    bool CreateFailed() const { return m_createFailed; }

    static constexpr COLORREF kTransparent = RGB(0x00, 0xFF, 0x00);

private:
    void CreateList();

    std::map<unsigned, int> m_indices;
    CRefCountPtr<ZxResourceModule> m_module;
    COLORREF m_transparent = kTransparent;
    bool m_createFailed = false;
    zx::unique_himagelist m_list;
};
