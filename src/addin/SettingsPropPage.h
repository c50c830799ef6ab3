#pragma once
// The options page inside Outlook's Options dialog: the control (class SettingsPropPage) whose window is
// the dialog template IDD_OUTLOOK_OPTIONS_PAGE with the folder pairs.
#include <windows.h>

#include "ZxMerrowlinkExt.h"
#include "addin/ComObject.h"
#include "addin/PageControl.h"
#include "addin/TypeLibrary.h"
#include "resources/ResourceIds.h"
#include "ui/OptionsPage.h"

class CSettingsPropPage
    : public zx::com::CComObjectRoot,
      public COptionsPage,
      public zx::com::CDispatchImpl<ISettingsPropPage, &IID_ISettingsPropPage, zx::com::TypeLibResource::Own>,
      public CPageControl {
public:
    static constexpr UINT kTemplateId = IDD_OUTLOOK_OPTIONS_PAGE;

    // Throws when neither shared resource library loads.
    explicit CSettingsPropPage(IUnknown* outer = nullptr);
    ~CSettingsPropPage() override;

    // The class factory's creation (CreatePageControl).
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    ZX_COM_DELEGATING_IUNKNOWN

protected:
    void* InternalQueryInterface(REFIID iid) noexcept override;

    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPairsChanged() override;
    void RunHandler(void (COptionsPage::*handler)()) override;

    // CPageControl
    void CreatePageWindow(HWND parent) override;
    void DestroyPageWindow() override;
    HWND PageWindow() const override { return GetHwnd(); }
    bool SavePage() override;

private:
    // Once, at the first showing: the controls follow the size the container gave the page.
    void LayOut();

    bool m_laidOut = false;
    bool m_loaded = false; // the stored pairs were read: only then may Apply replace them
};
