#include "ui/AppMessageBox.h"

#include "base/Errors.h"

const char* const kZxAppName = "Orvanta Merrowlink Addin";

int ZxAppMessageBox(const std::string& text, UINT type) {
    return Error::ShowMessageBox(::GetActiveWindow(), text.c_str(), kZxAppName, type);
}
