#pragma once
// One size measured in one process, so that the peak memory figures belong to that size alone.
#include <map>
#include <string>
#include <vector>

#include "BareLoops.h"
#include "Measure.h"

namespace bench {

// Where the time of one run goes, read from the times of its report lines (of the best repetition).
struct Phases {
    double start = 0; // cache factory and index, up to the pair's first line
    double caches = 0; // both caches loaded, both contents tables, up to "Scanning folder 1"
    double scan1 = 0; // folder 1 scanned
    double scan2 = 0; // folder 2 scanned
    double conflicts = 0; // conflict search
    double changes = 0; // new and changed items in both directions
    double deletions = 0; // deletions in both directions and both caches saved
    double end = 0; // the closing lines and the factory's release
};

struct StepFigures {
    double ms = 0; // best of the runs
    std::vector<double> runs; // every run, in order
    std::map<std::string, long> calls; // stand-in calls of one (the last) run
    Phases phases; // the engine's steps in its best run
    BareTimes bare; // a bare loop's steps in its best run
};

struct SizeFigures {
    int items = 0;
    int repetitions = 0;
    bool engine = true; // false: the world and the bare loops only (peak memory without the engine)
    StepFigures firstSync, bareFirstSync, rerun, bareScan, changedRerun;
    // Engine / bare for each pair of runs made side by side (the order alternates between pairs).
    std::vector<double> firstSyncRatios, rerunRatios;
    int changedItems = 0;
    double cacheLoadMs = 0, cacheSaveMs = 0;
    double pairIdsMs = 0; // one new pair id per item, as a first sync makes them
    long rerunOpenEntry = -1; // IMAPIFolder::OpenEntry calls during no-change reruns
    // Heap bytes that a cache of `items` items holds once loaded, and the identifiers' own bytes in it.
    double cacheBytesPerItem = 0, identifierBytesPerItem = 0;
    MemoryPeak peak;
    std::string failure; // empty when every run did what it should
};

// Builds the profile `repetitions` times and measures every step; caches and log go to a temporary
// folder that is removed afterwards. Without the engine only the world and the bare loops run.
SizeFigures MeasureSize(int items, int repetitions, bool engine);

// An automatic run (the engine stepped on a fiber of the thread, CSteppedRun) under a message loop, as
// Outlook's: the longest time one message kept the loop from running, milliseconds.
struct StallFigures {
    int items = 0;
    double firstSyncLongest = 0, noChangeLongest = 0; // the stall the user may feel
    double firstSyncMs = 0, noChangeMs = 0; // the whole run
    int firstSyncSteps = 0, noChangeSteps = 0;
    std::string failure;
};
StallFigures MeasureStall(int items);

// The figures as "key value" lines, and back.
std::string Serialize(const SizeFigures& figures);
bool Deserialize(const std::string& text, SizeFigures& figures);

} // namespace bench
