// The transformation of a report text into one line of the progress report.
#include <gtest/gtest.h>

#include <string>

#include "engine/ReportLine.h"

namespace {

TEST(ReportLine, BreaksOnlyWhereTheTextAsksWithByteFF) {
    struct Case {
        std::string text;
        std::string line;
    };
    const Case cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a\nb", "a b"},
        {"a\r\nb", "a b"},
        {"\r\r\n\n", "  "},
        {"a\xFF"
         "b",
         "a\nb"},
        {"Error\n\nline 2\r", "Error  line 2"},
        {"\xFF\n\xFF", "\n \n"},
        {"caf\xE9 %s %n", "caf\xE9 %s %n"}, // other bytes, and format characters, stay as they are
    };
    for (const Case& c : cases) EXPECT_EQ(c.line, ToReportLine(c.text)) << c.text;
}

} // namespace
