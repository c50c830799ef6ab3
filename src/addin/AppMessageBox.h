#pragma once
// The application's message box: captioned with the application name, an OK button, and the exclamation
// icon unless the caller names another.
#include <windows.h>

#include <string>

inline constexpr const char* kZxApplicationName = "Orvanta Merrowlink Addin";

int ZxAppMessageBox(const std::string& text, UINT type = MB_OK);
