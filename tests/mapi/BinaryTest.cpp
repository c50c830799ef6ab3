#include <gtest/gtest.h>

#include "mapi/Binary.h"

#include <set>
#include <string>
#include <vector>

namespace {
ZxSBinary Bin(std::vector<BYTE> b) { return ZxSBinary(static_cast<ULONG>(b.size()), b.data()); }
} // namespace

TEST(Binary, OrderIsShorterFirstThenUnsignedBytes) {
    const struct {
        std::vector<BYTE> a, b;
        bool less, greater, equal;
    } cases[] = {
        {{}, {}, false, false, true},
        {{0xFF, 0xFF}, {0x00, 0x00, 0x00}, true, false, false}, // length decides whatever the bytes
        {{0x00, 0xFF}, {0x01, 0x00}, true, false, false},
        {{0x7F}, {0x80}, true, false, false}, // unsigned comparison
        {{0x01, 0x02}, {0x01, 0x02}, false, false, true},
        {{}, {0x00}, true, false, false},
        {{0x01, 0x02, 0x04}, {0x01, 0x02, 0x03}, false, true, false},
    };
    for (const auto& c : cases) {
        const ZxSBinary a = Bin(c.a), b = Bin(c.b);
        SCOPED_TRACE(a.ToHex() + " vs " + b.ToHex());
        EXPECT_EQ(c.less, a.IsLess(b));
        EXPECT_EQ(c.greater, b.IsLess(a));
        EXPECT_EQ(c.equal, a.IsEqual(b));
        EXPECT_EQ(c.equal, b.IsEqual(a));
        EXPECT_EQ(c.less, a < b);
        EXPECT_EQ(c.equal, a == b);
    }
}

TEST(Binary, AsAMapKeyDistinctValuesStayApartAndEqualOnesMerge) {
    std::set<ZxSBinary> keys;
    keys.insert(Bin({0x80}));
    keys.insert(Bin({0x7F}));
    keys.insert(Bin({0x00, 0x01}));
    keys.insert(Bin({0x7F}));
    keys.insert(ZxSBinary());
    std::vector<std::string> order;
    for (const ZxSBinary& k : keys) order.push_back(k.ToHex());
    EXPECT_EQ((std::vector<std::string>{"", "7F", "80", "0001"}), order);
}

TEST(Binary, EqualityNeedsBothValuesAndTheSameBytes) {
    const ZxSBinary empty, one = Bin({1}), alsoOne = Bin({1});
    EXPECT_FALSE(empty.IsEqual(one));
    EXPECT_FALSE(one.IsEqual(empty));
    EXPECT_TRUE(one.IsEqual(alsoOne));
    EXPECT_NE(one.Data(), alsoOne.Data());
    EXPECT_FALSE(Bin({1, 2}).IsEqual(Bin({1, 3})));
    EXPECT_FALSE(Bin({1}).IsEqual(Bin({1, 0})));
}

TEST(Binary, ToHexIsTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ("0A1B", Bin({0x0A, 0x1B}).ToHex());
    EXPECT_EQ("", ZxSBinary().ToHex());
    std::vector<BYTE> all(256);
    std::string expected;
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<BYTE>(i);
        char two[3];
        snprintf(two, sizeof two, "%02X", i);
        expected += two;
    }
    EXPECT_EQ(expected, Bin(all).ToHex());
}

TEST(Binary, ConstructionCopiesAndEmptySourcesStayEmpty) {
    BYTE bytes[] = {1, 2, 3};
    SBinary zeroCount;
    zeroCount.cb = 0;
    zeroCount.lpb = bytes;
    SBinary nullBytes;
    nullBytes.cb = 3;
    nullBytes.lpb = nullptr;
    for (const ZxSBinary& b : {ZxSBinary(zeroCount), ZxSBinary(nullBytes), ZxSBinary(0, bytes)}) {
        EXPECT_FALSE(b.HasData());
        EXPECT_EQ(0u, b.Size());
        EXPECT_EQ(nullptr, b.Data());
    }
    const ZxSBinary copied(3, bytes);
    bytes[0] = 9;
    EXPECT_EQ("010203", copied.ToHex());
    EXPECT_NE(bytes, copied.Data());
    const ZxSBinary copy(copied);
    EXPECT_EQ("010203", copy.ToHex());
    EXPECT_NE(copied.Data(), copy.Data());
}

TEST(Binary, AssignmentToItselfAndFromItsOwnBytesKeepsThem) {
    ZxSBinary b = Bin({0xDE, 0xAD});
    ZxSBinary& same = b;
    b = same;
    EXPECT_EQ("DEAD", b.ToHex());
    b = b.AsSBinary();
    EXPECT_EQ("DEAD", b.ToHex());
    b.Set(b.AsSBinary());
    EXPECT_EQ("DEAD", b.ToHex());
}

TEST(Binary, AssignmentSetFreeAndMove) {
    ZxSBinary b = Bin({1, 2, 3});
    b = Bin({4});
    EXPECT_EQ("04", b.ToHex());
    SBinary empty;
    empty.cb = 0;
    empty.lpb = nullptr;
    b = empty;
    EXPECT_FALSE(b.HasData());
    EXPECT_EQ(nullptr, b.Data());
    b.Set(Bin({5, 6}).AsSBinary());
    EXPECT_EQ("0506", b.ToHex());
    ZxSBinary moved(std::move(b));
    EXPECT_EQ("0506", moved.ToHex());
    EXPECT_FALSE(b.HasData());
    ZxSBinary target = Bin({7});
    target = std::move(moved);
    EXPECT_EQ("0506", target.ToHex());
    target.Free();
    EXPECT_EQ(0u, target.Size());
    EXPECT_EQ(nullptr, target.Data());
    const SBinary view = Bin({8, 9}).AsSBinary();
    EXPECT_EQ(2u, view.cb);
}
