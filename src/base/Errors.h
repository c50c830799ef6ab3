#pragma once
// The add-in's exception family: every failure is thrown by value with the place it was detected.
#include <windows.h>
#include <string>
#include <utility>

namespace Error {

class ZxException {
public:
    ZxException(const char* file, const char* function, int line);
    virtual ~ZxException() = default;
    virtual std::string GetErrorText() const = 0;

    const std::string& GetFileName() const { return m_file; }
    const std::string& GetFunctionName() const { return m_function; }
    int GetLine() const { return m_line; }

    // Shows the text in an ownerless box captioned "Error"; returns the button code.
    int ShowErrorBox(unsigned type) const;

private:
    std::string m_file;
    std::string m_function;
    int m_line;
};

class ZxExceptionText : public ZxException {
public:
    ZxExceptionText(std::string text, const char* file, int line);
    ZxExceptionText(std::string text, const char* file, const char* function, int line);
    std::string GetErrorText() const override;
    const std::string& GetText() const { return m_text; }

private:
    std::string m_text;
};

class ZxExceptionCommon : public ZxException {
public:
    ZxExceptionCommon(DWORD code, std::string text, const char* file, int line);
    ZxExceptionCommon(DWORD code, std::string text, const char* file, const char* function, int line);
    std::string GetErrorText() const override;
    DWORD GetCode() const { return m_code; }
    const std::string& GetText() const { return m_text; }

private:
    DWORD m_code;
    std::string m_text;
};

class ZxExceptionMAPI : public ZxExceptionCommon {
public:
    ZxExceptionMAPI(HRESULT code, std::string text, const char* file, const char* function, int line);
    std::string GetErrorText() const override;
};

// A failed call into a COM object of the host (the Outlook and Office object models, the session
// provider): the HRESULT, the interface called and the description from the error information the
// object left. Not a ZxException: entry points that call the object model show it with its own text.
class ZxComError {
public:
    ZxComError(HRESULT code, const IID& iid, std::string description);
    // The error of a failed call on `iid`, with the description of the thread's error information
    // (GetErrorInfo, which also clears it); an empty description when there is none.
    static ZxComError FromErrorInfo(HRESULT code, const IID& iid);

    HRESULT GetCode() const { return m_code; }
    const IID& GetInterface() const { return m_iid; }
    const std::string& GetDescription() const { return m_description; }
    // The system's message for the code, or "IDispatch error #%d" / "Unknown error 0x%0lX".
    std::string GetErrorMessage() const;
    // "%s - %s": the description and the error message (FormatCOMError).
    std::string GetText() const;

private:
    HRESULT m_code;
    IID m_iid;
    std::string m_description;
};

// Runs `body` and swallows whatever it throws, for work that must never fail its caller (writing the
// log, clean-up): the body's result, or `failed` when it threw.
template <class Result, class Body>
Result CallNoThrow(Result failed, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failed;
    }
}
template <class Body>
void CallNoThrow(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {}
}

// Text helpers shared with the log file.
std::string GetSystemErrorText(DWORD code);
std::string GetMAPIErrorName(DWORD code);
std::string FormatMAPIError(DWORD code);
// "%s - %s" of a failed COM call: the error info's description and the system message for hr.
std::string FormatCOMError(HRESULT hr, const std::string& description);

// The MAPI error-name table, row by row in its order (for diagnostics and tests).
size_t MAPIErrorNameCount();
bool MAPIErrorNameAt(size_t index, DWORD& code, std::string& name);

// The one seam between error reporting and the screen: the product shows MessageBoxA; tests install an observer.
using MessageBoxFn = int (*)(HWND owner, const char* text, const char* caption, unsigned type);
MessageBoxFn SetMessageBoxHandler(MessageBoxFn fn); // returns the previous handler; nullptr restores MessageBoxA
int ShowMessageBox(HWND owner, const char* text, const char* caption, unsigned type);

} // namespace Error

namespace Error::details {
// "Synchronizer" from ".../engine/Synchronizer.cpp": the module name the log and the boxes show.
std::string ModuleOf(const char* path);
// "CSynchronizer::Proceed" from GCC's "void CSynchronizer::Proceed(int)": the qualified function name.
std::string QualifiedFunctionOf(const char* prettyFunction);
} // namespace Error::details

// Throw sites stay one line and capture their own place: module (source file name without extension),
// qualified function and line, in the manner of WIL's THROW_* macros. This is the form of every throw
// site but those below.
#define ZX_HERE_MODULE ::Error::details::ModuleOf(__FILE__).c_str()
#define ZX_HERE_FUNCTION ::Error::details::QualifiedFunctionOf(__PRETTY_FUNCTION__).c_str()
#define ZX_THROW_TEXT_HERE(text) throw ::Error::ZxExceptionText((text), ZX_HERE_MODULE, ZX_HERE_FUNCTION, __LINE__)
#define ZX_THROW_COMMON_HERE(code, text) \
    throw ::Error::ZxExceptionCommon((code), (text), ZX_HERE_MODULE, ZX_HERE_FUNCTION, __LINE__)
#define ZX_THROW_MAPI_HERE(hr, text) \
    throw ::Error::ZxExceptionMAPI((hr), (text), ZX_HERE_MODULE, ZX_HERE_FUNCTION, __LINE__)

namespace Error {
// The place of a throw site that users and support have always quoted (from the log, from a box with
// no text) by module, function and line: written down as one row of the table that fixes it, never
// captured, so that it stays whatever the lines of the source become. An empty module or function, or
// line 0, is a place the failure has always been reported without.
struct ZxFixedPlace {
    const char* module;
    const char* function;
    int line;
};
} // namespace Error

// The explicit form, for those throw sites only: the place is a ZxFixedPlace row.
#define ZX_THROW_TEXT_AT(place, text) \
    throw ::Error::ZxExceptionText((text), (place).module, (place).function, (place).line)
#define ZX_THROW_MAPI_AT(place, hr, text) \
    throw ::Error::ZxExceptionMAPI((hr), (text), (place).module, (place).function, (place).line)
