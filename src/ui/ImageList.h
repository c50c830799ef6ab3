#pragma once
// An image list filled from bitmaps of a resource library and addressed by bitmap number: 16 by 16 at
// 96 DPI; at other scalings the library's larger drawings of the same pictures (20, 24 or 32 pixels).
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

    // Sizes the images for a window shown at `dpi` (the screen's DPI until then); the pictures already
    // added are loaded again at the new size, at their indices.
    void SetDpi(UINT dpi);
    int GetImageSize() const { return m_size; }
    // The image size for `dpi`: the largest of 16, 20, 24 and 32 that is not above 16 scaled to it.
    static int ImageSizeForDpi(UINT dpi);
    // The number of the drawing of bitmap `number` at `size` pixels: `number` itself at 16, else
    // size * 100 + number - 100 (2401 is 101 at 24 pixels).
    static unsigned SizedBitmapNumber(unsigned number, int size);

    HIMAGELIST GetHandle() const { return m_list.get(); }
    bool CreateFailed() const { return m_createFailed; }

    static constexpr COLORREF kTransparent = RGB(0x00, 0xFF, 0x00);

private:
    void CreateList();
    // The picture at the list's size: its own drawing, else the 16-pixel one stretched. Null when absent.
    HBITMAP LoadSized(unsigned number) const;

    std::map<unsigned, int> m_indices;
    CRefCountPtr<ZxResourceModule> m_module;
    COLORREF m_transparent = kTransparent;
    bool m_createFailed = false;
    int m_size = 16;
    zx::unique_himagelist m_list;
};
