#pragma once
// What the settings need of the folder state caches, which live in the engine above this layer: when a
// pair is dropped, both its caches (each folder relative to the other) go with it. The engine's
// CPairCacheRemoval is the product's one.
#include <string>

#include "config/AssocsContainer.h"

class IPairCacheRemoval {
public:
    virtual ~IPairCacheRemoval() = default;
    // Forgets both caches of every pair in `removed`, in the profile's cache folder.
    virtual void RemovePairCaches(const std::string& profileName, const CAssocsContainer& removed) = 0;
};
