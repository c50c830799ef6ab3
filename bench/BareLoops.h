#pragma once
// The MAPI calls of a synchronization made directly on the stand-in, without the engine: the floor
// against which the engine's own cost is measured. Like the engine, the bare loops take both contents
// tables before either folder is read and hold them to the end, so that both sides keep the same
// table snapshots alive while they work.
#include <windows.h>
#include <mapix.h>

#include <string>
#include <vector>

namespace bench {

// Where the time of a bare loop goes, in milliseconds.
struct BareTimes {
    double tables = 0; // both GetContentsTable calls
    double scan1 = 0; // SetColumns and QueryRows of folder 1's table
    double scan2 = 0; // the same for folder 2
    double items = 0; // the per-item calls of a first synchronization
};

// Reads both folders' contents tables as the scanner does: the same five columns, batches of 200 rows,
// both tables taken before either is read. Returns the rows read in all.
size_t BareScan(IMAPIFolder* folder1, IMAPIFolder* folder2, BareTimes* times = nullptr);

// A first synchronization of a folder into an empty one: both folders scanned, then per item what the
// engine does for a new item - open it, create a message in the target, read the subject, CopyTo,
// SaveChanges(KEEP_OPEN_READWRITE), read back record key, time and entry id. Returns the items copied.
size_t BareFirstSync(IMAPIFolder* source, IMAPIFolder* target, BareTimes* times = nullptr);

} // namespace bench
