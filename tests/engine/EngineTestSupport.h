#pragma once
// Shared pieces of the engine tests: a temporary data folder, expected file bytes built by hand, a
// fresh stand-in profile with a leak check, and reading what the product wrote to its log.
#include <gtest/gtest.h>

#include <windows.h>
#include <mapix.h>

#include <cstdint>
#include <string>

#include "Standin.h"
#include "base/LogFile.h"
#include "support/MapiWorld.h"
#include "support/Overrides.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "mapi/Binary.h"
#include "mapi/MAPIModule.h"
#include "mapi/MAPIProps.h"
#include "mapi/Session.h"

// Expected bytes of the persisted files, written from the layout, independently of the archive.
class ByteBuilder {
public:
    ByteBuilder& Raw(const std::string& bytes) {
        m_bytes += bytes;
        return *this;
    }
    ByteBuilder& U8(uint8_t v) {
        m_bytes += static_cast<char>(v);
        return *this;
    }
    ByteBuilder& LE32(uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
        return *this;
    }
    ByteBuilder& Int32(int32_t v) { return LE32(4).LE32(static_cast<uint32_t>(v)); }
    ByteBuilder& Time(const FILETIME& t) { return LE32(8).LE32(t.dwLowDateTime).LE32(t.dwHighDateTime); }
    ByteBuilder& String(const std::string& s) { return U8(1).LE32(static_cast<uint32_t>(s.size())).Raw(s); }
    ByteBuilder& Binary(const std::string& b) { return Int32(static_cast<int32_t>(b.size())).Raw(b); }
    const std::string& Bytes() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

private:
    std::string m_bytes;
};

inline FILETIME Ft(uint64_t v) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(v & 0xFFFFFFFFu);
    t.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return t;
}

inline uint64_t U64(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// What identifies a file on disk beyond its bytes: replacing it (even with equal bytes) changes these.
struct FileStamp {
    bool exists = false;
    std::string bytes;
    FILETIME written{};
    uint64_t index = 0;
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && bytes == o.bytes && U64(written) == U64(o.written) && index == o.index;
    }
};

inline FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return stamp;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info)) {
        stamp.written = info.ftLastWriteTime;
        stamp.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    CloseHandle(h);
    stamp.exists = ReadWholeFile(path, stamp.bytes);
    return stamp;
}

// A MAPI world with a temporary data folder.
class EngineFixture : public MapiWorldTest {
protected:
    static ZxIMAPIFolder OpenFolder(const ZxIMAPISession& session, const standin::Bytes& id) {
        ZxIMAPIFolder folder;
        EXPECT_EQ(S_OK, session.OpenEntry(Zx(id), folder, MAPI_BEST_ACCESS));
        EXPECT_FALSE(folder.IsNull());
        return folder;
    }

    TempDir m_data;
    // Log, settings and caches of the product go to m_data.
    DataFolderOverride m_dataFolder{m_data.Path()};
};
