#include "addin/AutoSyncPropPage.h"

#include "addin/MerrowlinkExtension.h"
#include "addin/ZxMerrowlinkExtApp.h"
#include "base/EntryPoint.h"
#include "base/Errors.h"

CAutoSyncPropPage::CAutoSyncPropPage(IUnknown* outer) : CComObjectRoot(outer), CPageControl(CLSID_AutoSyncPropPage) {}

CAutoSyncPropPage::~CAutoSyncPropPage() = default;

HRESULT CAutoSyncPropPage::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    ZX_ENTER_MODULE();
    HRESULT hr = E_FAIL;
    (void)Error::GuardEntryPoint(Error::kOptionsPage,
                                 [&] { hr = zx::com::CreateComObject<CAutoSyncPropPage>(outer, iid, out); });
    return hr;
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

HRESULT CAutoSyncPropPage::Apply() {
    ZX_ENTER_MODULE();
    // Minutes out of range or a file that cannot be written: the user is told, and Outlook keeps its
    // dialog up.
    HRESULT hr = E_FAIL;
    (void)Error::GuardEntryPoint(Error::kOptionsPage, [&] { hr = PageWindow() && SaveOptions() ? S_OK : E_FAIL; });
    return hr;
}
