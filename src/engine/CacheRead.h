#pragma once
// Readers shared by the cache file and the cache index, for files that may be truncated or damaged.
#include <cstring>

#include "base/Archive.h"
#include "mapi/Binary.h"

// Reads a binary written by WriteBinary. True when a whole binary was there, the empty one included
// (whose eight bytes the archive's reader reports as a failure); false when the data is cut or malformed.
inline bool ReadWholeBinary(ZxMemoryArchive& archive, ZxSBinary& value) {
    static const BYTE kEmpty[8] = {4, 0, 0, 0, 0, 0, 0, 0};
    const uint32_t before = archive.GetPosition();
    if (ReadBinary(archive, value)) return true;
    return archive.GetPosition() == before + sizeof kEmpty &&
           std::memcmp(archive.GetData() + before, kEmpty, sizeof kEmpty) == 0;
}
