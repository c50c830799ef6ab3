#include "addin/CommandBarButtonPictureHelper.h"

#include <ole2.h>
#include <olectl.h>

using Microsoft::WRL::ComPtr;

namespace Toolbars {

namespace {

// A picture object that owns the bitmap from now on (also when it could not be made).
ComPtr<IPictureDisp> OwningPicture(zx::unique_hbitmap bitmap) {
    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap.get();
    ComPtr<IPictureDisp> picture;
    if (SUCCEEDED(::OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                                             reinterpret_cast<void**>(picture.GetAddressOf()))) &&
        picture)
        (void)bitmap.release(); // the picture destroys it
    return picture;
}

// White where the bitmap has maskColour, black elsewhere; the bitmap's maskColour pixels turn black.
zx::unique_hbitmap MakeMask(HBITMAP bitmap, COLORREF maskColour) {
    BITMAP info{};
    if (!::GetObjectA(bitmap, sizeof info, &info)) return {};
    zx::unique_hbitmap mask(::CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr));
    zx::unique_hdc source(::CreateCompatibleDC(nullptr));
    zx::unique_hdc target(::CreateCompatibleDC(nullptr));
    if (!mask || !source || !target) return {};
    zx::select_object_scope sourceBitmap(source.get(), bitmap);
    zx::select_object_scope targetBitmap(target.get(), mask.get());
    ::SetBkColor(source.get(), maskColour);
    ::BitBlt(target.get(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
    // A monochrome source is drawn in the target's text (0) and background (1) colours.
    ::SetTextColor(source.get(), RGB(0, 0, 0));
    ::SetBkColor(source.get(), RGB(255, 255, 255));
    ::BitBlt(source.get(), 0, 0, info.bmWidth, info.bmHeight, target.get(), 0, 0, SRCINVERT);
    return mask;
}

bool PutObject(const Outlook::CDispatchDriver& button, const char* name, IPictureDisp* picture) {
    try {
        button.Put(name, Outlook::MakeVariant(static_cast<IDispatch*>(picture)));
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

bool CCommandBarButtonPictureHelper::SetPicture(const Outlook::CDispatchDriver& button, zx::unique_hbitmap bitmap,
                                                COLORREF maskColour) {
    if (!bitmap) return false;
    const HBITMAP handle = bitmap.get();
    ComPtr<IPictureDisp> picture = OwningPicture(std::move(bitmap));
    if (!picture) return false;
    ComPtr<IPictureDisp> mask = OwningPicture(MakeMask(handle, maskColour));
    if (!mask) return false;
    return PutObject(button, "Picture", picture.Get()) && PutObject(button, "Mask", mask.Get());
}

} // namespace Toolbars
