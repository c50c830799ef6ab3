// The click handler of a command bar button as Office's connection point meets it: names and DISPIDs,
// advising and unadvising, and the set that owns the handlers.
#include <gtest/gtest.h>

#include <windows.h>
#include <wrl/client.h>

#include "OutlookWorld.h"
#include "addin/CommandBarsEventHandler.h"
#include "addin/OutlookIds.h"

using Microsoft::WRL::ComPtr;

namespace {

class CountingHandler : public Toolbars::CCommandBarsEventHandlerButton {
public:
    explicit CountingHandler(int* clicks) : m_clicks(clicks) {}

protected:
    void OnEvent() override { ++*m_clicks; }

private:
    int* m_clicks;
};

ComPtr<outlook::CStandinObject> MakeButton() {
    ComPtr<outlook::CStandinObject> button;
    *button.ReleaseAndGetAddressOf() =
        new outlook::CStandinObject("Button", {outlook::kCommandBarButtonIid}, {outlook::kCommandBarButtonEventsIid});
    return button;
}

TEST(CommandBarHandler, AnswersOnlyItsClickEvent) {
    int clicks = 0;
    ComPtr<CountingHandler> handler(new CountingHandler(&clicks));
    DISPPARAMS none{};
    EXPECT_EQ(handler->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(handler->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(handler->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(handler->Invoke(1, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(clicks, 1) << "only DISPID 1 with IID_NULL is a click";

    struct Case {
        const wchar_t* name;
        UINT count;
        const IID* iid;
        HRESULT expected;
        DISPID id;
    } cases[] = {
        {L"Click", 1, &IID_NULL, S_OK, 1},
        {L"click", 1, &IID_NULL, DISP_E_UNKNOWNNAME, DISPID_UNKNOWN}, // names are compared exactly
        {L"Close", 1, &IID_NULL, DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {L"Click", 2, &IID_NULL, E_INVALIDARG, -77},
        {L"Click", 1, &IID_IDispatch, DISP_E_UNKNOWNINTERFACE, -77},
    };
    for (const Case& c : cases) {
        LPOLESTR names[2] = {const_cast<LPOLESTR>(c.name), const_cast<LPOLESTR>(c.name)};
        DISPID ids[2] = {-77, -77};
        EXPECT_EQ(handler->GetIDsOfNames(*c.iid, names, c.count, 0, ids), c.expected) << c.count;
        EXPECT_EQ(ids[0], c.id);
    }
    LPOLESTR name = const_cast<LPOLESTR>(L"Click");
    EXPECT_EQ(handler->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr), E_POINTER);

    UINT count = 5;
    EXPECT_EQ(handler->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(handler->GetTypeInfo(0, 0, &info), E_FAIL);

    ComPtr<IUnknown> events;
    EXPECT_EQ(handler->QueryInterface(Outlook::IID__CommandBarButtonEvents, reinterpret_cast<void**>(events.GetAddressOf())),
              S_OK);
    ComPtr<IConnectionPointContainer> other;
    EXPECT_EQ(handler.As(&other), E_NOINTERFACE);
}

TEST(CommandBarHandler, TheContainerAdvisesOwnsAndUnadvisesItsHandlers) {
    int clicks = 0;
    ComPtr<outlook::CStandinObject> button = MakeButton();
    ComPtr<outlook::CStandinObject> plain;
    *plain.ReleaseAndGetAddressOf() = new outlook::CStandinObject("Plain", {outlook::kCommandBarButtonIid});
    {
        Toolbars::CCommandBarsEventContainerT<Toolbars::CCommandBarsEventHandler> handlers;
        ComPtr<Toolbars::CCommandBarsEventHandler> listening(new CountingHandler(&clicks));
        ComPtr<Toolbars::CCommandBarsEventHandler> deaf(new CountingHandler(&clicks));
        handlers.Add(listening, button.Get());
        handlers.Add(deaf, plain.Get()); // no connection point: kept all the same
        EXPECT_EQ(handlers.size(), 2u);
        EXPECT_TRUE(listening->IsAdvised());
        EXPECT_FALSE(deaf->IsAdvised());

        EXPECT_EQ(button->Fire(outlook::kCommandBarButtonEventsIid, 1), 1);
        EXPECT_EQ(clicks, 1);
        EXPECT_EQ(button->Fire(outlook::kCommandBarButtonEventsIid, 7), 1);
        EXPECT_EQ(clicks, 1);

        handlers.RemoveAll();
        EXPECT_TRUE(handlers.empty());
        EXPECT_FALSE(listening->IsAdvised());
        EXPECT_EQ(button->SinkCount(outlook::kCommandBarButtonEventsIid), 0);
    }
    EXPECT_EQ(button->Fire(outlook::kCommandBarButtonEventsIid, 1), 0);
    EXPECT_EQ(clicks, 1);
}

} // namespace
