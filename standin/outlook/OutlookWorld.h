#pragma once
// The stand-in Outlook object model: Application, Explorers, Explorer, NameSpace, the command bar family,
// PropertyPages, built from dispatch objects with real connection points.
#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "StandinObject.h"

namespace outlook {

constexpr IID OfficeIid(unsigned long data1) { return IID{data1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }
inline constexpr IID kApplicationIid = OfficeIid(0x00063001);
inline constexpr IID kNameSpaceIid = OfficeIid(0x00063002);
inline constexpr IID kExplorerIid = OfficeIid(0x00063003);
inline constexpr IID kExplorersIid = OfficeIid(0x0006300A);
inline constexpr IID kPropertyPageSiteIid = OfficeIid(0x0006307F);
inline constexpr IID kPropertyPagesIid = OfficeIid(0x00063080);
inline constexpr IID kApplicationEventsIid = OfficeIid(0x0006304E);
inline constexpr IID kExplorerEventsIid = OfficeIid(0x0006304F);
inline constexpr IID kExplorersEventsIid = OfficeIid(0x00063078);
inline constexpr IID kCommandBarsIid = OfficeIid(0x000C0302);
inline constexpr IID kCommandBarIid = OfficeIid(0x000C0304);
inline constexpr IID kCommandBarControlsIid = OfficeIid(0x000C0306);
inline constexpr IID kCommandBarControlIid = OfficeIid(0x000C0308);
inline constexpr IID kCommandBarPopupIid = OfficeIid(0x000C030A);
inline constexpr IID kCommandBarButtonIid = OfficeIid(0x000C030E);
inline constexpr IID kCommandBarButtonEventsIid = OfficeIid(0x000C0351);

enum class SessionMode {
    Profile, // MAPIOBJECT answers the stand-in MAPI session of the loaded profile
    Missing, // MAPIOBJECT answers an empty value
    Failing // MAPIOBJECT fails with E_FAIL
};

struct WorldOptions {
    std::string version = "16.0.0.4266";
    int explorers = 1; // explorers open at start
    bool activeExplorer = true; // ActiveExplorer answers the first one (otherwise null)
    SessionMode session = SessionMode::Profile;
    // A button with this tag already sits on each explorer's "Standard" bar (as left by an earlier start).
    std::string presetToolbarTag;
};

class COutlookWorld {
public:
    explicit COutlookWorld(const WorldOptions& options);
    ~COutlookWorld();

    IDispatch* Application() const { return m_application.Get(); }
    CStandinObject& ApplicationObject() const { return *m_application.Get(); }
    CStandinObject& ExplorersObject() const { return *m_explorers.Get(); }
    // Explorer n (numbered from 1 in order of opening, closed ones included), nullptr when there is none.
    CStandinObject* Explorer(int n) const;
    int ExplorerCount() const { return static_cast<int>(m_explorerList.size()); }
    // Opens a new explorer (it becomes active), as Explorers.Add would; returns it.
    CStandinObject& NewExplorer();
    // Removes explorer n from the collection (after its Close event); it can still be reached by number.
    void CloseExplorer(int n);

    // A fresh page collection for one opening of the Options dialog; pages added are recorded.
    Microsoft::WRL::ComPtr<CStandinObject> NewPropertyPages(std::vector<std::pair<std::string, std::string>>* added);
    // The command bar control with this tag, in any explorer's bars (nullptr when none).
    CStandinObject* FindControlByTag(const std::string& tag) const;
    // Every button added to the bars (and the preset ones), in order of making.
    const std::vector<Microsoft::WRL::ComPtr<CStandinObject>>& Controls() const { return m_controls; }

    // Drops every reference the world holds (the objects die unless somebody else still holds them).
    void Release();

private:
    Microsoft::WRL::ComPtr<CStandinObject> MakeExplorer(int number);
    Microsoft::WRL::ComPtr<CStandinObject> MakeCommandBars(const std::string& owner);
    Microsoft::WRL::ComPtr<CStandinObject> MakeButton(const std::string& name);

    WorldOptions m_options;
    Microsoft::WRL::ComPtr<CStandinObject> m_application;
    Microsoft::WRL::ComPtr<CStandinObject> m_explorers;
    Microsoft::WRL::ComPtr<CStandinObject> m_nameSpace;
    std::vector<Microsoft::WRL::ComPtr<CStandinObject>> m_explorerList; // open ones, in the collection
    std::vector<Microsoft::WRL::ComPtr<CStandinObject>> m_allExplorers; // by number
    std::vector<Microsoft::WRL::ComPtr<CStandinObject>> m_controls; // every command bar control made
    CStandinObject* m_active = nullptr;
    int m_explorerNumber = 0;
};

} // namespace outlook
