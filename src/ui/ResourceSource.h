#pragma once
// Where the add-in's windows take their dialog templates, bitmaps and icons from: the resource source
// (a satellite library while one is loaded), then the module that holds this code.
#include <windows.h>
#include <string>

// Makes `module` the resource source of the windows; nullptr means the module itself. Returns the
// previous setting (nullptr when it was the module). The caller keeps the library loaded while set.
HMODULE ZxSetResourceHandle(HMODULE module);
// The current resource source (never nullptr).
HMODULE ZxGetResourceHandle();

// The module of a resource: the resource source when it holds one of that number and type, else the
// module itself when it does; nullptr when neither has it.
HMODULE ZxFindResourceHandle(LPCSTR name, LPCSTR type);

// The folder of the module that holds this code: its full path up to and including the last backslash
// or slash.
std::string ZxGetModuleFolder();

// A bitmap or an icon of the module's own pictures, from the resource source first (a satellite may
// replace them). Null when neither holds it. The caller owns what it gets.
HBITMAP ZxLoadModuleBitmap(unsigned id);
// The drawing of picture `id` for a window at `dpi`: at 125, 150 and 200 % the module's larger drawings
// (id + 100, + 200, + 300), from the same module as picture `id` itself; picture `id` where that
// module has no larger drawing.
HBITMAP ZxLoadModuleBitmapForDpi(unsigned id, UINT dpi);
HICON ZxLoadModuleIcon(unsigned id, int width, int height);
