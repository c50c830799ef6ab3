#include "base/Errors.h"

#include "base/Resource.h"

#include <wrl/client.h>
#include <utility>
#include "base/StringTable.h"
#include "base/TextConversion.h"

namespace Error {

namespace {

std::string FileNameOf(const char* path) {
    if (!path) return std::string();
    std::string p(path);
    std::string::size_type cut = p.find_last_of('\\');
    if (cut == std::string::npos) cut = p.find_last_of('/');
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

std::string Trim(const std::string& s) {
    static const char* const blanks = " \t\r\n\v\f";
    const std::string::size_type first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

struct MAPIErrorName {
    DWORD code;
    const char* name;
};

// Ordered as MAPI's headers list them; the first matching row wins. Ends with a row without text.
const MAPIErrorName kMAPIErrorNames[] = {
    {0x80004002, "MAPI_E_INTERFACE_NOT_SUPPORTED"},
    {0x80004005, "MAPI_E_CALL_FAILED"},
    {0x80040102, "MAPI_E_NO_SUPPORT"},
    {0x80040103, "MAPI_E_BAD_CHARWIDTH"},
    {0x80040105, "Text string is too long (MAPI_E_STRING_TOO_LONG)"},
    {0x80040106, "Unknown flags (MAPI_E_UNKNOWN_FLAGS)"},
    {0x80040107, "Invalid object entry id (MAPI_E_INVALID_ENTRYID)"},
    {0x80040108, "MAPI_E_INVALID_OBJECT"},
    {0x80040109, "MAPI_E_OBJECT_CHANGED"},
    {0x8004010A, "MAPI_E_OBJECT_DELETED"},
    {0x8004010B, "MAPI_E_BUSY"},
    {0x8004010D, "MAPI_E_NOT_ENOUGH_DISK"},
    {0x8004010E, "MAPI_E_NOT_ENOUGH_RESOURCES"},
    {0x8004010F, "Element not found (MAPI_E_NOT_FOUND)"},
    {0x80040110, "MAPI_E_VERSION"},
    {0x80040111, "MAPI logon failed (MAPI_E_LOGON_FAILED)"},
    {0x80040112, "MAPI_E_SESSION_LIMIT"},
    {0x80040113, "Action canceled by the user (MAPI_E_USER_CANCEL)"},
    {0x80040114, "MAPI_E_UNABLE_TO_ABORT"},
    {0x80040115, "Network error (MAPI_E_NETWORK_ERROR)"},
    {0x80040116, "File system error or PST file size exceeded 2GB (MAPI_E_DISK_ERROR)"},
    {0x80070005, "Access denied (MAPI_E_NO_ACCESS)"},
    {0x80040117, "MAPI_E_TOO_COMPLEX"},
    {0x80040118, "MAPI_E_BAD_COLUMN"},
    {0x80040119, "MAPI_E_EXTENDED_ERROR"},
    {0x8004011A, "MAPI_E_COMPUTED"},
    {0x8004011B, "MAPI_E_CORRUPT_DATA"},
    {0x8004011C, "MAPI_E_UNCONFIGURED"},
    {0x8004011D, "MAPI_E_FAILONEPROVIDER"},
    {0x8004011E, "MAPI_E_UNKNOWN_CPID"},
    {0x8004011F, "MAPI_E_UNKNOWN_LCID"},
    {0x80040120, "MAPI_E_PASSWORD_CHANGE_REQUIRED"},
    {0x80040121, "MAPI_E_PASSWORD_EXPIRED"},
    {0x80040122, "MAPI_E_INVALID_WORKSTATION_ACCOUNT"},
    {0x80040123, "MAPI_E_INVALID_ACCESS_TIME"},
    {0x80040124, "MAPI_E_ACCOUNT_DISABLED"},
    {0x80040200, "MAPI_E_END_OF_SESSION"},
    {0x80040201, "MAPI_E_UNKNOWN_ENTRYID"},
    {0x80040202, "MAPI_E_MISSING_REQUIRED_COLUMN"},
    {0x00040203, "MAPI_W_NO_SERVICE"},
    {0x80040301, "MAPI_E_BAD_VALUE"},
    {0x80040302, "MAPI_E_INVALID_TYPE"},
    {0x80040303, "MAPI_E_TYPE_NO_SUPPORT"},
    {0x80040304, "MAPI_E_UNEXPECTED_TYPE"},
    {0x80040305, "MAPI_E_TOO_BIG"},
    {0x80040306, "MAPI_E_DECLINE_COPY"},
    {0x80040307, "MAPI_E_UNEXPECTED_ID"},
    {0x00040380, "MAPI_W_ERRORS_RETURNED"},
    {0x80040400, "MAPI_E_UNABLE_TO_COMPLETE"},
    {0x80040401, "MAPI_E_TIMEOUT"},
    {0x80040402, "MAPI_E_TABLE_EMPTY"},
    {0x80040403, "MAPI_E_TABLE_TOO_BIG"},
    {0x80040405, "MAPI_E_INVALID_BOOKMARK"},
    {0x00040481, "MAPI_W_POSITION_CHANGED"},
    {0x00040482, "MAPI_W_APPROX_COUNT"},
    {0x80040500, "MAPI_E_WAIT"},
    {0x80040501, "MAPI_E_CANCEL"},
    {0x80040502, "MAPI_E_NOT_ME"},
    {0x00040580, "MAPI_W_CANCEL_MESSAGE"},
    {0x80040600, "MAPI_E_CORRUPT_STORE"},
    {0x80040601, "MAPI_E_NOT_IN_QUEUE"},
    {0x80040602, "MAPI_E_NO_SUPPRESS"},
    {0x80040604, "MAPI_E_COLLISION"},
    {0x80040605, "MAPI_E_NOT_INITIALIZED"},
    {0x80040606, "MAPI_E_NON_STANDARD"},
    {0x80040607, "MAPI_E_NO_RECIPIENTS"},
    {0x80040608, "MAPI_E_SUBMITTED"},
    {0x80040609, "MAPI_E_HAS_FOLDERS"},
    {0x8004060A, "MAPI_E_HAS_MESSAGES"},
    {0x8004060B, "MAPI_E_FOLDER_CYCLE"},
    {0x00040680, "MAPI_W_PARTIAL_COMPLETION"},
    {0x80040700, "MAPI_E_AMBIGUOUS_RECIP"},
    {0x80070057, "MAPI_E_INVALID_PARAMETER"},
    {0x8007000E, "MAPI_E_NOT_ENOUGH_MEMORY"},
    {0, nullptr},
};

MessageBoxFn g_messageBox = nullptr;

} // namespace

size_t MAPIErrorNameCount() { return sizeof(kMAPIErrorNames) / sizeof(kMAPIErrorNames[0]) - 1; }

bool MAPIErrorNameAt(size_t index, DWORD& code, std::string& name) {
    if (index >= MAPIErrorNameCount()) return false;
    code = kMAPIErrorNames[index].code;
    name = kMAPIErrorNames[index].name;
    return true;
}

namespace details {

std::string ModuleOf(const char* path) {
    std::string name = FileNameOf(path);
    const std::string::size_type dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0) name.erase(dot);
    return name;
}

std::string QualifiedFunctionOf(const char* prettyFunction) {
    if (!prettyFunction) return std::string();
    std::string text(prettyFunction);
    // Cut the parameter list: the first '(' that is not part of "operator()".
    std::string::size_type open = text.find('(');
    if (open != std::string::npos && open >= 8 && text.compare(open - 8, 8, "operator") == 0)
        open = text.find('(', open + 2);
    if (open != std::string::npos) text.erase(open);
    // Drop the return type: what follows the last space outside template brackets.
    int depth = 0;
    std::string::size_type start = 0;
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        if (text[i] == '<')
            ++depth;
        else if (text[i] == '>')
            --depth;
        else if (text[i] == ' ' && depth == 0)
            start = i + 1;
    }
    return text.substr(start);
}

} // namespace details

// ---- exceptions -----------------------------------------------------------------------------------

ZxException::ZxException(const char* file, const char* function, int line)
    : m_file(FileNameOf(file)), m_function(function ? function : ""), m_line(line) {}

int ZxException::ShowErrorBox(unsigned type) const {
    std::string text = Trim(GetErrorText());
    if (text.empty()) text = ZxFormat("Unknown error occured\nFile: %s, Line: %d", m_file.c_str(), m_line);
    return ShowMessageBox(nullptr, text.c_str(), "Error", type);
}

ZxExceptionText::ZxExceptionText(std::string text, const char* file, int line)
    : ZxException(file, nullptr, line), m_text(std::move(text)) {}

ZxExceptionText::ZxExceptionText(std::string text, const char* file, const char* function, int line)
    : ZxException(file, function, line), m_text(std::move(text)) {}

std::string ZxExceptionText::GetErrorText() const { return m_text; }

ZxExceptionCommon::ZxExceptionCommon(DWORD code, std::string text, const char* file, int line)
    : ZxException(file, nullptr, line), m_code(code), m_text(std::move(text)) {}

ZxExceptionCommon::ZxExceptionCommon(DWORD code, std::string text, const char* file, const char* function, int line)
    : ZxException(file, function, line), m_code(code), m_text(std::move(text)) {}

std::string ZxExceptionCommon::GetErrorText() const {
    const std::string system = Trim(GetSystemErrorText(m_code));
    const unsigned code = m_code;
    if (system.empty()) return Trim(ZxFormat("(%#x) %s", code, m_text.c_str()));
    return Trim(ZxFormat("%s (%#x)\n\n%s", system.c_str(), code, m_text.c_str()));
}

ZxExceptionMAPI::ZxExceptionMAPI(HRESULT code, std::string text, const char* file, const char* function, int line)
    : ZxExceptionCommon(static_cast<DWORD>(code), std::move(text), file, function, line) {}

std::string ZxExceptionMAPI::GetErrorText() const {
    const std::string r = FormatMAPIError(GetCode());
    if (GetText().empty()) return r;
    return GetText() + " \n" + r;
}

// ---- text helpers ---------------------------------------------------------------------------------

std::string GetSystemErrorText(DWORD code) {
    if (code == 0) return std::string();
    char* raw = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&raw), 0, nullptr);
    const zx::unique_hlocal owned(raw);
    if (n == 0 || !raw) return std::string();
    return std::string(raw, n);
}

std::string GetMAPIErrorName(DWORD code) {
    if (code == 0) return std::string();
    for (const MAPIErrorName* row = kMAPIErrorNames; row->name; ++row)
        if (row->code == code) return row->name;
    return std::string();
}

std::string FormatMAPIError(DWORD code) {
    std::string name = GetMAPIErrorName(code);
    if (name.empty()) name = GetSystemErrorText(code);
    return ZxFormat("%s (%#x).", name.c_str(), static_cast<unsigned>(code));
}

std::string FormatCOMError(HRESULT hr, const std::string& description) {
    std::string message = GetSystemErrorText(static_cast<DWORD>(hr));
    if (!message.empty() && message.back() == '\n') {
        message.pop_back();
        if (!message.empty() && message.back() == '\r') message.pop_back();
    }
    if (message.empty()) {
        const DWORD u = static_cast<DWORD>(hr);
        if (u >= 0x80040200u && u <= 0x8004FFFFu)
            message = ZxFormat("IDispatch error #%d", static_cast<int>(u - 0x80040200u));
        else
            message = ZxFormat("Unknown error 0x%0lX", static_cast<unsigned long>(u));
    }
    return ZxFormat("%s - %s", description.c_str(), message.c_str());
}

ZxComError::ZxComError(HRESULT code, const IID& iid, std::string description)
    : m_code(code), m_iid(iid), m_description(std::move(description)) {}

ZxComError ZxComError::FromErrorInfo(HRESULT code, const IID& iid) {
    std::string description;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        zx::unique_bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && text)
            description = ToAnsi(text.get(), static_cast<int>(SysStringLen(text.get())));
    }
    return ZxComError(code, iid, std::move(description));
}

// FormatCOMError gives "<description> - <message>"; with an empty description the message follows " - ".
std::string ZxComError::GetErrorMessage() const { return FormatCOMError(m_code, std::string()).substr(3); }

std::string ZxComError::GetText() const { return FormatCOMError(m_code, m_description); }

// ---- message box seam -----------------------------------------------------------------------------

MessageBoxFn SetMessageBoxHandler(MessageBoxFn fn) {
    MessageBoxFn previous = g_messageBox;
    g_messageBox = fn;
    return previous;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, unsigned type) {
    if (g_messageBox) return g_messageBox(owner, text, caption, type);
    return MessageBoxA(owner, text, caption, type);
}

} // namespace Error
