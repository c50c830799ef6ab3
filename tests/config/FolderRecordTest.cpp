// The persisted layouts of folders, pairs and the list, and how their readers cope with old, unknown
// and damaged data.
#include <gtest/gtest.h>

#include <cstring>

#include "ConfigTestSupport.h"
#include "base/Archive.h"
#include "config/AssocsContainer.h"

namespace {

std::string Written(const ZxMemoryArchive& archive) {
    return std::string(reinterpret_cast<const char*>(archive.GetData()), archive.GetLength());
}

void LoadBytes(ZxMemoryArchive& archive, const std::string& bytes) {
    archive.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Stored byte strings with zero bytes and high bytes inside, as entry ids have them.
const std::string kFolderId1("\x00\x00\x00\x00\xAB\x01\xFF\x10", 8);
const std::string kStoreId1("\x00\x00\x00\x00\x38\xA1\xBB\x10\x05\xE5\x10\x1A", 12);
const std::string kFolderId2("\x00\x00\x00\x00\x77\x02", 6);
const std::string kStoreId2("\x00\x00\x00\x00\x99", 5);

FolderFields Fields1() {
    FolderFields f;
    f.folderId = kFolderId1;
    f.storeId = kStoreId1;
    f.name = "Shared - Ann\\Calendar";
    f.flags = 16 | 0x4000;
    f.storeFile = "C:\\Data\\Ann.pst";
    f.created = 0x123456789ALL;
    return f;
}

FolderFields Fields2() {
    FolderFields f;
    f.folderId = kFolderId2;
    f.storeId = kStoreId2;
    f.name = "Mailbox - Ann\\Calendar";
    f.flags = 16;
    return f;
}

void ExpectFolder(const FolderFields& f, const CFolderDesc& folder) {
    EXPECT_EQ(f.folderId, Raw(folder.GetFolderEntryId()));
    EXPECT_EQ(f.storeId, Raw(folder.GetStoreEntryId()));
    EXPECT_EQ(f.name, folder.GetFolderName());
    EXPECT_EQ(f.flags, folder.GetFolderFlags());
    EXPECT_EQ(f.storeFile, folder.GetStoreFile());
    EXPECT_EQ(f.created, folder.GetStoreFileCreationTime());
}

CRefCountPtr<CAssocDesc> MakePair(const FolderFields& f1, const FolderFields& f2) {
    CRefCountPtr<CAssocDesc> pair(new CAssocDesc());
    pair->SetFolder1(FolderOf(f1));
    pair->SetFolder2(FolderOf(f2));
    return pair;
}

class FolderRecord : public ConfigMapiTest {};

TEST_F(FolderRecord, EmptyFolderIsThe54BytesOfVersion2) {
    ZxMemoryArchive archive;
    CFolderDesc().Write(archive);
    const unsigned char expected[] = {0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, // version 2
                                      0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // folder id
                                      0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // store id
                                      0x01, 0x00, 0x00, 0x00, 0x00, // name
                                      0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // flags
                                      0x01, 0x00, 0x00, 0x00, 0x00, // store file
                                      0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0x00, 0x00, 0x00, 0x00}; // creation time
    ASSERT_EQ(54u, sizeof expected);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(expected), sizeof expected), Written(archive));
}

TEST_F(FolderRecord, EmptyListIsSixteenBytes) {
    ZxMemoryArchive archive;
    CAssocsContainer().Write(archive);
    const unsigned char expected[] = {0x04, 0, 0, 0, 0x01, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(expected), sizeof expected), Written(archive));
}

TEST_F(FolderRecord, ListOfTwoPairsIsWrittenFieldByFieldInOrder) {
    CAssocsContainer list;
    list.push_back(MakePair(Fields1(), Fields2()));
    list.push_back(MakePair(Fields2(), Fields1()));
    ZxMemoryArchive archive;
    list.Write(archive);
    EXPECT_EQ(ListBytes({PairBytes(FolderV2Bytes(Fields1()), FolderV2Bytes(Fields2())),
                         PairBytes(FolderV2Bytes(Fields2()), FolderV2Bytes(Fields1()))}),
              Written(archive));
}

TEST_F(FolderRecord, ListReadsBackEveryFieldOfEveryPairInOrder) {
    ZxMemoryArchive archive;
    LoadBytes(archive, ListBytes({PairBytes(FolderV2Bytes(Fields1()), FolderV2Bytes(Fields2())),
                                  PairBytes(FolderV2Bytes(Fields2()), FolderV2Bytes(Fields1()))}));
    CAssocsContainer list;
    list.push_back(MakePair(Fields2(), Fields2())); // reading starts from an empty list
    list.Read(archive);
    ASSERT_EQ(2u, list.size());
    ExpectFolder(Fields1(), list[0]->GetFolder1());
    ExpectFolder(Fields2(), list[0]->GetFolder2());
    ExpectFolder(Fields2(), list[1]->GetFolder1());
    ExpectFolder(Fields1(), list[1]->GetFolder2());
    EXPECT_EQ(0u, archive.Remaining());
}

TEST_F(FolderRecord, Version1FolderHasNoStoreFileAndLeavesTheNextFieldInPlace) {
    FolderFields v1 = Fields1();
    ZxMemoryArchive archive;
    LoadBytes(archive, PairBytes(FolderV1Bytes(v1), FolderV2Bytes(Fields2())) + Int32Bytes(77));
    CAssocDesc pair;
    pair.GetFolder1().SetStoreFile("C:\\old.pst", 5); // a read replaces what the folder held
    pair.Read(archive);
    v1.storeFile.clear();
    v1.created = 0;
    ExpectFolder(v1, pair.GetFolder1());
    ExpectFolder(Fields2(), pair.GetFolder2());
    int32_t next = 0;
    EXPECT_TRUE(archive.ReadSized(next));
    EXPECT_EQ(77, next);
}

TEST_F(FolderRecord, UnknownVersionLeavesTheFolderEmptyAndReadsOnFromTheNextByte) {
    for (int32_t version : {3, 0, -1, 0x7FFFFFFF}) {
        ZxMemoryArchive archive;
        // The unknown record's "fields" are not skipped: the second folder's record follows the version.
        LoadBytes(archive, PairBytes(Int32Bytes(version), FolderV2Bytes(Fields1())));
        CAssocDesc pair;
        pair.GetFolder1().SetFolderName("before");
        pair.Read(archive);
        ExpectFolder(FolderFields(), pair.GetFolder1());
        ExpectFolder(Fields1(), pair.GetFolder2());
        EXPECT_EQ(0u, archive.Remaining()) << version;
    }
}

TEST_F(FolderRecord, ContainerCopiesShareThePairs) {
    CAssocsContainer list;
    list.push_back(MakePair(Fields1(), Fields2()));
    CAssocsContainer copy = list;
    copy[0]->GetFolder1().SetFolderName("renamed");
    EXPECT_EQ("renamed", list[0]->GetFolder1().GetFolderName());
    copy.clear();
    EXPECT_EQ(1u, list.size());
}

// ---- damaged lists ---------------------------------------------------------------------------------

std::string TwoPairList(int32_t count) {
    return Int32Bytes(1) + Int32Bytes(count) + PairBytes(FolderV2Bytes(Fields1()), FolderV2Bytes(Fields2())) +
           PairBytes(FolderV2Bytes(Fields2()), FolderV2Bytes(Fields1()));
}

TEST_F(FolderRecord, CountBeyondTheDataStopsAtTheEndOfTheData) {
    for (int32_t count : {3, 1000, 0x7FFFFFFF}) {
        ZxMemoryArchive archive;
        LoadBytes(archive, TwoPairList(count));
        CAssocsContainer list;
        list.Read(archive);
        ASSERT_EQ(2u, list.size()) << count;
        ExpectFolder(Fields1(), list[1]->GetFolder2());
    }
}

TEST_F(FolderRecord, TrailingBytesTooShortForAFieldMakeNoPair) {
    for (size_t extra = 1; extra <= 3; ++extra) {
        ZxMemoryArchive archive;
        LoadBytes(archive, TwoPairList(0x7FFFFFFF) + std::string(extra, '\x04'));
        CAssocsContainer list;
        list.Read(archive);
        EXPECT_EQ(2u, list.size()) << extra;
    }
}

TEST_F(FolderRecord, CountOfZeroOrLessReadsNoPair) {
    for (int32_t count : {0, -1, -2147483647 - 1}) {
        ZxMemoryArchive archive;
        LoadBytes(archive, TwoPairList(count));
        CAssocsContainer list;
        list.push_back(MakePair(Fields1(), Fields2()));
        list.Read(archive);
        EXPECT_TRUE(list.empty()) << count;
    }
}

TEST_F(FolderRecord, ListCutAnywhereReadsWhatTheBytesGive) {
    const std::string whole = TwoPairList(2);
    const size_t firstPairEnd = 16 + PairBytes(FolderV2Bytes(Fields1()), FolderV2Bytes(Fields2())).size();
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        ZxMemoryArchive archive;
        LoadBytes(archive, whole.substr(0, cut));
        CAssocsContainer list;
        list.Read(archive);
        // Up to three bytes after the header are too few for any field and make no pair. A cut pair reads
        // on out of step from the bytes it could not use, so the count, not the cut, bounds the pairs.
        if (cut < 16 + 4) {
            EXPECT_EQ(0u, list.size()) << "cut at " << cut;
            continue;
        }
        ASSERT_GE(list.size(), 1u) << "cut at " << cut;
        ASSERT_LE(list.size(), 2u) << "cut at " << cut;
        if (cut >= firstPairEnd) ExpectFolder(Fields2(), list[0]->GetFolder2());
        if (cut >= firstPairEnd + 4) EXPECT_EQ(2u, list.size()) << "cut at " << cut;
        if (cut == whole.size()) ExpectFolder(Fields1(), list[1]->GetFolder2());
    }
}

TEST_F(FolderRecord, CutInsideAFolderKeepsTheFieldsBeforeTheCut) {
    const std::string folder = FolderV2Bytes(Fields1());
    // Cut inside the store file field: everything before it is there, the store file and time are not.
    const size_t storeFileStart = folder.size() - StringBytes(Fields1().storeFile).size() - 12;
    ZxMemoryArchive archive;
    LoadBytes(archive, Int32Bytes(1) + Int32Bytes(1) + Int32Bytes(1) + folder.substr(0, storeFileStart + 3));
    CAssocsContainer list;
    list.Read(archive);
    ASSERT_EQ(1u, list.size());
    FolderFields expected = Fields1();
    expected.storeFile.clear();
    expected.created = 0;
    ExpectFolder(expected, list[0]->GetFolder1());
    ExpectFolder(FolderFields(), list[0]->GetFolder2());
}

TEST_F(FolderRecord, GarbageReadsSafelyAndNeverMakesMorePairsThanBytes) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<unsigned char>(seed >> 16);
    };
    for (int round = 0; round < 300; ++round) {
        // A plausible start (version, a huge count, a pair version) followed by random bytes, many of them
        // small numbers so that sizes and markers line up now and then.
        std::string bytes = Int32Bytes(1) + Int32Bytes(0x7FFFFFFF) + Int32Bytes(1);
        const size_t length = 1 + next() % 200;
        for (size_t i = 0; i < length; ++i) {
            const unsigned char r = next();
            bytes.push_back(static_cast<char>(r < 128 ? r % 9 : r));
        }
        ZxMemoryArchive archive;
        LoadBytes(archive, bytes);
        CAssocsContainer list;
        list.Read(archive);
        EXPECT_LE(list.size(), bytes.size() - 16) << "round " << round;
    }
}

} // namespace
