#pragma once
// Puts a bitmap on a command bar button of Office, with a mask that makes one colour transparent.
#include <windows.h>

#include "addin/Dispatch.h"
#include "base/Resource.h"

namespace Toolbars {

class CCommandBarButtonPictureHelper {
public:
    // Sets the button's Picture and Mask from bitmap (taken over: the picture owns it); pixels of
    // maskColour become transparent. False when the bitmap is empty or either property cannot be set.
    static bool SetPicture(const Outlook::CDispatchDriver& button, zx::unique_hbitmap bitmap, COLORREF maskColour);
};

} // namespace Toolbars
