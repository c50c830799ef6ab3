#include <gtest/gtest.h>

#include <windows.h>
#include <mapix.h>
#include <mapicode.h>

#include "base/Errors.h"

#include <string>
#include <vector>

using namespace Error;

namespace {

// The operating system's own message for a code, as FormatMessageA gives it (not trimmed).
std::string SystemMessage(DWORD code) {
    char* raw = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&raw), 0, nullptr);
    std::string text = (n && raw) ? std::string(raw, n) : std::string();
    if (raw) LocalFree(raw);
    return text;
}

std::string Trimmed(const std::string& s) {
    const char* blanks = " \t\r\n\v\f";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

struct NameRow {
    DWORD code;
    const char* constant;
};
#define ROW(c) \
    { static_cast<DWORD>(c), #c }

// The table in its required order, with the codes taken from the published headers.
const NameRow kExpectedOrder[] = {
    ROW(MAPI_E_INTERFACE_NOT_SUPPORTED),
    ROW(MAPI_E_CALL_FAILED),
    ROW(MAPI_E_NO_SUPPORT),
    ROW(MAPI_E_BAD_CHARWIDTH),
    ROW(MAPI_E_STRING_TOO_LONG),
    ROW(MAPI_E_UNKNOWN_FLAGS),
    ROW(MAPI_E_INVALID_ENTRYID),
    ROW(MAPI_E_INVALID_OBJECT),
    ROW(MAPI_E_OBJECT_CHANGED),
    ROW(MAPI_E_OBJECT_DELETED),
    ROW(MAPI_E_BUSY),
    ROW(MAPI_E_NOT_ENOUGH_DISK),
    ROW(MAPI_E_NOT_ENOUGH_RESOURCES),
    ROW(MAPI_E_NOT_FOUND),
    ROW(MAPI_E_VERSION),
    ROW(MAPI_E_LOGON_FAILED),
    ROW(MAPI_E_SESSION_LIMIT),
    ROW(MAPI_E_USER_CANCEL),
    ROW(MAPI_E_UNABLE_TO_ABORT),
    ROW(MAPI_E_NETWORK_ERROR),
    ROW(MAPI_E_DISK_ERROR),
    ROW(MAPI_E_NO_ACCESS),
    ROW(MAPI_E_TOO_COMPLEX),
    ROW(MAPI_E_BAD_COLUMN),
    ROW(MAPI_E_EXTENDED_ERROR),
    ROW(MAPI_E_COMPUTED),
    ROW(MAPI_E_CORRUPT_DATA),
    ROW(MAPI_E_UNCONFIGURED),
    ROW(MAPI_E_FAILONEPROVIDER),
    ROW(MAPI_E_UNKNOWN_CPID),
    ROW(MAPI_E_UNKNOWN_LCID),
    ROW(MAPI_E_PASSWORD_CHANGE_REQUIRED),
    ROW(MAPI_E_PASSWORD_EXPIRED),
    ROW(MAPI_E_INVALID_WORKSTATION_ACCOUNT),
    ROW(MAPI_E_INVALID_ACCESS_TIME),
    ROW(MAPI_E_ACCOUNT_DISABLED),
    ROW(MAPI_E_END_OF_SESSION),
    ROW(MAPI_E_UNKNOWN_ENTRYID),
    ROW(MAPI_E_MISSING_REQUIRED_COLUMN),
    ROW(MAPI_W_NO_SERVICE),
    ROW(MAPI_E_BAD_VALUE),
    ROW(MAPI_E_INVALID_TYPE),
    ROW(MAPI_E_TYPE_NO_SUPPORT),
    ROW(MAPI_E_UNEXPECTED_TYPE),
    ROW(MAPI_E_TOO_BIG),
    ROW(MAPI_E_DECLINE_COPY),
    ROW(MAPI_E_UNEXPECTED_ID),
    ROW(MAPI_W_ERRORS_RETURNED),
    ROW(MAPI_E_UNABLE_TO_COMPLETE),
    ROW(MAPI_E_TIMEOUT),
    ROW(MAPI_E_TABLE_EMPTY),
    ROW(MAPI_E_TABLE_TOO_BIG),
    ROW(MAPI_E_INVALID_BOOKMARK),
    ROW(MAPI_W_POSITION_CHANGED),
    ROW(MAPI_W_APPROX_COUNT),
    ROW(MAPI_E_WAIT),
    ROW(MAPI_E_CANCEL),
    ROW(MAPI_E_NOT_ME),
    ROW(MAPI_W_CANCEL_MESSAGE),
    ROW(MAPI_E_CORRUPT_STORE),
    ROW(MAPI_E_NOT_IN_QUEUE),
    ROW(MAPI_E_NO_SUPPRESS),
    ROW(MAPI_E_COLLISION),
    ROW(MAPI_E_NOT_INITIALIZED),
    ROW(MAPI_E_NON_STANDARD),
    ROW(MAPI_E_NO_RECIPIENTS),
    ROW(MAPI_E_SUBMITTED),
    ROW(MAPI_E_HAS_FOLDERS),
    ROW(MAPI_E_HAS_MESSAGES),
    ROW(MAPI_E_FOLDER_CYCLE),
    ROW(MAPI_W_PARTIAL_COMPLETION),
    ROW(MAPI_E_AMBIGUOUS_RECIP),
    ROW(MAPI_E_INVALID_PARAMETER),
    ROW(MAPI_E_NOT_ENOUGH_MEMORY),
};
#undef ROW

struct HumanRow {
    DWORD code;
    const char* text;
};
const HumanRow kHumanTexts[] = {
    {0x80040105, "Text string is too long (MAPI_E_STRING_TOO_LONG)"},
    {0x80040106, "Unknown flags (MAPI_E_UNKNOWN_FLAGS)"},
    {0x80040107, "Invalid object entry id (MAPI_E_INVALID_ENTRYID)"},
    {0x8004010F, "Element not found (MAPI_E_NOT_FOUND)"},
    {0x80040111, "MAPI logon failed (MAPI_E_LOGON_FAILED)"},
    {0x80040113, "Action canceled by the user (MAPI_E_USER_CANCEL)"},
    {0x80040115, "Network error (MAPI_E_NETWORK_ERROR)"},
    {0x80040116, "File system error or PST file size exceeded 2GB (MAPI_E_DISK_ERROR)"},
    {0x80070005, "Access denied (MAPI_E_NO_ACCESS)"},
};

} // namespace

TEST(MAPIErrorNames, TableHoldsEveryConstantInOrderWithItsHeaderCode) {
    const size_t expected = sizeof(kExpectedOrder) / sizeof(kExpectedOrder[0]);
    ASSERT_EQ(74u, expected);
    ASSERT_EQ(expected, MAPIErrorNameCount());
    size_t human = 0;
    for (size_t i = 0; i < expected; ++i) {
        DWORD code = 0;
        std::string name;
        ASSERT_TRUE(MAPIErrorNameAt(i, code, name));
        SCOPED_TRACE(kExpectedOrder[i].constant);
        EXPECT_EQ(kExpectedOrder[i].code, code) << "row " << i;
        const std::string constant = kExpectedOrder[i].constant;
        if (name != constant) {
            ++human;
            // Human rows end with the constant in parentheses.
            ASSERT_GT(name.size(), constant.size() + 3);
            EXPECT_EQ(" (" + constant + ")", name.substr(name.size() - constant.size() - 3));
        }
    }
    EXPECT_EQ(9u, human);
    DWORD code = 0;
    std::string name;
    EXPECT_FALSE(MAPIErrorNameAt(expected, code, name));
}

TEST(MAPIErrorNames, HumanTextsAreExact) {
    for (const HumanRow& row : kHumanTexts) EXPECT_EQ(row.text, GetMAPIErrorName(row.code));
}

TEST(MAPIErrorNames, ZeroAndUnknownCodesHaveNoName) {
    EXPECT_EQ("", GetMAPIErrorName(0));
    EXPECT_EQ("", GetMAPIErrorName(0x80040104)); // a gap in the MAPI codes
    EXPECT_EQ("", GetMAPIErrorName(5));
    EXPECT_EQ("MAPI_W_ERRORS_RETURNED", GetMAPIErrorName(0x00040380));
}

TEST(SystemErrorText, IsTheSystemsMessageUntrimmedAndEmptyForZero) {
    EXPECT_EQ("", GetSystemErrorText(0));
    const std::string accessDenied = SystemMessage(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(accessDenied.empty());
    EXPECT_EQ(accessDenied, GetSystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SystemMessage(0x8004FFFF), GetSystemErrorText(0x8004FFFF));
}

TEST(FormatMAPIError, NameThenLowerCaseCodeInParentheses) {
    EXPECT_EQ("MAPI_E_NO_SUPPORT (0x80040102).", FormatMAPIError(0x80040102));
    EXPECT_EQ("MAPI_W_ERRORS_RETURNED (0x40380).", FormatMAPIError(0x00040380));
    EXPECT_EQ(" (0).", FormatMAPIError(0));
    // No name: the system text, untrimmed.
    EXPECT_EQ(SystemMessage(5) + " (0x5).", FormatMAPIError(5));
}

TEST(ExceptionTexts, MAPIExceptionComposesTextSpaceLineFeedAndName) {
    struct Case {
        HRESULT code;
        const char* text;
        std::string expected;
    };
    const Case cases[] = {
        {static_cast<HRESULT>(0x8004010F), "Failed to open parent folder.",
         "Failed to open parent folder. \nElement not found (MAPI_E_NOT_FOUND) (0x8004010f)."},
        {static_cast<HRESULT>(0x80040102), "", "MAPI_E_NO_SUPPORT (0x80040102)."},
        {0, "", " (0)."},
        {0, "Nothing.", "Nothing. \n (0)."},
        {static_cast<HRESULT>(0x00040380), "", "MAPI_W_ERRORS_RETURNED (0x40380)."},
        {5, "Read.", "Read. \n" + SystemMessage(5) + " (0x5)."},
    };
    for (const Case& c : cases) {
        ZxExceptionMAPI e(c.code, c.text, ".\\src\\mapi\\Folder.cpp", "ZxIMAPIFolder::Open", 12);
        EXPECT_EQ(c.expected, e.GetErrorText()) << c.text;
    }
}

TEST(ExceptionTexts, CommonExceptionWithAndWithoutSystemText) {
    EXPECT_EQ("(0) Failed to read file.", ZxExceptionCommon(0, "Failed to read file.", "f.cpp", 1).GetErrorText());
    EXPECT_EQ("(0)", ZxExceptionCommon(0, "", "f.cpp", 1).GetErrorText());
    const std::string system = Trimmed(SystemMessage(ERROR_ACCESS_DENIED));
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(system + " (0x5)\n\nFailed to read file.",
              ZxExceptionCommon(5, "Failed to read file.", "f.cpp", "F", 1).GetErrorText());
    // An empty text leaves the trailing line breaks out.
    EXPECT_EQ(system + " (0x5)", ZxExceptionCommon(5, "", "f.cpp", 1).GetErrorText());
    // A code the system does not know.
    if (SystemMessage(0x8004FFFF).empty()) {
        EXPECT_EQ("(0x8004ffff) x", ZxExceptionCommon(0x8004FFFF, "x", nullptr, 0).GetErrorText());
    }
}

TEST(ExceptionTexts, TextExceptionIsItsTextUnchanged) {
    EXPECT_EQ("  No MAPI session.\n", ZxExceptionText("  No MAPI session.\n", "a.cpp", 3).GetErrorText());
}

TEST(ExceptionPlace, FileNameIsTheLastComponent) {
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {".\\src\\base\\Errors.cpp", "Errors.cpp"},
        {"src/base/Errors.cpp", "Errors.cpp"},
        {"Errors.cpp", "Errors.cpp"},
        {"a\\b/c.cpp", "b/c.cpp"}, // the last backslash wins over a later slash
        {"folder\\", ""},
        {"", ""},
        {nullptr, ""},
    };
    for (const Case& c : cases) {
        ZxExceptionText e("t", c.path, "F::G", 7);
        EXPECT_EQ(c.name, e.GetFileName()) << (c.path ? c.path : "(null)");
    }
}

TEST(ExceptionPlace, FieldsAreKeptAndCopied) {
    ZxExceptionMAPI original(MAPI_E_NOT_FOUND, "t", "x\\Store.cpp", "ZxIMsgStore::Open", 99);
    ZxExceptionMAPI copy = original;
    EXPECT_EQ("Store.cpp", copy.GetFileName());
    EXPECT_EQ("ZxIMsgStore::Open", copy.GetFunctionName());
    EXPECT_EQ(99, copy.GetLine());
    EXPECT_EQ(static_cast<DWORD>(MAPI_E_NOT_FOUND), copy.GetCode());
    EXPECT_EQ(original.GetErrorText(), copy.GetErrorText());

    ZxExceptionText noFunction("t", "y.cpp", 0);
    EXPECT_EQ("", noFunction.GetFunctionName());
    EXPECT_EQ(0, noFunction.GetLine());
}

TEST(ExceptionPlace, ThrowFormsGiveTheirPlaceAndAreCaughtAsTheBase) {
    // The capturing form: this file, this function, this line.
    int line = 0;
    try {
        line = __LINE__ + 1; // the throw is on the next line
        ZX_THROW_MAPI_HERE(MAPI_E_CALL_FAILED, "Failed.");
    } catch (const ZxException& e) {
        EXPECT_EQ(line, e.GetLine());
        EXPECT_EQ("ErrorsTest", e.GetFileName());
        EXPECT_EQ("ExceptionPlace_ThrowFormsGiveTheirPlaceAndAreCaughtAsTheBase_Test::TestBody", e.GetFunctionName());
        EXPECT_EQ("Failed. \nMAPI_E_CALL_FAILED (0x80004005).", e.GetErrorText());
    }
    EXPECT_NE(0, line);
    EXPECT_THROW(ZX_THROW_COMMON_HERE(5, "c"), ZxExceptionCommon);
    // The explicit form: the row's place, whatever the line; an empty row is no place at all.
    constexpr ZxFixedPlace kRow{"MsgStoresTable", "CMsgStoresTable::Seek", 32};
    try {
        ZX_THROW_TEXT_AT(kRow, "t");
    } catch (const ZxExceptionText& e) {
        EXPECT_EQ("MsgStoresTable", e.GetFileName());
        EXPECT_EQ("CMsgStoresTable::Seek", e.GetFunctionName());
        EXPECT_EQ(32, e.GetLine());
    }
    constexpr ZxFixedPlace kNone{nullptr, nullptr, 0};
    try {
        ZX_THROW_TEXT_AT(kNone, "");
    } catch (const ZxException& e) {
        EXPECT_EQ("", e.GetFileName());
        EXPECT_EQ("", e.GetFunctionName());
        EXPECT_EQ(0, e.GetLine());
    }
}

// ---- the message box seam ---------------------------------------------------------------------------

namespace {
struct BoxCall {
    int calls = 0;
    HWND owner = reinterpret_cast<HWND>(1);
    std::string text, caption;
    unsigned type = 0;
};
BoxCall g_box;
int RecordBox(HWND owner, const char* text, const char* caption, unsigned type) {
    ++g_box.calls;
    g_box.owner = owner;
    g_box.text = text ? text : "(null)";
    g_box.caption = caption ? caption : "(null)";
    g_box.type = type;
    return IDRETRY;
}

class ErrorBox : public ::testing::Test {
protected:
    void SetUp() override {
        g_box = BoxCall();
        m_previous = SetMessageBoxHandler(&RecordBox);
    }
    void TearDown() override { SetMessageBoxHandler(m_previous); }
    MessageBoxFn m_previous = nullptr;
};
} // namespace

TEST_F(ErrorBox, ShowsTrimmedTextCaptionedErrorWithoutOwner) {
    ZxExceptionText e("  \r\nCannot open.\n\t ", "x.cpp", "F", 5);
    EXPECT_EQ(IDRETRY, e.ShowErrorBox(0x50010));
    EXPECT_EQ(1, g_box.calls);
    EXPECT_EQ(nullptr, g_box.owner);
    EXPECT_EQ("Cannot open.", g_box.text);
    EXPECT_EQ("Error", g_box.caption);
    EXPECT_EQ(0x50010u, g_box.type);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST), g_box.type);
}

TEST_F(ErrorBox, WhiteSpaceOnlyTextNamesFileAndLine) {
    ZxExceptionText blank(" \r\n\t ", ".\\src\\ui\\Dialog.cpp", "ZxDialog::Run", 321);
    blank.ShowErrorBox(MB_OK);
    EXPECT_EQ("Unknown error occured\nFile: Dialog.cpp, Line: 321", g_box.text);
    EXPECT_EQ(static_cast<unsigned>(MB_OK), g_box.type);

    ZxExceptionText nothing("", nullptr, 0);
    nothing.ShowErrorBox(MB_OK);
    EXPECT_EQ("Unknown error occured\nFile: , Line: 0", g_box.text);
    EXPECT_EQ(2, g_box.calls);
}

TEST_F(ErrorBox, MAPIExceptionWithCodeZeroShowsTheTrimmedCodePart) {
    ZxExceptionMAPI e(0, "", "a.cpp", "F", 1);
    e.ShowErrorBox(MB_OK);
    EXPECT_EQ("(0).", g_box.text);
}

TEST_F(ErrorBox, HandlerSwapReturnsThePreviousOne) {
    EXPECT_EQ(&RecordBox, SetMessageBoxHandler(nullptr));
    EXPECT_EQ(nullptr, SetMessageBoxHandler(&RecordBox));
    EXPECT_EQ(IDRETRY, ShowMessageBox(nullptr, "t", "c", MB_OK));
    EXPECT_EQ("t", g_box.text);
}

// ---- COM errors -------------------------------------------------------------------------------------

TEST(COMErrorText, SystemMessageLosesItsTrailingLineEnd) {
    const std::string system = SystemMessage(static_cast<DWORD>(E_OUTOFMEMORY));
    ASSERT_FALSE(system.empty());
    std::string expected = system;
    if (!expected.empty() && expected.back() == '\n') {
        expected.pop_back();
        if (!expected.empty() && expected.back() == '\r') expected.pop_back();
    }
    EXPECT_EQ("The call failed - " + expected, FormatCOMError(E_OUTOFMEMORY, "The call failed"));
    EXPECT_EQ(" - " + expected, FormatCOMError(E_OUTOFMEMORY, ""));
}

TEST(COMErrorText, WithoutSystemMessageDispatchRangeAndUnknown) {
    struct Case {
        DWORD hr;
        const char* expected;
    };
    const Case cases[] = {
        {0x80040200, "d - IDispatch error #0"},       {0x80040264, "d - IDispatch error #100"},
        {0x8004FFFF, "d - IDispatch error #65023"},   {0x80AB0001, "d - Unknown error 0x80AB0001"},
        {0x8003FFF0, "d - Unknown error 0x8003FFF0"},
    };
    int checked = 0;
    for (const Case& c : cases) {
        if (!SystemMessage(c.hr).empty()) continue; // the system names it; covered above
        EXPECT_EQ(c.expected, FormatCOMError(static_cast<HRESULT>(c.hr), "d"));
        ++checked;
    }
    EXPECT_GE(checked, 3);
}
