#include <gtest/gtest.h>

#include "base/StringTable.h"
#include "resources/StringIds.h"

#include <string>

namespace {
std::string Ansi(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}
} // namespace

TEST(StringTable, LoadsTextsByNumberWithEscapesAndAnyLength) {
    const std::string reinstall = ZxLoadString(IDS_REINSTALL_REMOVED_PAIRS);
    EXPECT_EQ(
        "The program has detected that Orvanta Brackenmeadow has been reinstalled on this machine. Due to "
        "this fact all pairs of folders containing links to ZxBrackenmeadow data store have been removed. "
        "You need to reconfigure the folders scheduled for synchronization.\n\nRemoved pairs:\n%s",
        reinstall);
    EXPECT_GT(reinstall.size(), 256u); // longer than a fixed LoadString buffer would give
    EXPECT_EQ("Close", ZxLoadString(IDS_CLOSE));
    EXPECT_EQ("%d items changed, %d deleted in folder '%s'.", ZxLoadString(IDS_SYNC_SUMMARY));
    EXPECT_EQ("Data synchronization in progress. Outlook will not respond.\nPlease wait...",
              ZxLoadString(IDS_SYNC_IN_PROGRESS));
    // First and last of a block of 16, and the last number of the table.
    EXPECT_EQ("Calendar", ZxLoadString(5013));
    EXPECT_EQ("Choose the second folder for synchronization!", ZxLoadString(5020));
    EXPECT_EQ("Synchronization interrupted by user.", ZxLoadString(5022));
    EXPECT_EQ("https://www.orvanta.example/freetools/?sts=509", ZxLoadString(5052));
}

TEST(StringTable, NonAsciiTextArrivesInTheAnsiCodePage) {
    EXPECT_EQ("Orvanta Merrowlink Addin " + Ansi(L"\u2013") +
                  " synchronization of folders in Outlook. In the dialog box below select pairs of folders "
                  "scheduled for synchronization.",
              ZxLoadString(5010));
}

TEST(StringTable, MissingNumbersGiveEmptyText) {
    EXPECT_EQ("", ZxLoadString(5008)); // same block as 5009, no string
    EXPECT_EQ("", ZxLoadString(5053));
    EXPECT_EQ("", ZxLoadString(1)); // no such block
    EXPECT_EQ("", ZxLoadString(0x10000));
}

TEST(StringTable, ASourceWithoutTheStringFallsBackToTheModule) {
    HMODULE self = ZxGetThisModule();
    ASSERT_NE(nullptr, self);
    EXPECT_EQ(GetModuleHandleA(nullptr), self); // the test program holds this code
    EXPECT_EQ(self, ZxGetStringModule());
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    ASSERT_NE(nullptr, kernel);
    EXPECT_EQ(nullptr, ZxSetStringModule(kernel));
    EXPECT_EQ(kernel, ZxGetStringModule());
    EXPECT_EQ("Close", ZxLoadString(IDS_CLOSE));
    EXPECT_EQ(kernel, ZxSetStringModule(nullptr));
    EXPECT_EQ(self, ZxGetStringModule());
}

TEST(Format, HasNoLengthLimit) {
    const std::string big(100000, 'x');
    const std::string text = ZxFormat("[%s|%d]", big.c_str(), 42);
    ASSERT_EQ(big.size() + 5, text.size());
    EXPECT_EQ("[" + big + "|42]", text);
}

TEST(Format, PrintfConversionsAsTheTextsUseThem) {
    EXPECT_EQ("0", ZxFormat("%#x", 0u));
    EXPECT_EQ("0x8004010f", ZxFormat("%#x", 0x8004010Fu));
    EXPECT_EQ("Unknown error 0x80AB0001", ZxFormat("Unknown error 0x%0lX", 0x80AB0001ul));
    EXPECT_EQ("3 items changed, 1 deleted in folder 'A'.", ZxFormat(ZxLoadString(IDS_SYNC_SUMMARY).c_str(), 3, 1, "A"));
    EXPECT_EQ("", ZxFormat("%s", ""));
    EXPECT_EQ("100%", ZxFormat("%d%%", 100));
}

TEST(StringTable, EveryNumberFrom5009To5052HoldsAText) {
    for (unsigned id = 5009; id <= 5052; ++id) EXPECT_FALSE(ZxLoadString(id).empty()) << id;
    EXPECT_EQ("Cannot open log file '%s' (%d).", ZxLoadString(IDS_CANNOT_OPEN_LOG));
    EXPECT_EQ("StickyNote", ZxLoadString(IDS_TYPE_STICKYNOTE));
    EXPECT_EQ("Unknown", ZxLoadString(IDS_UNKNOWN));
}
