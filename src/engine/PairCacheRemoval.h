#pragma once
// The settings' removal of dropped pairs' caches, done with a folder cache factory of the profile.
#include "config/PairCaches.h"

class CPairCacheRemoval final : public IPairCacheRemoval {
public:
    // Reads the profile's cache index, removes both caches of each pair (files and index entries) and
    // saves the index.
    void RemovePairCaches(const std::string& profileName, const CAssocsContainer& removed) override;
};
