#include <gtest/gtest.h>

#include "base/Archive.h"
#include "mapi/Binary.h"

#include "support/TempDir.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

Bytes Content(const ZxMemoryBuffer& b) { return Bytes(b.GetData(), b.GetData() + b.GetLength()); }

ZxSBinary Bin(const Bytes& b) { return ZxSBinary(static_cast<ULONG>(b.size()), b.data()); }

std::string Str(const Bytes& b) { return std::string(b.begin(), b.end()); }

void Fill(ZxMemoryArchive& a, const Bytes& b) { a.LoadFromMemory(b.data(), static_cast<uint32_t>(b.size())); }

} // namespace

// ---- the bytes of each primitive --------------------------------------------------------------------

TEST(ArchiveBytes, WorkedExamples) {
    struct Case {
        const char* name;
        void (*write)(ZxMemoryArchive&);
        Bytes expected;
    };
    const Case cases[] = {
        {"int32 1", [](ZxMemoryArchive& a) { a.WriteInt32(1); }, {4, 0, 0, 0, 1, 0, 0, 0}},
        {"int32 -2", [](ZxMemoryArchive& a) { a.WriteInt32(-2); }, {4, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
        {"uint32 0x80040102",
         [](ZxMemoryArchive& a) { a.WriteInt32(0x80040102u); },
         {4, 0, 0, 0, 0x02, 0x01, 0x04, 0x80}},
        {"ULONG 0x01020304",
         [](ZxMemoryArchive& a) { a.WriteInt32(static_cast<ULONG>(0x01020304)); },
         {4, 0, 0, 0, 4, 3, 2, 1}},
        {"string abc", [](ZxMemoryArchive& a) { a.WriteString("abc"); }, {1, 3, 0, 0, 0, 'a', 'b', 'c'}},
        {"string empty", [](ZxMemoryArchive& a) { a.WriteString(""); }, {1, 0, 0, 0, 0}},
        {"binary 0A 0B",
         [](ZxMemoryArchive& a) {
             WriteBinary(a, Bin({0x0A, 0x0B}));
         },
         {4, 0, 0, 0, 2, 0, 0, 0, 0x0A, 0x0B}},
        {"binary empty", [](ZxMemoryArchive& a) { WriteBinary(a, ZxSBinary()); }, {4, 0, 0, 0, 0, 0, 0, 0}},
        {"filetime struct",
         [](ZxMemoryArchive& a) {
             FILETIME ft;
             ft.dwLowDateTime = 0x04030201;
             ft.dwHighDateTime = 0x08070605;
             a.WriteFileTime(ft);
         },
         {8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"filetime uint64",
         [](ZxMemoryArchive& a) { a.WriteFileTime(static_cast<uint64_t>(0x0807060504030201ull)); },
         {8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"filetime int64 -1",
         [](ZxMemoryArchive& a) { a.WriteFileTime(static_cast<int64_t>(-1)); },
         {8, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        ZxMemoryArchive a;
        c.write(a);
        EXPECT_EQ(c.expected, Content(a)) << c.name;
        EXPECT_EQ(c.expected.size(), a.GetPosition()) << c.name;
    }
}

TEST(ArchiveBytes, StringBytesAreRawWithoutTerminatorEvenWithZeros) {
    ZxMemoryArchive a;
    a.WriteString(std::string("a\0b", 3));
    a.WriteString("\xE9\xFF");
    EXPECT_EQ((Bytes{1, 3, 0, 0, 0, 'a', 0, 'b', 1, 2, 0, 0, 0, 0xE9, 0xFF}), Content(a));
}

// ---- growth -----------------------------------------------------------------------------------------

TEST(ArchiveGrowth, CapacityGrowsByTheLargerOfTheWriteAnd256WhenTheWriteReachesTheEnd) {
    struct Step {
        uint32_t n;
        uint32_t capacityAfter;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"300 into new", {{300, 300}}},
        {"1 into new", {{1, 256}}},
        {"0 into new", {{0, 256}}},
        {"fill to one short, then reach the end", {{1, 256}, {254, 256}, {1, 512}}},
        {"exactly reaching the end grows", {{10, 256}, {246, 512}}},
        {"exactly filling a new buffer", {{256, 256}}},
        {"large write past a small capacity", {{10, 256}, {1000, 1256}}},
        {"grown storage keeps growing from its size", {{300, 300}, {1, 556}}},
    };
    for (const Case& c : cases) {
        ZxMemoryArchive a;
        std::vector<BYTE> written;
        BYTE next = 0;
        for (const Step& s : c.steps) {
            std::vector<BYTE> chunk(s.n);
            for (BYTE& b : chunk) b = next++;
            a.WriteRaw(chunk.data(), s.n);
            written.insert(written.end(), chunk.begin(), chunk.end());
            EXPECT_EQ(s.capacityAfter, a.GetCapacity()) << c.name << " after " << s.n;
            EXPECT_EQ(written.size(), a.GetLength()) << c.name;
            EXPECT_EQ(a.GetLength(), a.GetPosition()) << c.name;
        }
        EXPECT_EQ(written, Content(a)) << c.name; // content survives every reallocation
    }
}

TEST(ArchiveGrowth, ReserveMakesRoomOnceAndKeepsContentAndPosition) {
    ZxMemoryArchive a;
    const BYTE head[4] = {7, 0, 0, 0};
    a.WriteRaw(head, sizeof head);
    a.Reserve(1000);
    EXPECT_EQ(1000u, a.GetCapacity());
    EXPECT_EQ(4u, a.GetPosition());
    a.Reserve(10); // never shrinks
    EXPECT_EQ(1000u, a.GetCapacity());
    std::vector<BYTE> chunk(900, 0xAB);
    a.WriteRaw(chunk.data(), static_cast<uint32_t>(chunk.size()));
    EXPECT_EQ(1000u, a.GetCapacity()); // the write fitted: no growth
    std::vector<BYTE> expected{7, 0, 0, 0};
    expected.insert(expected.end(), chunk.begin(), chunk.end());
    EXPECT_EQ(expected, Content(a));
}

TEST(ArchiveGrowth, FreeEmptiesEverything) {
    ZxMemoryArchive a;
    a.WriteInt32(5);
    a.Free();
    EXPECT_EQ(nullptr, a.GetData());
    EXPECT_EQ(0u, a.GetLength());
    EXPECT_EQ(0u, a.GetCapacity());
    EXPECT_EQ(0u, a.GetPosition());
    a.WriteInt32(6);
    EXPECT_EQ((Bytes{4, 0, 0, 0, 6, 0, 0, 0}), Content(a));
}

// ---- reading ----------------------------------------------------------------------------------------

TEST(ArchiveRead, RoundTripOfEveryPrimitive) {
    ZxMemoryArchive a;
    FILETIME ft;
    ft.dwLowDateTime = 0xDEADBEEF;
    ft.dwHighDateTime = 0x01D00000;
    a.WriteInt32(1);
    a.WriteInt32(-123456);
    a.WriteInt32(0xFFFFFFFFu);
    a.WriteFileTime(ft);
    a.WriteFileTime(static_cast<uint64_t>(0x1122334455667788ull));
    a.WriteString("Calendar");
    a.WriteString("");
    WriteBinary(a, Bin({0x00, 0xFF, 0x10}));
    WriteBinary(a, ZxSBinary());
    a.Rewind();

    int32_t version = 0, negative = 0;
    uint32_t all = 0;
    FILETIME t{};
    uint64_t u = 0;
    std::string s1, s2 = "keep";
    ZxSBinary b1, b2 = Bin({9});
    EXPECT_TRUE(a.ReadSized(version));
    EXPECT_TRUE(a.ReadSized(negative));
    EXPECT_TRUE(a.ReadSized(all));
    EXPECT_TRUE(a.ReadSized(t));
    EXPECT_TRUE(a.ReadSized(u));
    EXPECT_TRUE(a.ReadString(s1));
    a.ReadString(s2);
    EXPECT_TRUE(ReadBinary(a, b1));
    EXPECT_FALSE(ReadBinary(a, b2));
    EXPECT_EQ(0u, a.Remaining());

    EXPECT_EQ(1, version);
    EXPECT_EQ(-123456, negative);
    EXPECT_EQ(0xFFFFFFFFu, all);
    EXPECT_EQ(0xDEADBEEFu, t.dwLowDateTime);
    EXPECT_EQ(0x01D00000u, t.dwHighDateTime);
    EXPECT_EQ(0x1122334455667788ull, u);
    EXPECT_EQ("Calendar", s1);
    EXPECT_EQ("keep", s2); // a zero length leaves the string as it was
    EXPECT_EQ("00FF10", b1.ToHex());
    EXPECT_FALSE(b2.HasData()); // emptied before reading
}

TEST(ArchiveRead, ReadRawPastTheEndReadsNothing) {
    ZxMemoryArchive a;
    Fill(a, {1, 2, 3});
    BYTE out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(a.ReadRaw(out, 4));
    EXPECT_EQ(0u, a.GetPosition());
    EXPECT_EQ(9, out[0]);
    EXPECT_TRUE(a.ReadRaw(out, 3));
    EXPECT_EQ(3u, a.GetPosition());
    EXPECT_EQ(3, out[2]);
    EXPECT_FALSE(a.ReadRaw(out, 1));
    EXPECT_TRUE(a.ReadRaw(out, 0));
}

TEST(ArchiveRead, StringStopsAtItsFirstZeroButConsumesItsLength) {
    ZxMemoryArchive a;
    Fill(a, {1, 5, 0, 0, 0, 'a', 'b', 0, 'c', 'd', 4, 0, 0, 0, 7, 0, 0, 0});
    std::string s;
    a.ReadString(s);
    EXPECT_EQ("ab", s);
    EXPECT_EQ(10u, a.GetPosition());
    int32_t next = 0;
    a.ReadSized(next);
    EXPECT_EQ(7, next);
}

TEST(ArchiveRead, StringWithAnotherMarkerConsumesOnlyTheMarker) {
    ZxMemoryArchive a;
    Fill(a, {2, 4, 0, 0, 0, 9, 0, 0, 0});
    std::string s = "previous";
    EXPECT_FALSE(a.ReadString(s));
    EXPECT_EQ("previous", s);
    EXPECT_EQ(1u, a.GetPosition());
    int32_t v = 0;
    a.ReadSized(v);
    EXPECT_EQ(9, v);
}

TEST(ArchiveRead, EmptyZeroByteFileGivesZeros) {
    TempDir dir;
    const std::string path = dir / "empty.bin";
    ASSERT_TRUE(WriteWholeFile(path, ""));
    ZxMemoryArchive a;
    a.WriteInt32(3);
    EXPECT_FALSE(a.LoadFromFile(path));
    EXPECT_EQ(0u, a.GetLength());
    EXPECT_EQ(nullptr, a.GetData());
    int32_t version = 0, count = 0;
    a.ReadSized(version);
    a.ReadSized(count);
    EXPECT_EQ(0, version);
    EXPECT_EQ(0, count);
    EXPECT_FALSE(a.LoadFromFile(dir / "missing.bin"));
}

// ---- hostile and truncated data ---------------------------------------------------------------------

namespace {
// A sample holding every primitive; content bytes avoid 0x01 and small numbers so that a cut inside
// one field cannot be read as a later field.
struct Sample {
    Bytes bytes;
    std::vector<size_t> ends; // offset after each field
};

Sample MakeSample() {
    ZxMemoryArchive a;
    Sample s;
    auto mark = [&] { s.ends.push_back(a.GetLength()); };
    FILETIME ft;
    ft.dwLowDateTime = 0xAABBCCDD;
    ft.dwHighDateTime = 0x11223344;
    a.WriteInt32(1);
    mark();
    a.WriteInt32(-7);
    mark();
    a.WriteString("Inbox folder");
    mark();
    a.WriteFileTime(ft);
    mark();
    WriteBinary(a, Bin({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0xA0}));
    mark();
    a.WriteString("zz");
    mark();
    WriteBinary(a, Bin({0xC0, 0xC1}));
    mark();
    a.WriteInt32(0x7F7F7F7F);
    mark();
    s.bytes = Content(a);
    return s;
}

struct SampleValues {
    int32_t v1 = 0, v2 = 0;
    std::string s1;
    FILETIME ft{};
    ZxSBinary b1;
    std::string s2;
    ZxSBinary b2;
    int32_t v3 = 0;
};

void ReadSample(ZxMemoryArchive& a, SampleValues& v) {
    a.ReadSized(v.v1);
    a.ReadSized(v.v2);
    a.ReadString(v.s1);
    a.ReadSized(v.ft);
    ReadBinary(a, v.b1);
    a.ReadString(v.s2);
    ReadBinary(a, v.b2);
    a.ReadSized(v.v3);
}
} // namespace

TEST(ArchiveHostile, EveryTruncationReadsWhatIsWholeAndDefaultsTheRest) {
    const Sample sample = MakeSample();
    ASSERT_EQ(8u, sample.ends.size());
    for (size_t cut = 0; cut <= sample.bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        ZxMemoryArchive a;
        Fill(a, Bytes(sample.bytes.begin(), sample.bytes.begin() + cut));
        SampleValues v;
        ReadSample(a, v);
        EXPECT_LE(a.GetPosition(), a.GetLength());
        auto whole = [&](size_t field) { return sample.ends[field] <= cut; };
        EXPECT_EQ(whole(0) ? 1 : 0, v.v1);
        EXPECT_EQ(whole(1) ? -7 : 0, v.v2);
        EXPECT_EQ(whole(2) ? "Inbox folder" : "", v.s1);
        EXPECT_EQ(whole(3) ? 0xAABBCCDDu : 0u, v.ft.dwLowDateTime);
        EXPECT_EQ(whole(3) ? 0x11223344u : 0u, v.ft.dwHighDateTime);
        EXPECT_EQ(whole(4) ? "AABBCCDDEEF0A0" : "", v.b1.ToHex());
        EXPECT_EQ(whole(4), v.b1.HasData());
        EXPECT_EQ(whole(5) ? "zz" : "", v.s2);
        EXPECT_EQ(whole(6) ? "C0C1" : "", v.b2.ToHex());
        EXPECT_EQ(whole(7) ? 0x7F7F7F7F : 0, v.v3);
    }
}

TEST(ArchiveHostile, HugeAndNegativeLengthsReadNothing) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"string length 0x7FFFFFFF", {1, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}},
        {"string length 3 with 2 bytes", {1, 3, 0, 0, 0, 'a', 'b'}},
        {"string length -1", {1, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'}},
    };
    for (const Case& c : cases) {
        ZxMemoryArchive a;
        Fill(a, c.bytes);
        std::string s = "unchanged";
        EXPECT_FALSE(a.ReadString(s)) << c.name;
        EXPECT_EQ("unchanged", s) << c.name;
        EXPECT_EQ(5u, a.GetPosition()) << c.name; // marker and length only
    }
    const Case binaries[] = {
        {"count 0x7FFFFFFF", {4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0xAA}},
        {"count 0xFFFFFFFF", {4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA}},
        {"count 2 with 1 byte", {4, 0, 0, 0, 2, 0, 0, 0, 0xAA}},
    };
    for (const Case& c : binaries) {
        ZxMemoryArchive a;
        Fill(a, c.bytes);
        ZxSBinary b = Bin({1, 2});
        EXPECT_FALSE(ReadBinary(a, b)) << c.name;
        EXPECT_FALSE(b.HasData()) << c.name;
        EXPECT_EQ(nullptr, b.Data()) << c.name;
        EXPECT_EQ(8u, a.GetPosition()) << c.name;
    }
}

TEST(ArchiveHostile, SizePrefixesThatDoNotFitTheDestinationNeverWriteBeyondIt) {
    struct Guarded {
        int32_t value = 0x5A5A5A5A;
        BYTE guard[16];
    };
    struct Case {
        const char* name;
        Bytes bytes;
        uint32_t positionAfter;
    };
    // After the odd value comes i32 4, i32 7, which must still read as 7.
    const Case cases[] = {
        {"8 bytes into an int", {8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, 12},
        {"12 bytes into an int", {12, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 16},
        {"2 bytes into an int", {2, 0, 0, 0, 1, 2}, 6},
        {"zero size", {0, 0, 0, 0}, 4},
        {"negative size", {0xFC, 0xFF, 0xFF, 0xFF}, 4},
    };
    for (const Case& c : cases) {
        Bytes bytes = c.bytes;
        for (BYTE b : Bytes{4, 0, 0, 0, 7, 0, 0, 0}) bytes.push_back(b);
        ZxMemoryArchive a;
        Fill(a, bytes);
        Guarded g;
        std::memset(g.guard, 0xEE, sizeof g.guard);
        EXPECT_FALSE(a.ReadSized(g.value)) << c.name;
        EXPECT_EQ(0x5A5A5A5A, g.value) << c.name;
        for (BYTE b : g.guard) ASSERT_EQ(0xEE, b) << c.name;
        EXPECT_EQ(c.positionAfter, a.GetPosition()) << c.name;
        int32_t next = 0;
        EXPECT_TRUE(a.ReadSized(next)) << c.name;
        EXPECT_EQ(7, next) << c.name;
    }
    // A size that promises more than remains: nothing more is read.
    ZxMemoryArchive a;
    Fill(a, {0x00, 0x01, 0, 0, 1, 2});
    FILETIME ft{};
    EXPECT_FALSE(a.ReadSized(ft));
    EXPECT_EQ(0u, ft.dwLowDateTime);
    EXPECT_EQ(4u, a.GetPosition());
    // A time written with an int32 prefix.
    ZxMemoryArchive b;
    Fill(b, {4, 0, 0, 0, 1, 2, 3, 4});
    EXPECT_FALSE(b.ReadSized(ft));
    EXPECT_EQ(0u, ft.dwLowDateTime);
    EXPECT_EQ(0u, b.Remaining());
    // A binary whose count has a time's width.
    ZxMemoryArchive c;
    Fill(c, {8, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0xAB, 0xCD});
    ZxSBinary bin;
    EXPECT_FALSE(ReadBinary(c, bin));
    EXPECT_FALSE(bin.HasData());
    EXPECT_EQ(12u, c.GetPosition());
}

TEST(ArchiveHostile, CollectionLoopCanStopWhenTheDataRunsOut) {
    // Count 1000000 but two elements: a reader that stops at Remaining() == 0 reads exactly two.
    ZxMemoryArchive w;
    w.WriteInt32(1);
    w.WriteInt32(1000000);
    w.WriteString("one");
    w.WriteString("two");
    ZxMemoryArchive a;
    Fill(a, Content(w));
    int32_t version = 0, count = 0;
    a.ReadSized(version);
    a.ReadSized(count);
    std::vector<std::string> items;
    for (int32_t i = 0; i < count && a.Remaining() > 0; ++i) {
        std::string s;
        if (!a.ReadString(s)) break;
        items.push_back(s);
    }
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), items);
}

// ---- files ------------------------------------------------------------------------------------------

TEST(ArchiveFiles, SaveWritesExactlyTheContentAndLoadReadsItBack) {
    TempDir dir;
    const std::string path = dir / "data.bin";
    ASSERT_TRUE(WriteWholeFile(path, std::string(5000, 'Q'))); // longer than the new content
    ZxMemoryArchive w;
    w.WriteInt32(1);
    w.WriteString("abc");
    ASSERT_TRUE(w.SaveToFile(path));
    std::string disk;
    ASSERT_TRUE(ReadWholeFile(path, disk));
    EXPECT_EQ(Str(Content(w)), disk);
    EXPECT_FALSE(FileExists(path + ".tmp"));

    ZxMemoryArchive r;
    ASSERT_TRUE(r.LoadFromFile(path));
    EXPECT_EQ(Content(w), Content(r));
    EXPECT_EQ(0u, r.GetPosition());
    EXPECT_EQ(r.GetLength(), r.GetCapacity());
    int32_t v = 0;
    std::string s;
    r.ReadSized(v);
    r.ReadString(s);
    EXPECT_EQ(1, v);
    EXPECT_EQ("abc", s);
}

TEST(ArchiveFiles, EmptyArchiveSavesAnEmptyFile) {
    TempDir dir;
    const std::string path = dir / "empty.bin";
    ASSERT_TRUE(WriteWholeFile(path, "old"));
    ZxMemoryArchive w;
    EXPECT_TRUE(w.SaveToFile(path));
    std::string disk = "x";
    ASSERT_TRUE(ReadWholeFile(path, disk));
    EXPECT_EQ("", disk);
}

TEST(ArchiveFiles, AFailedSaveLeavesThePreviousFileIntact) {
    TempDir dir;
    ZxMemoryArchive w;
    w.WriteString("new content");

    // The temporary file cannot be created (its name is taken by a folder).
    const std::string blocked = dir / "blocked.bin";
    ASSERT_TRUE(WriteWholeFile(blocked, "previous"));
    ASSERT_TRUE(CreateDirectoryA((blocked + ".tmp").c_str(), nullptr));
    EXPECT_FALSE(w.SaveToFile(blocked));
    std::string disk;
    ASSERT_TRUE(ReadWholeFile(blocked, disk));
    EXPECT_EQ("previous", disk);

    // The target is a folder: the move fails and the temporary file is removed.
    const std::string folder = dir / "folder.bin";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_FALSE(w.SaveToFile(folder));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
    EXPECT_TRUE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(FileExists(folder + ".tmp"));

    // The target is read-only: it is not replaced.
    const std::string readOnly = dir / "readonly.bin";
    ASSERT_TRUE(WriteWholeFile(readOnly, "protected"));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(w.SaveToFile(readOnly));
    ASSERT_TRUE(ReadWholeFile(readOnly, disk));
    EXPECT_EQ("protected", disk);
    EXPECT_FALSE(FileExists(readOnly + ".tmp"));

    // The folder does not exist.
    EXPECT_FALSE(w.SaveToFile(dir / "no\\such\\folder.bin"));
}

TEST(ArchiveFiles, FileClassesOpenReadWriteAndClose) {
    TempDir dir;
    const std::string path = dir / "f.bin";
    {
        ZxFileWrite out(path, FILE_SHARE_READ);
        ASSERT_TRUE(out.IsOpen());
        EXPECT_TRUE(out.Write("hello", 5));
        ZxFileRead concurrent(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_TRUE(concurrent.IsOpen()); // the writer shares reading
        out.Close();
        EXPECT_FALSE(out.IsOpen());
        EXPECT_FALSE(out.Write("x", 1));
    }
    ZxFileRead in(path, FILE_SHARE_READ);
    ASSERT_TRUE(in.IsOpen());
    EXPECT_EQ(5, in.GetSize());
    char buffer[8] = {};
    DWORD got = 0;
    EXPECT_TRUE(in.Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(5u, got);
    EXPECT_EQ("hello", std::string(buffer, got));
    in.Close();
    EXPECT_EQ(-1, in.GetSize());

    ZxFileRead missing(dir / "none.bin", FILE_SHARE_READ);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(-1, missing.GetSize());
}

// ---- small helpers ----------------------------------------------------------------------------------

TEST(SimpleArray, IsZeroFilledAndReferenceCounted) {
    CRefCountPtr<ZxSimpleArrayT<BYTE>> array(new ZxSimpleArrayT<BYTE>(64));
    ASSERT_EQ(64u, array->GetSize());
    for (uint32_t i = 0; i < array->GetSize(); ++i) ASSERT_EQ(0, (*array)[i]);
    (*array)[3] = 7;
    EXPECT_EQ(7, array->GetData()[3]);
    EXPECT_EQ(1, array->RefCount());
    ZxSimpleArrayT<BYTE> none(0);
    EXPECT_EQ(nullptr, none.GetData());
}

TEST(MemoryBuffer, IsHeldByReferenceCountingPointers) {
    CRefCountPtr<ZxMemoryArchive> a(new ZxMemoryArchive);
    CRefCountPtr<ZxMemoryBuffer> b(a);
    EXPECT_EQ(2, a->RefCount());
    a->WriteInt32(1);
    EXPECT_EQ(8u, b->GetLength());
}
