// The toolbar button and Tools menu item of Outlook before 2010, as the stand-in Outlook host shows them
// after start-up: where they are, how they look, who listens to their clicks, and what a refusal shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AddinTestSupport.h"

using namespace addintest;

namespace {

const std::string kToolbarTag = "{4EDAAE8E-8DCC-4928-ACF6-6FA3BBA83043}";
const std::string kMenuTag = "{F606209B-BBBF-4bf1-BD61-BFBF465CC481}";

class CommandBars : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(EnsureRegistered()); }

    ProcessResult Run(const std::string& arguments) {
        ProcessResult r = RunHost(arguments);
        EXPECT_FALSE(r.timedOut) << arguments;
        EXPECT_EQ(r.exitCode, 0u) << arguments << "\n" << r.output;
        EXPECT_TRUE(std::find(r.lines.begin(), r.lines.end(), "[live] outlook objects: 0") != r.lines.end()) << r.output;
        return r;
    }

    // The [control] lines of the first `controls` step, keyed by the control's name.
    static std::vector<std::string> Controls(const ProcessResult& r) {
        std::vector<std::string> found;
        for (const std::string& line : r.lines) {
            if (line.rfind("[control] ", 0) == 0) found.push_back(line.substr(10));
            else if (!found.empty()) break;
        }
        return found;
    }
    static std::vector<std::string> Boxes(const ProcessResult& r) {
        std::vector<std::string> boxes;
        for (const std::string& line : r.lines)
            if (line.rfind("[message box] ", 0) == 0) boxes.push_back(line.substr(14));
        return boxes;
    }
};

TEST_F(CommandBars, TheVersionDecidesWhichButtonsAreAdded) {
    const std::string toolbar = "Explorer1.Standard.Button1 tag=" + kToolbarTag +
                                " style=1 caption= builtin-face=0 face=0 picture=yes mask=yes click-sinks=1";
    const std::string menu = "Explorer1.Tools.Button1 tag=" + kMenuTag +
                             " style=3 caption=Orvanta Merrowlink Addin builtin-face=0 face=0 picture=yes mask=yes"
                             " click-sinks=1";
    struct Case {
        const char* version;
        std::vector<std::string> controls;
    } cases[] = {
        {"12.0.0.6423", {toolbar, menu}},
        {"9.0", {toolbar, menu}},
        {"13,0", {toolbar, menu}},
        {"8.5.5104", {toolbar}}, // the toolbar button only: no Tools menu item before version 9
        {"14.0.0.4760", {}},
        {"16.0.0.4266", {}},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Run(std::string("--version ") + c.version + " connect startup controls");
        EXPECT_EQ(Controls(r), c.controls) << c.version << "\n" << r.output;
        EXPECT_TRUE(Boxes(r).empty()) << c.version << "\n" << r.output;
    }
}

TEST_F(CommandBars, AButtonAlreadyOnTheToolbarIsNotAddedTwice) {
    const ProcessResult r = Run("--version 12.0 --preset-toolbar-tag " + kToolbarTag + " connect startup controls");
    const std::vector<std::string> controls = Controls(r);
    ASSERT_EQ(controls.size(), 2u) << r.output;
    EXPECT_EQ(controls[0].rfind("Explorer1.Standard.Preset tag=" + kToolbarTag + " ", 0), 0u) << controls[0];
    EXPECT_EQ(controls[1].rfind("Explorer1.Tools.Button1 tag=" + kMenuTag + " ", 0), 0u) << controls[1];
}

TEST_F(CommandBars, AButtonWithoutItsPictureShowsTheBuiltInFace) {
    for (const char* member : {"Picture", "Mask"}) {
        const ProcessResult r =
            Run(std::string("--version 12.0 --fail Explorer1.Standard.Button1.") + member + " connect startup controls");
        const std::vector<std::string> controls = Controls(r);
        ASSERT_EQ(controls.size(), 2u) << r.output;
        EXPECT_NE(controls[0].find(" builtin-face=-1 face=1753 "), std::string::npos) << member << ": " << controls[0];
        EXPECT_NE(controls[0].find(" click-sinks=1"), std::string::npos) << controls[0];
        EXPECT_NE(controls[1].find(" builtin-face=0 face=0 picture=yes mask=yes"), std::string::npos) << controls[1];
        EXPECT_TRUE(Boxes(r).empty()) << r.output;
    }
}

TEST_F(CommandBars, ClickHandlersLeaveWithTheControllerButTheButtonsStay) {
    const ProcessResult r = Run("--version 12.0 connect startup disconnect controls");
    const std::vector<std::string> controls = Controls(r);
    ASSERT_EQ(controls.size(), 2u) << r.output;
    for (const std::string& control : controls)
        EXPECT_NE(control.find(" picture=yes mask=yes click-sinks=0"), std::string::npos) << control;
}

TEST_F(CommandBars, ARefusedBarIsReportedWithTheButtonsText) {
    struct Case {
        const char* failing;
        const char* text;
    } cases[] = {
        {"Explorer1.CommandBars", "Failed to add Orvanta Merrowlink Addin toolbar button. The stand-in refused "
                                  "Explorer1.CommandBars. - "},
        {"Explorer1.File.Id", "Failed to add Orvanta Merowlink Addin menu button. The stand-in refused "
                              "Explorer1.File.Id. - "},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Run(std::string("--version 12.0 --fail ") + c.failing + " connect startup controls");
        const std::vector<std::string> boxes = Boxes(r);
        ASSERT_EQ(boxes.size(), 1u) << r.output;
        EXPECT_NE(boxes[0].find(c.text), std::string::npos) << boxes[0];
    }
}

} // namespace
