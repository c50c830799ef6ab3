#pragma once
// The add-in's own message box: captioned with the application's name, as every window of it shows.
#include <windows.h>
#include <string>

// "Orvanta Merrowlink Addin": the application's name, the caption of every message box the add-in shows
// outside its error box, the title of its options page and of its registry entries. Defined here only.
inline constexpr char kZxAppName[] = "Orvanta Merrowlink Addin";

// Shows `text` with the application's caption; `type` defaults to an OK button with the exclamation
// icon. The owner is the active window of the thread, so the box is modal to it. Goes through the
// error layer's message box seam; returns the button code.
int ZxAppMessageBox(const std::string& text, UINT type = MB_OK | MB_ICONEXCLAMATION);
