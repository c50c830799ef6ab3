#include "addin/OutlookCommandBars.h"

#include <cstdio>

#include "addin/CommandBarButtonPictureHelper.h"
#include "addin/OutlookIds.h"
#include "base/AppMessageBox.h"
#include "base/Errors.h"
#include "base/StringTable.h"
#include "base/Version.h"
#include "resources/ResourceIds.h"

using Outlook::CDispatchDriver;
using Outlook::MakeVariant;

namespace Toolbars {

namespace {

constexpr long kButtonControlType = 1; // msoControlButton
constexpr long kStyleIcon = 1; // msoButtonIcon
constexpr long kStyleIconAndCaption = 3; // msoButtonIconAndCaption
constexpr long kToolsMenuId = 30007;
constexpr long kFallbackFaceId = 1753;

zx::unique_variant Missing() {
    zx::unique_variant v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

std::string Format(const char* pattern, const Error::ZxComError& e) {
    const std::string description = e.GetDescription();
    const std::string message = e.GetErrorMessage();
    const int n = std::snprintf(nullptr, 0, pattern, description.c_str(), message.c_str());
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, description.c_str(), message.c_str());
    return text;
}

} // namespace

COutlookCommandBars::~COutlookCommandBars() = default;

void COutlookCommandBars::InstallButtons(const CDispatchDriver& explorer) {
    if (!m_toolbarButtonAdded) {
        AddToolbarButton(explorer);
        m_toolbarButtonAdded = true;
    }
    if (!m_menuItemAdded) {
        AddMenuItem(explorer);
        m_menuItemAdded = true;
    }
}

void COutlookCommandBars::RemoveHandlers() { m_handlers.RemoveAll(); }

void COutlookCommandBars::AddToolbarButton(const CDispatchDriver& explorer) {
    try {
        const CDispatchDriver bars = explorer.GetObject("CommandBars", Outlook::IID__CommandBars);
        const long count = bars.GetLong("Count");
        for (long i = 1; i <= count; ++i) {
            const CDispatchDriver bar = bars.GetObject("Item", Outlook::IID_CommandBar, MakeVariant(i));
            if (bar && bar.GetString("Name") == "Standard") {
                AddButton(bar, kToolbarButtonTag, kStyleIcon, nullptr);
                return;
            }
        }
    } catch (const Error::ZxComError& e) {
        ZX_THROW_TEXT_HERE(Format("Failed to add Orvanta Merrowlink Addin toolbar button. %s - %s", e));
    }
}

void COutlookCommandBars::AddMenuItem(const CDispatchDriver& explorer) {
    try {
        const CDispatchDriver application = explorer.GetObject("Application", Outlook::IID__Application);
        const std::string versionText = application.GetString("Version");
        if (!versionText.empty()) {
            const CVersionNumber version(versionText.c_str(), ".,");
            if (!version.empty() && version.front() < 9) return;
        }

        const CDispatchDriver bars = explorer.GetObject("CommandBars", Outlook::IID__CommandBars);
        const long count = bars.GetLong("Count");
        CDispatchDriver menuBar;
        for (long i = 1; i <= count; ++i) {
            CDispatchDriver bar = bars.GetObject("Item", Outlook::IID_CommandBar, MakeVariant(i));
            if (bar && bar.GetString("Name") == "Menu Bar") menuBar = bar;
        }
        if (!menuBar) return;

        const CDispatchDriver controls = menuBar.GetObject("Controls", Outlook::IID_CommandBarControls);
        const long controlCount = controls.GetLong("Count");
        for (long i = 1; i <= controlCount; ++i) {
            const CDispatchDriver item = controls.GetObject("Item", Outlook::IID_CommandBarControl, MakeVariant(i));
            if (!item) continue;
            const CDispatchDriver control = CDispatchDriver::Query(item.Get(), Outlook::IID_CommandBarControl);
            if (control.GetLong("Id") != kToolsMenuId) continue;
            const CDispatchDriver popup = CDispatchDriver::Query(control.Get(), Outlook::IID_CommandBarPopup);
            const CDispatchDriver menu = popup.GetObject("CommandBar", Outlook::IID_CommandBar);
            if (menu) AddButton(menu, kMenuItemTag, kStyleIconAndCaption, kZxAppName);
        }
    } catch (const Error::ZxComError& e) {
        // This text has always carried the name spelt this way; logs and support notes search for it.
        ZX_THROW_TEXT_HERE(Format("Failed to add Orvanta Merowlink Addin menu button. %s - %s", e));
    }
}

void COutlookCommandBars::AddButton(const CDispatchDriver& bar, const char* tag, long style, const char* caption) {
    const CDispatchDriver controls = bar.GetObject("Controls", Outlook::IID_CommandBarControls);
    const long count = controls.GetLong("Count");
    for (long i = 1; i <= count; ++i) {
        const CDispatchDriver control = controls.GetObject("Item", Outlook::IID_CommandBarControl, MakeVariant(i));
        if (control && control.GetString("Tag") == tag) return;
    }

    const CDispatchDriver control =
        controls.GetObject("Add", Outlook::IID_CommandBarControl, MakeVariant(kButtonControlType), Missing(), Missing(),
                           Missing(), Outlook::MakeVariantBool(true));
    const CDispatchDriver button = CDispatchDriver::Query(control.Get(), Outlook::IID__CommandBarButton);
    button.Put("Style", MakeVariant(style));
    if (caption) button.Put("Caption", MakeVariant(caption));
    button.Put("Tag", MakeVariant(tag));

    // The picture comes from the add-in module itself, never from a satellite.
    zx::unique_hbitmap bitmap(static_cast<HBITMAP>(
        ::LoadImageA(ZxGetThisModule(), MAKEINTRESOURCEA(IDB_TOOLBAR_SYNC), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    if (!CCommandBarButtonPictureHelper::SetPicture(button, std::move(bitmap), RGB(255, 255, 255))) {
        button.Put("BuiltInFace", Outlook::MakeVariantBool(true));
        button.Put("FaceId", MakeVariant(kFallbackFaceId));
    }

    Microsoft::WRL::ComPtr<CCommandBarsEventHandler> handler(new CSyncButtonHandler());
    m_handlers.Add(handler, button.Get());
}

} // namespace Toolbars
