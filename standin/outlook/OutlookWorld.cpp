#include "OutlookWorld.h"

#include "Standin.h"

#include <memory>

namespace outlook {

using Microsoft::WRL::ComPtr;

namespace {

ComPtr<CStandinObject> Make(const std::string& name, std::vector<IID> iids, std::vector<IID> events = {}) {
    ComPtr<CStandinObject> object;
    // MinGW's ComPtr::Attach adds a reference: take the new object's own one instead.
    *object.ReleaseAndGetAddressOf() = new CStandinObject(name, std::move(iids), std::move(events));
    return object;
}

HRESULT Return(VARIANT* result, VARIANT value) {
    if (result)
        *result = value;
    else
        VariantClear(&value);
    return S_OK;
}

// A collection member Item(i) over a list, 1-based.
template <class List>
Member ItemOf(const List& list) {
    return [&list](const Args& args, bool, VARIANT* result) -> HRESULT {
        if (args.empty()) return DISP_E_BADPARAMCOUNT;
        const long index = VariantToLong(args[0], 0);
        if (index < 1 || index > static_cast<long>(list.size())) return DISP_E_BADINDEX;
        return Return(result, VariantObject(list[static_cast<size_t>(index - 1)].Get()));
    };
}

template <class List>
Member CountOf(const List& list) {
    return [&list](const Args&, bool, VARIANT* result) { return Return(result, VariantLong(static_cast<long>(list.size()))); };
}

} // namespace

COutlookWorld::COutlookWorld(const WorldOptions& options) : m_options(options) {
    m_application = Make("Application", {kApplicationIid}, {kApplicationEventsIid});
    m_explorers = Make("Explorers", {kExplorersIid}, {kExplorersEventsIid});
    m_nameSpace = Make("NameSpace", {kNameSpaceIid});

    CStandinObject& app = *m_application.Get();
    app.AddMember("ActiveExplorer", 0x111, [this](const Args&, bool, VARIANT* result) {
        return Return(result, VariantObject(m_active));
    });
    app.AddMember("Explorers", 0x112, [this](const Args&, bool, VARIANT* result) {
        return Return(result, VariantObject(m_explorers.Get()));
    });
    app.AddMember("Session", 0x113, [this](const Args&, bool, VARIANT* result) {
        return Return(result, VariantObject(m_nameSpace.Get()));
    });
    app.AddMember("Version", 0x114, [this](const Args&, bool, VARIANT* result) {
        return Return(result, VariantString(m_options.version));
    });
    app.AddMember("Name", 0x115, [](const Args&, bool, VARIANT* result) {
        return Return(result, VariantString("Outlook"));
    });

    m_explorers->AddMember("Count", 0x50, CountOf(m_explorerList));
    m_explorers->AddMember("Item", 0x51, ItemOf(m_explorerList));
    m_explorers->AddMember("Application", 0xF000, [this](const Args&, bool, VARIANT* result) {
        return Return(result, VariantObject(m_application.Get()));
    });

    m_nameSpace->AddMember("MAPIOBJECT", 0xF101, [this](const Args&, bool, VARIANT* result) -> HRESULT {
        switch (m_options.session) {
        case SessionMode::Profile: {
            IMAPISession* session = standin::NewSession();
            VARIANT v = VariantObject(session, false);
            if (session) session->Release();
            return Return(result, v);
        }
        case SessionMode::Missing:
            return S_OK;
        case SessionMode::Failing:
            break;
        }
        return E_FAIL;
    });

    for (int i = 0; i < options.explorers; ++i) {
        m_allExplorers.push_back(MakeExplorer(++m_explorerNumber));
        m_explorerList.push_back(m_allExplorers.back());
    }
    if (options.activeExplorer && !m_explorerList.empty()) m_active = m_explorerList.front().Get();
}

COutlookWorld::~COutlookWorld() { Release(); }

void COutlookWorld::Release() {
    m_active = nullptr;
    m_controls.clear();
    m_explorerList.clear();
    m_allExplorers.clear();
    m_nameSpace.Reset();
    m_explorers.Reset();
    m_application.Reset();
}

CStandinObject* COutlookWorld::Explorer(int n) const {
    if (n < 1 || n > static_cast<int>(m_allExplorers.size())) return nullptr;
    return m_allExplorers[static_cast<size_t>(n - 1)].Get();
}

CStandinObject& COutlookWorld::NewExplorer() {
    m_allExplorers.push_back(MakeExplorer(++m_explorerNumber));
    m_explorerList.push_back(m_allExplorers.back());
    m_active = m_explorerList.back().Get();
    return *m_active;
}

void COutlookWorld::CloseExplorer(int n) {
    CStandinObject* explorer = Explorer(n);
    if (m_active == explorer) m_active = nullptr;
    std::erase_if(m_explorerList, [explorer](const auto& open) { return open.Get() == explorer; });
}

ComPtr<CStandinObject> COutlookWorld::MakeExplorer(int number) {
    ComPtr<CStandinObject> explorer = Make("Explorer" + std::to_string(number), {kExplorerIid}, {kExplorerEventsIid});
    explorer->AddMember("Application", 0xF000, [this](const Args&, bool, VARIANT* result) {
        return Return(result, VariantObject(m_application.Get()));
    });
    ComPtr<CStandinObject> bars = MakeCommandBars(explorer->Name());
    explorer->AddMember("CommandBars", 0x2100, [bars](const Args&, bool, VARIANT* result) {
        return Return(result, VariantObject(bars.Get()));
    });
    VARIANT caption = VariantString("Inbox - Outlook");
    explorer->AddProperty("Caption", 0x2111, caption);
    VariantClear(&caption);
    return explorer;
}

// A plain button (Type 1), as Controls.Add makes it: every property reads back what was put.
ComPtr<CStandinObject> COutlookWorld::MakeButton(const std::string& name) {
    ComPtr<CStandinObject> button =
        Make(name, {kCommandBarControlIid, kCommandBarButtonIid}, {kCommandBarButtonEventsIid});
    VARIANT empty;
    VariantInit(&empty);
    VARIANT zero = VariantLong(0);
    VARIANT no = VariantBool(false);
    VARIANT text = VariantString("");
    button->AddProperty("Id", 0x60030010, zero);
    button->AddProperty("Tag", 0x60030011, text);
    button->AddProperty("Caption", 0x60030012, text);
    button->AddProperty("Style", 0x60030013, zero);
    button->AddProperty("BuiltInFace", 0x60030014, no);
    button->AddProperty("FaceId", 0x60030015, zero);
    button->AddProperty("Picture", 0x60030016, empty);
    button->AddProperty("Mask", 0x60030017, empty);
    VariantClear(&text);
    return button;
}

// "Standard" and "Menu Bar" (File, then the Tools popup, Id 30007, with a bar of its own, as the last
// control), as Outlook before 2010.
ComPtr<CStandinObject> COutlookWorld::MakeCommandBars(const std::string& owner) {
    auto makeControls = [this](const std::string& name, std::shared_ptr<std::vector<ComPtr<CStandinObject>>> list) {
        ComPtr<CStandinObject> controls = Make(name + ".Controls", {kCommandBarControlsIid});
        controls->AddMember("Count", 0x60030000, CountOf(*list));
        controls->AddMember("Item", 0, ItemOf(*list));
        controls->AddMember("Add", 0x60030002, [this, name, list](const Args& args, bool, VARIANT* result) -> HRESULT {
            const long type = args.empty() ? 1 : VariantToLong(args[0], 1);
            if (type != 1) return E_INVALIDARG;
            ComPtr<CStandinObject> button = MakeButton(name + ".Button" + std::to_string(list->size() + 1));
            list->push_back(button);
            m_controls.push_back(button);
            return Return(result, VariantObject(button.Get()));
        });
        return controls;
    };

    auto barList = std::make_shared<std::vector<ComPtr<CStandinObject>>>();
    for (const char* barName : {"Standard", "Menu Bar"}) {
        ComPtr<CStandinObject> bar = Make(owner + "." + barName, {kCommandBarIid});
        VARIANT nameValue = VariantString(barName);
        bar->AddProperty("Name", 0x60030020, nameValue);
        VariantClear(&nameValue);
        auto controlList = std::make_shared<std::vector<ComPtr<CStandinObject>>>();
        if (std::string(barName) == "Standard" && !m_options.presetToolbarTag.empty()) {
            ComPtr<CStandinObject> button = MakeButton(owner + ".Standard.Preset");
            VARIANT tag = VariantString(m_options.presetToolbarTag);
            button->AddProperty("Tag", 0x60030011, tag);
            VariantClear(&tag);
            controlList->push_back(button);
            m_controls.push_back(button);
        }
        if (std::string(barName) == "Menu Bar") {
            ComPtr<CStandinObject> file = Make(owner + ".File", {kCommandBarControlIid, kCommandBarPopupIid});
            VARIANT fileId = VariantLong(30002);
            file->AddProperty("Id", 0x60030010, fileId);
            controlList->push_back(file);
            // The Tools menu: a popup control with Id 30007 and a bar of its own.
            ComPtr<CStandinObject> tools = Make(owner + ".Tools", {kCommandBarControlIid, kCommandBarPopupIid});
            VARIANT id = VariantLong(30007);
            tools->AddProperty("Id", 0x60030010, id);
            ComPtr<CStandinObject> toolsBar = Make(owner + ".Tools Menu", {kCommandBarIid});
            VARIANT toolsName = VariantString("Tools");
            toolsBar->AddProperty("Name", 0x60030020, toolsName);
            VariantClear(&toolsName);
            auto toolsControls = std::make_shared<std::vector<ComPtr<CStandinObject>>>();
            ComPtr<CStandinObject> toolsControlsObject = makeControls(owner + ".Tools", toolsControls);
            toolsBar->AddMember("Controls", 0x60030021, [toolsControlsObject, toolsControls](const Args&, bool, VARIANT* result) {
                return Return(result, VariantObject(toolsControlsObject.Get()));
            });
            tools->AddMember("CommandBar", 0x60030030, [toolsBar](const Args&, bool, VARIANT* result) {
                return Return(result, VariantObject(toolsBar.Get()));
            });
            controlList->push_back(tools);
        }
        ComPtr<CStandinObject> controls = makeControls(owner + "." + barName, controlList);
        bar->AddMember("Controls", 0x60030021, [controls, controlList](const Args&, bool, VARIANT* result) {
            return Return(result, VariantObject(controls.Get()));
        });
        barList->push_back(bar);
    }
    ComPtr<CStandinObject> bars = Make(owner + ".CommandBars", {kCommandBarsIid});
    bars->AddMember("Count", 0x60030040, CountOf(*barList));
    bars->AddMember("Item", 0, [barList](const Args& args, bool put, VARIANT* result) {
        return ItemOf(*barList)(args, put, result);
    });
    return bars;
}

ComPtr<CStandinObject> COutlookWorld::NewPropertyPages(std::vector<std::pair<std::string, std::string>>* added) {
    ComPtr<CStandinObject> pages = Make("PropertyPages", {kPropertyPagesIid});
    pages->AddMember("Add", 0x5F, [added](const Args& args, bool, VARIANT*) -> HRESULT {
        if (args.size() < 2) return DISP_E_BADPARAMCOUNT;
        if (args[0].vt != VT_BSTR && args[0].vt != VT_UNKNOWN && args[0].vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        if (added) added->emplace_back(args[0].vt == VT_BSTR ? VariantText(args[0]) : "<control>", VariantText(args[1]));
        return S_OK;
    });
    pages->AddMember("Count", 0x50, [added](const Args&, bool, VARIANT* result) {
        return Return(result, VariantLong(added ? static_cast<long>(added->size()) : 0));
    });
    return pages;
}

CStandinObject* COutlookWorld::FindControlByTag(const std::string& tag) const {
    for (const auto& control : m_controls) {
        VARIANT value = control->PropertyValue("Tag");
        const std::string text = VariantText(value);
        VariantClear(&value);
        if (text == tag) return control.Get();
    }
    return nullptr;
}

} // namespace outlook
