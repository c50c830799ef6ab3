#pragma once
// The application's message box of the windows layer, and the application name it is captioned with.
#include "ui/AppMessageBox.h"

inline constexpr const char* kZxApplicationName = "Orvanta Merrowlink Addin";
