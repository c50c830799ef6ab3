#pragma once
// Switches the windows' and the string loader's resource source to a satellite library found beside
// the add-in module, for as long as the application object lives.
#include <windows.h>
#include <string>
#include <vector>

#include "base/Resource.h"
#include "base/StringTable.h"
#include "ui/ResourceSource.h"

// What "the resource source" means for the add-in's own windows: dialog templates and pictures
// (ResourceSource.h) and texts (StringTable.h) switch together.
struct ZxResourceLoaderTraitsMFC {
    // Makes `module` the source; returns the previous one (nullptr: the add-in module).
    static HMODULE Switch(HMODULE module) {
        ZxSetStringModule(module);
        return ZxSetResourceHandle(module);
    }
    static void Restore(HMODULE previous) {
        ZxSetStringModule(previous);
        ZxSetResourceHandle(previous);
    }
};

template <class Traits>
class ZxResourceLoaderT {
public:
    explicit ZxResourceLoaderT(std::string name) { m_names.push_back(std::move(name)); }
    virtual ~ZxResourceLoaderT() { Unload(); }
    ZxResourceLoaderT(const ZxResourceLoaderT&) = delete;
    ZxResourceLoaderT& operator=(const ZxResourceLoaderT&) = delete;

    // Loads the first candidate that exists beside the add-in module and makes it the resource source.
    // When none loads, the add-in module stays the source. Returns whether a library was loaded.
    bool Load() {
        Unload();
        const std::string folder = ZxGetModuleFolder();
        for (const std::string& name : m_names) {
            const std::string path = folder + name;
            if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
            m_library.reset(LoadLibraryA(path.c_str()));
            if (m_library) {
                m_previous = Traits::Switch(m_library.get());
                m_path = path;
                return true;
            }
        }
        return false;
    }

    // Gives the previous source back and frees the library.
    void Unload() {
        if (!m_library) return;
        Traits::Restore(m_previous);
        m_previous = nullptr;
        m_library.reset();
        m_path.clear();
    }

    HMODULE GetLibrary() const { return m_library.get(); }
    const std::string& GetPath() const { return m_path; }

private:
    std::vector<std::string> m_names;
    HMODULE m_previous = nullptr;
    zx::unique_hmodule m_library;
    std::string m_path;
};

using ZxResourceLoader = ZxResourceLoaderT<ZxResourceLoaderTraitsMFC>;
