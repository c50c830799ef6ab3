#pragma once
// A synchronization of all folder pairs of a profile, one after another, reported through any status
// window: the progress window runs it, and so can a console runner.
#include <string>

#include "config/AssocsContainer.h"
#include "engine/StatusWindow.h"

// Makes one cache factory for the profile, reads the cache index, and synchronizes every non-empty pair
// in list order.
// A failure of one pair is reported as an error line and the next pair runs; the user's cancel ends
// the run with "Synchronization interrupted by user.". Nothing escapes, not even a cancel raised by
// the last report.
void RunAllPairs(const std::string& profileName, const CAssocsContainer& pairs, IStatusWindow& status);
