#pragma once
// Conversions between UTF-16 and the 8-bit text the add-in works in: the system's ANSI code page
// (CP_ACP), as every text of the add-in is. The one place where text changes width.
#include <string>

// `length` wide characters of `text` (-1: up to its terminating zero) as ANSI text; empty for a null
// text or when the system cannot convert it.
std::string ToAnsi(const wchar_t* text, int length = -1);
inline std::string ToAnsi(const std::wstring& text) { return ToAnsi(text.data(), static_cast<int>(text.size())); }
// ANSI text as UTF-16.
std::wstring ToWide(const std::string& text);
