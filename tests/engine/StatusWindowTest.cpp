// The shared operations of the status window contract: numbered texts are loaded from the string
// table, formats take their arguments printf-style, and everything ends in the two text reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/StatusWindow.h"
#include "support/RecordingStatus.h"
#include "resources/StringIds.h"

namespace {

using RecordingStatusWindow = RecordingStatus;
using Line = RecordingStatusWindow::Line;

// A number the string table does not hold.
const unsigned kMissingId = 4999;

} // namespace

TEST(StatusWindow, NumberedFormatsLoadTheTextAndTakeTheArgumentsInOrder) {
    RecordingStatusWindow window;
    window.ReportInfoFormat(5040u, 2, 3, "x");
    window.ReportErrorFormat(5033u, "Personal Folders\\Calendar");
    window.ReportInfoFormat(5032u, "A", "B");
    EXPECT_EQ((std::vector<Line>{
                  {false, "2 items changed, 3 deleted in folder 'x'."},
                  {true,
                   "Cannot open folder 'Personal Folders\\Calendar'. Synchronization of this folder has been "
                   "interrupted."},
                  {false, "Synchronization of folders: 'A' with 'B'"},
              }),
              window.lines);
}

TEST(StatusWindow, NumberedTextsAreLoadedAsTheyAre) {
    RecordingStatusWindow window;
    window.ReportInfo(5036u);
    window.ReportError(5039u);
    window.ReportInfo(static_cast<unsigned>(IDS_SYNC_CHANGED));
    EXPECT_EQ((std::vector<Line>{{false, "Searching for conflicts."},
                                 {true, "Synchronization complete."},
                                 {false, "Synchronization of changed items."}}),
              window.lines);
}

TEST(StatusWindow, MissingNumbersReportEmptyLines) {
    RecordingStatusWindow window;
    window.ReportInfo(kMissingId);
    window.ReportError(kMissingId);
    window.ReportInfoFormat(kMissingId, 1, "a");
    window.ReportErrorFormat(kMissingId, "a");
    EXPECT_EQ((std::vector<Line>{{false, ""}, {true, ""}, {false, ""}, {true, ""}}), window.lines);
}

TEST(StatusWindow, TextFormatsApplyTheArgumentsAndKeepDataVerbatim) {
    RecordingStatusWindow window;
    window.ReportInfoFormat("%s-%d", "%s%n", -7);
    window.ReportErrorFormat("[%s]", std::string(5000, 'z').c_str());
    ASSERT_EQ(2u, window.lines.size());
    EXPECT_EQ((Line{false, "%s%n--7"}), window.lines[0]);
    EXPECT_TRUE(window.lines[1].error);
    EXPECT_EQ("[" + std::string(5000, 'z') + "]", window.lines[1].text);
}
