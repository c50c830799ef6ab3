#include "addin/AppMessageBox.h"

#include "base/Errors.h"

int ZxAppMessageBox(const std::string& text, UINT type) {
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    return Error::ShowMessageBox(nullptr, text.c_str(), kZxApplicationName, type);
}
