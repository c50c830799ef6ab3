#pragma once
// A small table-driven registrar: each row names one key (and optionally one string value) and how
// unregistration treats the key. Data may hold the placeholders %MODULE%, %APPID% and %OLEMISC%.
#include <windows.h>

#include <map>
#include <span>
#include <string>

namespace zx::com {

enum class KeyRemoval {
    Remove, // removed on unregistration when nothing foreign is left below it
    Keep, // never removed (shared keys such as CLSID and AppID)
    Replace // deleted with its whole subtree before registration, removed on unregistration
};

struct CRegistryRow {
    const char* key; // below HKEY_CLASSES_ROOT
    const char* valueName; // nullptr: the key only; "": the default value
    const char* data;
    KeyRemoval removal = KeyRemoval::Remove;
};

using CRegistryReplacements = std::map<std::string, std::string>; // "MODULE" -> path, ...

// Writes every row. Replaced keys are first deleted with their subtree. Returns the first failure.
HRESULT RegisterScript(HKEY root, std::span<const CRegistryRow> rows, const CRegistryReplacements& replacements);
// Deletes every value the rows wrote and their keys, deepest first; kept keys and keys that still hold
// foreign subkeys stay. Missing keys are no failure.
HRESULT UnregisterScript(HKEY root, std::span<const CRegistryRow> rows, const CRegistryReplacements& replacements);

// "%MODULE%" and the like replaced by their values; "%%" gives "%".
std::string ExpandRegistryText(const std::string& text, const CRegistryReplacements& replacements);

} // namespace zx::com
