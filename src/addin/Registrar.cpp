#include "addin/Registrar.h"

#include <algorithm>
#include <set>
#include <vector>

#include "base/Resource.h"

namespace zx::com {

std::string ExpandRegistryText(const std::string& text, const CRegistryReplacements& replacements) {
    std::string out;
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const std::string::size_type end = text.find('%', i + 1);
        if (end == std::string::npos) {
            out.append(text, i, std::string::npos);
            break;
        }
        const std::string name = text.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += '%';
        } else {
            const auto found = replacements.find(name);
            out += found != replacements.end() ? found->second : text.substr(i, end - i + 1);
        }
        i = end;
    }
    return out;
}

namespace {

HRESULT FromWin32(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

// The keys of the rows, each once, in the order they first appear.
std::vector<std::string> KeysOf(std::span<const CRegistryRow> rows, const CRegistryReplacements& replacements) {
    std::vector<std::string> keys;
    std::set<std::string> seen;
    for (const CRegistryRow& row : rows) {
        std::string key = ExpandRegistryText(row.key, replacements);
        if (seen.insert(key).second) keys.push_back(std::move(key));
    }
    return keys;
}

KeyRemoval RemovalOf(std::span<const CRegistryRow> rows, const std::string& key,
                     const CRegistryReplacements& replacements) {
    KeyRemoval removal = KeyRemoval::Remove;
    for (const CRegistryRow& row : rows)
        if (ExpandRegistryText(row.key, replacements) == key && row.removal != KeyRemoval::Remove)
            removal = row.removal;
    return removal;
}

size_t Depth(const std::string& key) { return static_cast<size_t>(std::count(key.begin(), key.end(), '\\')); }

} // namespace

HRESULT RegisterScript(HKEY root, std::span<const CRegistryRow> rows, const CRegistryReplacements& replacements) {
    for (const std::string& key : KeysOf(rows, replacements))
        if (RemovalOf(rows, key, replacements) == KeyRemoval::Replace) ::RegDeleteTreeA(root, key.c_str());
    for (const CRegistryRow& row : rows) {
        const std::string key = ExpandRegistryText(row.key, replacements);
        unique_hkey opened;
        LONG rc = ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                    nullptr, opened.put(), nullptr);
        if (rc != ERROR_SUCCESS) return FromWin32(rc);
        if (!row.valueName) continue;
        const std::string data = ExpandRegistryText(row.data ? row.data : "", replacements);
        rc = ::RegSetValueExA(opened.get(), *row.valueName ? row.valueName : nullptr, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
        if (rc != ERROR_SUCCESS) return FromWin32(rc);
    }
    return S_OK;
}

HRESULT UnregisterScript(HKEY root, std::span<const CRegistryRow> rows, const CRegistryReplacements& replacements) {
    for (const CRegistryRow& row : rows) {
        if (!row.valueName) continue;
        unique_hkey opened;
        const std::string key = ExpandRegistryText(row.key, replacements);
        if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, opened.put()) == ERROR_SUCCESS)
            ::RegDeleteValueA(opened.get(), *row.valueName ? row.valueName : nullptr);
    }
    std::vector<std::string> keys = KeysOf(rows, replacements);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
    for (const std::string& key : keys) {
        switch (RemovalOf(rows, key, replacements)) {
        case KeyRemoval::Keep:
            break;
        case KeyRemoval::Replace:
            ::RegDeleteTreeA(root, key.c_str());
            break;
        case KeyRemoval::Remove:
            // Fails, and keeps the key, while another product's subkey is still below it.
            ::RegDeleteKeyA(root, key.c_str());
            break;
        }
    }
    return S_OK;
}

} // namespace zx::com
