#pragma once
// The add-in's dialogs on raw Win32: the dialog procedure is bound to a C++ object, and no exception
// raised while a message is handled ever leaves into Windows.
#include <windows.h>
#include <prsht.h>
#include <string>
#include <vector>

#include "ui/ResourceModule.h"

class ZxDialog {
public:
    // `templateId`: the dialog template, taken from the resource source (ResourceSource.h).
    ZxDialog(UINT templateId, HWND parent);
    virtual ~ZxDialog();
    ZxDialog(const ZxDialog&) = delete;
    ZxDialog& operator=(const ZxDialog&) = delete;

    // Runs the dialog modally; answers the code given to EndDialog. Throws ZxExceptionCommon when the
    // window cannot be made (no template, no control class).
    virtual INT_PTR DoModal();
    // Makes the dialog as a modeless window, shown as its template says. Throws as DoModal.
    virtual void Create();

    HWND GetHwnd() const { return m_hwnd; }
    HWND GetItem(int id) const { return GetDlgItem(m_hwnd, id); }
    UINT GetTemplateId() const { return m_templateId; }
    // Ends a modal run with `result`, or destroys a modeless window.
    void EndDialog(INT_PTR result);

    // The object bound to a dialog window of this framework, or null.
    static ZxDialog* FromHandle(HWND window);

protected:
    // Every message of the dialog. Answers what the dialog procedure answers (FALSE: not handled). The
    // default sends WM_INITDIALOG to OnInitDialog and the OK and Cancel commands to OnOK and OnCancel.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // OnMessage inside the guard: a ZxException shows the error box, anything else the application's
    // box with "Unhandled exception in Zx window."; the message then counts as not handled.
    INT_PTR GuardedDispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // The module that holds the template: the resource source, else the add-in module.
    virtual HMODULE FindTemplateModule() const;
    // Binds `window` to this object (pages and other hosts that make the window themselves).
    void Attach(HWND window);
    // The parent of the window made next (a control learns its parent only when its container activates it).
    void SetParentWindow(HWND parent) { m_parent = parent; }

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // This dialog as a page of a property sheet: its template from FindTemplateModule, bound to this
    // object when the sheet makes the page's window. Throws when the template is missing.
    PROPSHEETPAGEA MakeSheetPage();

private:
    UINT m_templateId;
    HWND m_parent;
    HWND m_hwnd = nullptr;
    bool m_modal = false;

    static INT_PTR CALLBACK SheetPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A dialog whose template lives in a resource library: for the modal run, and for the modeless
// creation, the library is the resource source; the previous source is back afterwards, also when
// the call throws.
class ZxLoadedDialog : public ZxDialog {
public:
    // Builds its own ZxResourceModule (throws when none of `names` loads).
    ZxLoadedDialog(const std::vector<std::string>& names, UINT templateId, HWND parent);
    // The same, with the library found in `folder` first (see ZxResourceModule).
    ZxLoadedDialog(const std::vector<std::string>& names, const std::string& folder, UINT templateId, HWND parent);

    // IDCANCEL when the run throws.
    INT_PTR DoModal() override;
    // Throws as ZxDialog::Create; the source is restored either way.
    void Create() override;

    const ZxResourceModule& GetResourceModule() const { return m_module; }

protected:
    // Only the library holds the template.
    HMODULE FindTemplateModule() const override;

private:
    ZxResourceModule m_module;
};
