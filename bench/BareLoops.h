#pragma once
// The MAPI calls of a synchronization made directly on the stand-in, without the engine: the floor
// against which the engine's own cost is measured.
#include <windows.h>
#include <mapix.h>

#include <string>
#include <vector>

namespace bench {

// Reads a folder's contents table as the scanner does: the same five columns, batches of 200 rows.
// Collects the long-term entry ids of the rows when `entryIds` is given. Returns the rows read.
size_t BareScan(IMAPIFolder* folder, std::vector<std::string>* entryIds);

// A first synchronization of a folder into an empty one: both folders scanned, then per item what the
// engine does for a new item - open it, create a message in the target, read the subject, CopyTo,
// SaveChanges(KEEP_OPEN_READWRITE), read back record key, time and entry id. Returns the items copied.
size_t BareFirstSync(IMAPIFolder* source, IMAPIFolder* target);

} // namespace bench
