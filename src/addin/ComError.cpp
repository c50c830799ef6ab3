#include "addin/ComError.h"

#include <wrl/client.h>

#include "base/Errors.h"
#include "base/Resource.h"

namespace Outlook {

std::string CComError::ErrorMessage() const {
    // FormatCOMError gives "<description> - <message>"; with an empty description the message follows " - ".
    return Error::FormatCOMError(m_hr, std::string()).substr(3);
}

std::string CComError::GetText() const { return Error::FormatCOMError(m_hr, m_description); }

std::string ToAnsi(const wchar_t* text, int length) {
    if (!text || length == 0) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    if (length < 0 && !out.empty() && out.back() == '\0') out.pop_back();
    return out;
}

std::wstring ToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

void ThrowComError(HRESULT hr, const IID& iid) {
    std::string description;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        zx::unique_bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && text) description = ToAnsi(text.get());
    }
    throw CComError(hr, iid, std::move(description));
}

std::string DescriptionOf(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    std::string description = info.bstrDescription ? ToAnsi(info.bstrDescription) : std::string();
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;
    return description;
}

} // namespace Outlook
