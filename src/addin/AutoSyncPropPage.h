#pragma once
// The page "Automatic synchronization" inside Outlook's Options dialog: the control (class
// AutoSyncPropPage) whose window is the page of the same name of the options sheet, for the profile
// of the controller's session.
#include <windows.h>

#include "ZxMerrowlinkExt.h"
#include "addin/ComObject.h"
#include "addin/PageControl.h"
#include "addin/TypeLibrary.h"
#include "ui/PropPageAutoSync.h"

class CAutoSyncPropPage
    : public zx::com::CComObjectRoot,
      public CPropPageAutoSync,
      public zx::com::CDispatchImpl<IAutoSyncPropPage, &IID_IAutoSyncPropPage, zx::com::TypeLibResource::Own>,
      public CPageControl {
public:
    explicit CAutoSyncPropPage(IUnknown* outer = nullptr);
    ~CAutoSyncPropPage() override;

    // The class factory's creation (CreatePageControl).
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    ZX_COM_DELEGATING_IUNKNOWN

protected:
    void* InternalQueryInterface(REFIID iid) noexcept override;
    void OnOptionsChanged() override { MarkDirty(); }

    // CPageControl
    void CreatePageWindow(HWND parent) override;
    void DestroyPageWindow() override;
    HWND PageWindow() const override { return GetHwnd(); }
    bool SavePage() override;
};
