#pragma once
// Interface identifiers of the Outlook and Office object models that the add-in names.
#include <windows.h>

namespace Outlook {

// {000630xx-0000-0000-C000-000000000046} and {000C03xx-0000-0000-C000-000000000046}.
constexpr IID OfficeIid(unsigned long data1) { return IID{data1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }

inline constexpr IID IID__Application = OfficeIid(0x00063001);
inline constexpr IID IID__NameSpace = OfficeIid(0x00063002);
inline constexpr IID IID__Explorer = OfficeIid(0x00063003);
inline constexpr IID IID__Explorers = OfficeIid(0x0006300A);
inline constexpr IID IID_PropertyPageSite = OfficeIid(0x0006307F);
inline constexpr IID IID_PropertyPages = OfficeIid(0x00063080);
inline constexpr IID IID_ApplicationEvents = OfficeIid(0x0006304E);
inline constexpr IID IID_ExplorerEvents = OfficeIid(0x0006304F);
inline constexpr IID IID_ExplorersEvents = OfficeIid(0x00063078);
inline constexpr IID IID__CommandBars = OfficeIid(0x000C0302);
inline constexpr IID IID_CommandBar = OfficeIid(0x000C0304);
inline constexpr IID IID_CommandBarControls = OfficeIid(0x000C0306);
inline constexpr IID IID_CommandBarControl = OfficeIid(0x000C0308);
inline constexpr IID IID_CommandBarPopup = OfficeIid(0x000C030A);
inline constexpr IID IID__CommandBarButton = OfficeIid(0x000C030E);
inline constexpr IID IID__CommandBarButtonEvents = OfficeIid(0x000C0351);
inline constexpr IID IID_IRibbonUI = OfficeIid(0x000C03A7);

// Event DISPIDs.
inline constexpr DISPID DISPID_ExplorerActivate = 0xF001;
inline constexpr DISPID DISPID_ExplorerSelectionChange = 0xF007;
inline constexpr DISPID DISPID_ExplorerClose = 0xF008;
inline constexpr DISPID DISPID_NewExplorer = 0xF001;
inline constexpr DISPID DISPID_OptionsPagesAdd = 0xF005;

// The session provider component tried when the namespace gives no MAPI session.
inline constexpr CLSID CLSID_SessionProvider = {
    0x94D6C457, 0xA2D0, 0x4A78, {0xB5, 0xDC, 0x5B, 0x00, 0x41, 0x66, 0x91, 0xB0}};
inline constexpr IID IID_ISessionProvider = {
    0x72C77F42, 0xF2D5, 0x4F4A, {0xAB, 0xB6, 0x65, 0x25, 0x6D, 0xAB, 0xDF, 0x5C}};

// Its interface: the third method of its own hands out an object that answers IMAPISession.
struct ISessionProvider : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSessionObject(IUnknown** object) = 0;
};

} // namespace Outlook
