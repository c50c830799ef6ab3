// The entry-point guard: what each kind of entry point turns an exception into (result, log line, box).
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/AppMessageBox.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "base/LogFile.h"
#include "support/MessageBoxObserver.h"
#include "support/TempDir.h"
#include "support/TestLog.h"

using namespace Error;

namespace {

const unsigned kErrorBox = MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST;
const unsigned kAppBox = MB_OK | MB_ICONEXCLAMATION;
// An HRESULT the system has no message for: its text is fixed by the COM error rules.
const HRESULT kComCode = static_cast<HRESULT>(0x80AB0001);
const char kComText[] = "Outlook said no - Unknown error 0x80AB0001";

// The thrown kinds an entry point meets.
enum class Thrown { ZxText, ComError, Standard, Other };

[[noreturn]] void Throw(Thrown kind) {
    switch (kind) {
        case Thrown::ZxText:
            throw ZxExceptionText("Cannot open the folder.", ".\\src\\ui\\Settings.cpp", "CSettings::Load", 42);
        case Thrown::ComError:
            throw ZxComError(kComCode, IID_IDispatch, "Outlook said no");
        case Thrown::Standard:
            throw std::runtime_error("lower layer");
        case Thrown::Other:
            throw 7;
    }
}

class EntryPointGuard : public ::testing::Test {
protected:
    void SetUp() override {
        m_log = std::make_unique<TestLog>(m_temp / "guard.log");
        ASSERT_TRUE(m_log->Open(true));
        m_previousLog = SetLogFileOverride(m_log.get());
    }
    void TearDown() override {
        SetLogFileOverride(m_previousLog);
        m_log->Close();
    }

    TempDir m_temp;
    MessageBoxObserver m_boxes;
    std::unique_ptr<TestLog> m_log;

private:
    IZxLogFile* m_previousLog = nullptr;
};

} // namespace

TEST_F(EntryPointGuard, EachEntryPointReportsEachKindAsItsRulesSay) {
    struct Case {
        const char* name;
        const EntryPoint& entry;
        Thrown thrown;
        const char* caption; // none: no box
        std::string text;
        unsigned type;
        std::vector<std::string> log;
    };
    const std::string zxLog = "Error: Cannot open the folder. module: Settings.cpp, line: 42";
    const Case cases[] = {
        {"connection, ZxException",
         kAddinConnection,
         Thrown::ZxText,
         "Error",
         "Cannot open the folder.",
         kErrorBox,
         {}},
        {"connection, COM error", kAddinConnection, Thrown::ComError, kZxAppName, kComText, kAppBox, {}},
        {"connection, other",
         kAddinConnection,
         Thrown::Standard,
         kZxAppName,
         "Failed to load Orvanta Merrowlink Addin.",
         kAppBox,
         {}},
        {"sink, COM error", kControllerSetup, Thrown::ComError, kZxAppName, kComText, MB_OK | MB_ICONERROR, {}},
        {"sink, other",
         kControllerSetup,
         Thrown::Other,
         kZxAppName,
         "Failed to initialize Orvanta Merrowlink Addin.",
         kAppBox,
         {}},
        {"command, ZxException", kCommand, Thrown::ZxText, "Error", "Cannot open the folder.", kErrorBox, {zxLog}},
        {"command, COM error",
         kCommand,
         Thrown::ComError,
         kZxAppName,
         "Unexpected exception!",
         kAppBox,
         {"Error: Unexpected exception!"}},
        {"command, other",
         kCommand,
         Thrown::Other,
         kZxAppName,
         "Unexpected exception!",
         kAppBox,
         {"Error: Unexpected exception!"}},
        {"options pages event, COM error",
         kOptionsPagesEvent,
         Thrown::ComError,
         kZxAppName,
         kComText,
         kAppBox,
         {}},
        {"options pages event, other",
         kOptionsPagesEvent,
         Thrown::Standard,
         kZxAppName,
         "Unhandled exception!",
         kAppBox,
         {}},
        {"options page, COM error",
         kOptionsPage,
         Thrown::ComError,
         kZxAppName,
         "Unhandled exception!",
         kAppBox,
         {}},
        {"dialog, ZxException", kZxWindow, Thrown::ZxText, "Error", "Cannot open the folder.", kErrorBox, {}},
        {"dialog, other",
         kZxWindow,
         Thrown::Standard,
         kZxAppName,
         "Unhandled exception in Zx window.",
         kAppBox,
         {}},
        {"registration, ZxException", kRegistration, Thrown::ZxText, "Error", "Cannot open the folder.", kErrorBox, {}},
        // regsvr32 reports the failed result of anything else.
        {"registration, other", kRegistration, Thrown::Standard, nullptr, "", 0, {}},
        {"result only, ZxException", kResultOnly, Thrown::ZxText, nullptr, "", 0, {}},
        {"result only, COM error", kResultOnly, Thrown::ComError, nullptr, "", 0, {}},
    };
    size_t boxes = 0, lines = 0;
    for (const Case& c : cases) {
        const HRESULT hr = GuardEntryPoint(c.entry, [&] { Throw(c.thrown); });
        EXPECT_EQ(c.entry.failed, hr) << c.name;
        if (c.caption) {
            ASSERT_EQ(boxes + 1, m_boxes.Shown().size()) << c.name;
            const MessageBoxObserver::Box& box = m_boxes.Shown().back();
            EXPECT_EQ(c.caption, box.caption) << c.name;
            EXPECT_EQ(c.text, box.text) << c.name;
            EXPECT_EQ(c.type, box.type) << c.name;
            ++boxes;
        } else {
            EXPECT_EQ(boxes, m_boxes.Shown().size()) << c.name;
        }
        const std::vector<std::string> entries = m_log->Entries();
        ASSERT_EQ(lines + c.log.size(), entries.size()) << c.name;
        EXPECT_EQ(c.log, std::vector<std::string>(entries.begin() + lines, entries.end())) << c.name;
        lines = entries.size();
    }
}

TEST_F(EntryPointGuard, ResultOfTheBodyPassesAndAFailureGivesTheEntryPointsAnswer) {
    EXPECT_EQ(S_FALSE, GuardEntryPoint(kCommand, [] { return S_FALSE; }));
    EXPECT_EQ(S_OK, GuardEntryPoint(kCommand, [] {}));
    EXPECT_TRUE(m_boxes.Shown().empty());
    EXPECT_TRUE(m_log->Entries().empty());

    // An entry point that answers a failure (registration does so after its box).
    EXPECT_EQ(E_FAIL, GuardEntryPoint(kRegistration, []() -> HRESULT { Throw(Thrown::ZxText); }));
    // Another answer than the kind's own.
    EXPECT_EQ(S_FALSE, GuardEntryPointOr(kResultOnly, S_FALSE, []() -> HRESULT { Throw(Thrown::Other); }));
    // A dialog procedure answers "not handled".
    EXPECT_EQ(FALSE, GuardEntryPointOr(kZxWindow, FALSE, []() -> BOOL { Throw(Thrown::Other); }));
    EXPECT_EQ(TRUE, GuardEntryPointOr(kZxWindow, FALSE, [] { return TRUE; }));
    EXPECT_EQ(2u, m_boxes.Shown().size());
}

TEST(ComError, DescriptionComesFromTheThreadsErrorInformation) {
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(S_OK, CreateErrorInfo(&create));
    create->SetDescription(const_cast<wchar_t*>(L"The explorer is gone"));
    IErrorInfo* info = nullptr;
    ASSERT_EQ(S_OK, create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)));
    create->Release();
    ASSERT_EQ(S_OK, SetErrorInfo(0, info));
    info->Release();

    const ZxComError error = ZxComError::FromErrorInfo(kComCode, IID_IDispatch);
    EXPECT_EQ(kComCode, error.GetCode());
    EXPECT_TRUE(IsEqualIID(IID_IDispatch, error.GetInterface()));
    EXPECT_EQ("The explorer is gone", error.GetDescription());
    EXPECT_EQ("The explorer is gone - Unknown error 0x80AB0001", error.GetText());

    // The information was taken: a second failure without any has an empty description.
    EXPECT_EQ(" - Unknown error 0x80AB0001", ZxComError::FromErrorInfo(kComCode, IID_IDispatch).GetText());
}
