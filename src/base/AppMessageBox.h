#pragma once
// The add-in's own message box: captioned with the application's name, as every window of it shows.
#include <windows.h>
#include <string>
#include <vector>

// "Orvanta Merrowlink Addin": the application's name, the caption of every message box the add-in shows
// outside its error box, the title of its options page and of its registry entries. Defined here only.
inline constexpr char kZxAppName[] = "Orvanta Merrowlink Addin";

// Shows `text` with the application's caption; `type` defaults to an OK button with the exclamation
// icon. The owner is the active window of the thread, so the box is modal to it. Goes through the
// error layer's message box seam; returns the button code.
int ZxAppMessageBox(const std::string& text, UINT type = MB_OK | MB_ICONEXCLAMATION);

// Something the user must be told that a lower layer found (a damaged settings file, pairs it dropped):
// the text, already logged, and the icon of its box. The command that did the work shows it.
struct ZxNotice {
    std::string text;
    UINT icon = MB_ICONINFORMATION;
};
// Shows each notice in the application's box with an OK button, in order.
void ZxShowNotices(const std::vector<ZxNotice>& notices);
