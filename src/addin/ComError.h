#pragma once
// The exception a failed call into the Outlook or Office object model raises: the result, the interface
// it was made on and the description of the COM error information. Shown as "%s - %s".
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace Outlook {

class CComError {
public:
    CComError(HRESULT hr, const IID& iid, std::string description)
        : m_hr(hr), m_iid(iid), m_description(std::move(description)) {}

    HRESULT Error() const { return m_hr; }
    const IID& Iid() const { return m_iid; }
    const std::string& Description() const { return m_description; }
    // The system's message for the result, or "IDispatch error #%d" / "Unknown error 0x%0lX".
    std::string ErrorMessage() const;
    // "<description> - <error message>".
    std::string GetText() const;

private:
    HRESULT m_hr;
    IID m_iid;
    std::string m_description;
};

// Raises CComError for hr with the description that the thread's error information carries (when its
// source is the interface iid, or when it names none).
[[noreturn]] void ThrowComError(HRESULT hr, const IID& iid);
// The description of EXCEPINFO after DISP_E_EXCEPTION (deferred fill-in done), as 8-bit text.
std::string DescriptionOf(EXCEPINFO& info);

std::string ToAnsi(const wchar_t* text, int length = -1);
std::wstring ToWide(const std::string& text);

} // namespace Outlook
