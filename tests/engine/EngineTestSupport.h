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
#include "support/TempDir.h"
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

inline ZxSBinary Zx(const std::string& b) {
    return ZxSBinary(static_cast<ULONG>(b.size()), reinterpret_cast<const BYTE*>(b.data()));
}

inline std::string Raw(const ZxSBinary& z) {
    return z.Data() ? std::string(reinterpret_cast<const char*>(z.Data()), z.Size()) : std::string();
}

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

// The product's log file, opened for appending (never truncated, so that other test programs sharing
// the prefix's application data folder lose nothing); a capture sees only what was written after it
// began. The log offers no way to move its file, so it stays at the product's path inside the test
// run's own Wine prefix.
class LogCapture {
public:
    LogCapture() {
        GetLogFile().Open(false);
        m_path = GetLogFile().GetFilePath();
        std::string bytes;
        ReadWholeFile(m_path, bytes);
        m_start = bytes.size();
    }
    std::string Text() const {
        std::string bytes;
        if (!ReadWholeFile(m_path, bytes) || bytes.size() < m_start) return std::string();
        return bytes.substr(m_start);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    size_t m_start = 0;
};

// MAPI's allocator in use (as after the add-in connects), a fresh stand-in profile, a temporary data
// folder, and a check that every MAPI object and buffer made by the test was released.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_wasInUse = ZxMAPIModule::Instance().IsMAPIInUse();
        ZxMAPIModule::Instance().SetMAPIInUse(true);
        standin::Reset("Outlook");
        m_baseline = standin::LiveObjects();
    }
    void TearDown() override {
        ReleaseMapi();
        EXPECT_EQ(m_baseline, standin::LiveObjects()) << "MAPI objects or buffers leaked";
        ZxMAPIModule::Instance().SetMAPIInUse(m_wasInUse);
    }
    // Tests drop what holds MAPI objects or buffers here, before the leak check.
    virtual void ReleaseMapi() {}

    static ZxIMAPISession NewSession() {
        ZxIMAPISession session;
        session.Attach(standin::NewSession());
        return session;
    }
    static ZxIMAPIFolder OpenFolder(const ZxIMAPISession& session, const standin::Bytes& id) {
        ZxIMAPIFolder folder;
        EXPECT_EQ(S_OK, session.OpenEntry(Zx(id), folder, MAPI_BEST_ACCESS));
        EXPECT_FALSE(folder.IsNull());
        return folder;
    }

    TempDir m_data;

private:
    bool m_wasInUse = false;
    long m_baseline = 0;
};
