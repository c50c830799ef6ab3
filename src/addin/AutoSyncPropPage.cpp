#include "addin/AutoSyncPropPage.h"

#include "addin/MerrowlinkExtension.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"

CAutoSyncPropPage::CAutoSyncPropPage(IUnknown* outer) : CComObjectRoot(outer), CPageControl(CLSID_AutoSyncPropPage) {}

CAutoSyncPropPage::~CAutoSyncPropPage() = default;

HRESULT CAutoSyncPropPage::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    return CreatePageControl<CAutoSyncPropPage>(outer, iid, out);
}

void* CAutoSyncPropPage::InternalQueryInterface(REFIID iid) noexcept {
    if (iid == IID_IAutoSyncPropPage || iid == IID_IDispatch) return static_cast<IAutoSyncPropPage*>(this);
    return QueryControlInterface(iid);
}

void CAutoSyncPropPage::CreatePageWindow(HWND parent) {
    // The options are the profile's: without the controller's session there is no page to show (an
    // empty one could only overwrite them with the defaults).
    const CRefCountPtr<CMerrowlinkExtension>& controller = GetGlobalObjects().m_extension;
    const ZxIMAPISession session = controller ? controller->GetSession() : ZxIMAPISession();
    if (!session) ZX_THROW_TEXT_HERE("Failed to get MAPI session!");
    LoadOptions(session.GetProfileName());
    SetParentWindow(parent);
    Create();
}

void CAutoSyncPropPage::DestroyPageWindow() { EndDialog(IDCANCEL); } // a modeless page window is destroyed

bool CAutoSyncPropPage::SavePage() {
    // Minutes out of range or a file that cannot be written: the user is told.
    return PageWindow() && SaveOptions();
}
