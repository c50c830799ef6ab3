#include "ui/Dialog.h"

#include "base/EntryPoint.h"
#include "base/Errors.h"
#include "base/Resource.h"
#include "ui/Dpi.h"
#include "ui/ResourceSource.h"

namespace {

const LPCSTR kDialogType = MAKEINTRESOURCEA(5); // RT_DIALOG

} // namespace

ZxDialog::ZxDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

ZxDialog::~ZxDialog() {
    if (m_hwnd && !m_modal) {
        // A modeless window still open goes with its object; it must not call back into a dead one.
        SetWindowLongPtrA(m_hwnd, DWLP_USER, 0);
        DestroyWindow(m_hwnd);
    }
}

ZxDialog* ZxDialog::FromHandle(HWND window) {
    return window ? reinterpret_cast<ZxDialog*>(GetWindowLongPtrA(window, DWLP_USER)) : nullptr;
}

void ZxDialog::Attach(HWND window) {
    m_hwnd = window;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
}

INT_PTR ZxDialog::DoModal() {
    HMODULE module = FindTemplateModule();
    if (!module) ZX_THROW_COMMON_HERE(ERROR_RESOURCE_NAME_NOT_FOUND, "Failed to find the dialog template.");
    m_modal = true;
    const auto done = zx::scope_exit([this] {
        m_modal = false;
        m_hwnd = nullptr;
    });
    SetLastError(0);
    const ZxSystemDpiAwareScope awareness; // see Dpi.h: laid out at the system DPI, scaled by Windows elsewhere
    const INT_PTR result =
        DialogBoxParamA(module, MAKEINTRESOURCEA(m_templateId), m_parent, DialogProc, reinterpret_cast<LPARAM>(this));
    if (result == -1) ZX_THROW_COMMON_HERE(GetLastError(), "Failed to create the dialog window.");
    return result;
}

void ZxDialog::Create() {
    HMODULE module = FindTemplateModule();
    if (!module) ZX_THROW_COMMON_HERE(ERROR_RESOURCE_NAME_NOT_FOUND, "Failed to find the dialog template.");
    m_modal = false;
    SetLastError(0);
    const ZxSystemDpiAwareScope awareness; // as the modal windows (Dpi.h)
    HWND window = CreateDialogParamA(module, MAKEINTRESOURCEA(m_templateId), m_parent, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (!window) ZX_THROW_COMMON_HERE(GetLastError(), "Failed to create the dialog window.");
}

PROPSHEETPAGEA ZxDialog::MakeSheetPage() {
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = FindTemplateModule();
    if (!page.hInstance) ZX_THROW_COMMON_HERE(ERROR_RESOURCE_NAME_NOT_FOUND, "Failed to find the dialog template.");
    page.pszTemplate = MAKEINTRESOURCEA(m_templateId);
    page.pfnDlgProc = SheetPageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR CALLBACK ZxDialog::SheetPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* page = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        auto* self = page ? reinterpret_cast<ZxDialog*>(page->lParam) : nullptr;
        if (!self) return FALSE;
        self->Attach(window);
        return self->GuardedDispatch(message, wParam, lParam);
    }
    // Every later message goes the framework's way (it also unbinds the window at its end).
    return DialogProc(window, message, wParam, lParam);
}

void ZxDialog::EndDialog(INT_PTR result) {
    if (!m_hwnd) return;
    if (m_modal) {
        ::EndDialog(m_hwnd, result);
    } else {
        HWND window = m_hwnd;
        m_hwnd = nullptr;
        DestroyWindow(window);
    }
}

HMODULE ZxDialog::FindTemplateModule() const {
    return ZxFindResourceHandle(MAKEINTRESOURCEA(m_templateId), kDialogType);
}

INT_PTR ZxDialog::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == IDOK) {
                    OnOK();
                    return TRUE;
                }
                if (LOWORD(wParam) == IDCANCEL) {
                    OnCancel();
                    return TRUE;
                }
            }
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR ZxDialog::GuardedDispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return Error::GuardEntryPointOr(Error::kZxWindow, INT_PTR{FALSE}, [&] { return OnMessage(message, wParam, lParam); });
}

INT_PTR CALLBACK ZxDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ZxDialog* self = reinterpret_cast<ZxDialog*>(lParam);
        if (!self) return FALSE;
        self->Attach(window);
    }
    ZxDialog* self = FromHandle(window);
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->m_hwnd = nullptr;
        return FALSE;
    }
    return self->GuardedDispatch(message, wParam, lParam);
}

ZxLoadedDialog::ZxLoadedDialog(const std::vector<std::string>& names, UINT templateId, HWND parent)
    : ZxDialog(templateId, parent), m_module(names) {}

ZxLoadedDialog::ZxLoadedDialog(const std::vector<std::string>& names, const std::string& folder, UINT templateId,
                               HWND parent)
    : ZxDialog(templateId, parent), m_module(names, folder) {}

HMODULE ZxLoadedDialog::FindTemplateModule() const {
    HMODULE library = m_module.GetHandle();
    return FindResourceA(library, MAKEINTRESOURCEA(GetTemplateId()), kDialogType) ? library : nullptr;
}

INT_PTR ZxLoadedDialog::DoModal() {
    const HMODULE previous = ZxSetResourceHandle(m_module.GetHandle());
    const auto restore = zx::scope_exit([previous] { ZxSetResourceHandle(previous); });
    try {
        return ZxDialog::DoModal();
    } catch (...) {
        return IDCANCEL;
    }
}

void ZxLoadedDialog::Create() {
    const HMODULE previous = ZxSetResourceHandle(m_module.GetHandle());
    const auto restore = zx::scope_exit([previous] { ZxSetResourceHandle(previous); });
    ZxDialog::Create();
}
