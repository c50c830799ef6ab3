#pragma once
// The measured profile: one personal folders store with two calendar folders for the engine (a source
// with N items, an empty target) and two for the bare loops, filled alike.
#include <string>

#include "Standin.h"
#include "config/AssocDesc.h"
#include "mapi/Session.h"

namespace bench {

struct BenchFolders {
    standin::Bytes source, target; // the engine's pair
    standin::Bytes bareSource, bareTarget; // the bare loops' folders
};

constexpr const char* kProfileName = "Bench";

// Replaces the stand-in's world with the measured profile.
BenchFolders BuildWorld(int items);

// A pair of the two folders, both opened through the session as the settings would open them.
CRefCountPtr<CAssocDesc> OpenPair(const ZxIMAPISession& session, const standin::Bytes& folder1,
                                  const standin::Bytes& folder2);

// A folder opened through the session (MAPI_BEST_ACCESS), for the bare loops.
ZxIMAPIFolder OpenFolder(const ZxIMAPISession& session, const standin::Bytes& folder);

// Changes every 100th item of the folder as a user's edit would; returns how many were changed.
int ChangeOnePercent(const standin::Bytes& folder, const std::string& newBody);

} // namespace bench
