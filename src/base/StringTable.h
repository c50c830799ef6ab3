#pragma once
// Texts by number from the string table, and printf-style formatting without a length limit.
#include <windows.h>
#include <cstdarg>
#include <string>
#include <_mingw.h>

#ifndef ZX_PRINTF_FORMAT
#define ZX_PRINTF_FORMAT(fmt, first) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, first)))
#endif

// The string with number `id`: first from the resource module set with ZxSetStringModule (a satellite
// library), then from the module that holds this code. A number no source holds gives "".
std::string ZxLoadString(unsigned id);

// The module searched first; nullptr (the default) means the module that holds this code.
// Returns the previous setting. The caller keeps the library loaded while it is set.
HMODULE ZxSetStringModule(HMODULE module);
HMODULE ZxGetStringModule(); // the current first source (never nullptr)
HMODULE ZxGetThisModule(); // the module that holds this code (the add-in DLL or a test program)

// printf-style formatting of any length. The format must come from the program (a literal or the
// string table), never from data: pass data through "%s".
std::string ZxFormat(const char* format, ...) ZX_PRINTF_FORMAT(1, 2);
std::string ZxFormatV(const char* format, va_list args);
