#include "base/AppMessageBox.h"

#include "base/Errors.h"

int ZxAppMessageBox(const std::string& text, UINT type) {
    return Error::ShowMessageBox(::GetActiveWindow(), text.c_str(), kZxAppName, type);
}
