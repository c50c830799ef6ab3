#pragma once
// What the pair model and settings tests share: a stand-in profile with a leak check, a temporary
// add-in data folder and log, an observer of the add-in's message boxes, and the persisted layouts
// spelled out byte by byte (built here from the layout tables, never with the writers under test).
#include <gtest/gtest.h>

#include <windows.h>
#include <mapix.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Standin.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "support/MapiWorld.h"
#include "support/MessageBoxObserver.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "config/FolderDesc.h"
#include "mapi/Binary.h"
#include "mapi/MAPIModule.h"
#include "mapi/Session.h"

// ---- bytes of the layouts -------------------------------------------------------------------------

inline std::string LE32(uint32_t v) {
    std::string b;
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
    return b;
}
inline std::string LE64(uint64_t v) { return LE32(static_cast<uint32_t>(v)) + LE32(static_cast<uint32_t>(v >> 32)); }
inline std::string Int32Bytes(int32_t v) { return LE32(4) + LE32(static_cast<uint32_t>(v)); }
inline std::string TimeBytes(int64_t v) { return LE32(8) + LE64(static_cast<uint64_t>(v)); }
inline std::string StringBytes(const std::string& s) {
    return std::string(1, '\x01') + LE32(static_cast<uint32_t>(s.size())) + s;
}
inline std::string BinaryBytes(const std::string& b) { return Int32Bytes(static_cast<int32_t>(b.size())) + b; }

struct FolderFields {
    std::string folderId, storeId, name;
    int32_t flags = 0;
    std::string storeFile;
    int64_t created = 0;
};

inline std::string FolderV1Bytes(const FolderFields& f) {
    return Int32Bytes(1) + BinaryBytes(f.folderId) + BinaryBytes(f.storeId) + StringBytes(f.name) + Int32Bytes(f.flags);
}
inline std::string FolderV2Bytes(const FolderFields& f) {
    return Int32Bytes(2) + BinaryBytes(f.folderId) + BinaryBytes(f.storeId) + StringBytes(f.name) +
           Int32Bytes(f.flags) + StringBytes(f.storeFile) + TimeBytes(f.created);
}
inline std::string PairBytes(const std::string& folder1, const std::string& folder2) {
    return Int32Bytes(1) + folder1 + folder2;
}
inline std::string ListBytes(const std::vector<std::string>& pairs) {
    std::string b = Int32Bytes(1) + Int32Bytes(static_cast<int32_t>(pairs.size()));
    for (const std::string& p : pairs) b += p;
    return b;
}

// A folder description holding exactly the fields of a record (nothing opened).
inline CFolderDesc FolderOf(const FolderFields& f) {
    CFolderDesc folder;
    folder.SetFolderEntryId(Zx(f.folderId));
    folder.SetStoreEntryId(Zx(f.storeId));
    folder.SetFolderName(f.name);
    folder.SetFolderFlags(f.flags);
    folder.SetStoreFile(f.storeFile, f.created);
    return folder;
}

// ---- files and times ------------------------------------------------------------------------------

// Seconds since 1970 as the FILETIME the file system keeps.
inline FILETIME FileTimeOfSeconds(int64_t seconds) {
    const uint64_t v = static_cast<uint64_t>(seconds * 10000000LL + 116444736000000000LL);
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(v);
    t.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return t;
}

// Creates (or replaces) a file whose creation time is `seconds`. Some file systems derive the creation
// time from the last write time, so both are set.
inline bool MakeFileCreatedAt(const std::string& path, int64_t seconds) {
    if (!WriteWholeFile(path, "store")) return false;
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const FILETIME t = FileTimeOfSeconds(seconds);
    const bool ok = SetFileTime(h, &t, nullptr, &t) != FALSE;
    CloseHandle(h);
    return ok;
}

// ---- fixtures -------------------------------------------------------------------------------------

// A MAPI world with a temporary folder of the test's own.
class ConfigMapiTest : public MapiWorldTest {
protected:
    TempDir m_temp;
};
