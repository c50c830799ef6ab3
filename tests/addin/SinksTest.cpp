// The event sinks and their container, connected to stand-in Outlook objects with real connection points.
#include <gtest/gtest.h>

#include <windows.h>
#include <wrl/client.h>

#include "OutlookWorld.h"
#include "addin/OutlookEventSinkApplicationImpl.h"
#include "addin/OutlookEventSinkExplorerImpl.h"
#include "addin/OutlookEventSinkExplorersImpl.h"
#include "addin/OutlookEventSinksContainer.h"
#include "addin/OutlookIds.h"
#include "support/MessageBoxObserver.h"

using Microsoft::WRL::ComPtr;
using Outlook::IZxOutlookEventSink;

namespace {

class Sinks : public ::testing::Test {
protected:
    static ComPtr<outlook::CStandinObject> Source(const IID& events) {
        ComPtr<outlook::CStandinObject> source;
        *source.ReleaseAndGetAddressOf() = new outlook::CStandinObject("Application", {outlook::kApplicationIid}, {events});
        return source;
    }
    static ComPtr<IZxOutlookEventSink> ApplicationSink() {
        return Outlook::CreateEventSink<Outlook::COutlookEventSinkApplicationImpl>();
    }
    static bool Advised(IZxOutlookEventSink* sink) {
        VARIANT_BOOL advised = VARIANT_TRUE;
        sink->IsAdvised(&advised);
        return advised == VARIANT_TRUE;
    }
    static bool Advise(IZxOutlookEventSink* sink, IDispatch* source) {
        VARIANT_BOOL result = VARIANT_FALSE;
        EXPECT_EQ(sink->Advise(source, &result), S_OK);
        return result == VARIANT_TRUE;
    }
    void TearDown() override { EXPECT_EQ(outlook::LiveObjects(), 0) << "a stand-in object was left alive"; }
};

TEST_F(Sinks, AdviseAnswersWhetherTheSourceAcceptedTheConnection) {
    ComPtr<IZxOutlookEventSink> sink = ApplicationSink();
    EXPECT_FALSE(Advise(sink.Get(), nullptr));
    EXPECT_FALSE(Advised(sink.Get()));
    // A source without the sink's event interface refuses it.
    ComPtr<outlook::CStandinObject> wrong = Source(outlook::kExplorerEventsIid);
    EXPECT_FALSE(Advise(sink.Get(), wrong.Get()));
    EXPECT_FALSE(Advised(sink.Get()));
    ComPtr<outlook::CStandinObject> right = Source(outlook::kApplicationEventsIid);
    EXPECT_TRUE(Advise(sink.Get(), right.Get()));
    EXPECT_TRUE(Advised(sink.Get()));
    EXPECT_EQ(right->SinkCount(outlook::kApplicationEventsIid), 1);
    sink->Unadvise();
    EXPECT_EQ(right->SinkCount(outlook::kApplicationEventsIid), 0);
}

TEST_F(Sinks, AdvisingTwiceDropsTheFirstConnection) {
    ComPtr<IZxOutlookEventSink> sink = ApplicationSink();
    ComPtr<outlook::CStandinObject> source = Source(outlook::kApplicationEventsIid);
    EXPECT_TRUE(Advise(sink.Get(), source.Get()));
    EXPECT_TRUE(Advise(sink.Get(), source.Get()));
    EXPECT_EQ(source->SinkCount(outlook::kApplicationEventsIid), 1);
    // A failed second advise leaves the sink disconnected from the first source as well.
    EXPECT_FALSE(Advise(sink.Get(), nullptr));
    EXPECT_EQ(source->SinkCount(outlook::kApplicationEventsIid), 0);
}

TEST_F(Sinks, ContainerIdsGrowAndPurgingDropsSinksNoLongerAdvised) {
    ComPtr<outlook::CStandinObject> source = Source(outlook::kApplicationEventsIid);
    CRefCountPtr<Outlook::COutlookEventSinksContainer> container(new Outlook::COutlookEventSinksContainer(true));
    ComPtr<IZxOutlookEventSink> a = ApplicationSink(), b = ApplicationSink(), c = ApplicationSink();
    Advise(a.Get(), source.Get());
    Advise(b.Get(), source.Get());
    EXPECT_EQ(container->Add(a), 1);
    EXPECT_EQ(container->Add(b), 2);
    b->Unadvise();
    EXPECT_EQ(container->Add(c), 3) << "an id is never given twice";
    EXPECT_EQ(container->size(), 2u) << "the unadvised sink was purged before the add";
    EXPECT_FALSE(container->Get(2));
    EXPECT_EQ(container->Get(1).Get(), a.Get());

    container->Remove(1);
    EXPECT_FALSE(Advised(a.Get())) << "Remove unadvises";
    EXPECT_TRUE(container->empty()) << "c was never advised and goes with the purge after Remove";
}

TEST_F(Sinks, WithoutPurgingUnadvisedSinksStayUntilRemoveAll) {
    ComPtr<outlook::CStandinObject> source = Source(outlook::kApplicationEventsIid);
    CRefCountPtr<Outlook::COutlookEventSinksContainer> container(new Outlook::COutlookEventSinksContainer(false));
    container->RemoveAll();
    EXPECT_TRUE(container->empty());
    ComPtr<IZxOutlookEventSink> a = ApplicationSink(), b = ApplicationSink();
    Advise(a.Get(), source.Get());
    container->Add(a);
    container->Add(b);
    EXPECT_EQ(container->size(), 2u);
    container->RemoveAll();
    EXPECT_TRUE(container->empty());
    EXPECT_FALSE(Advised(a.Get()));
    EXPECT_EQ(source->SinkCount(outlook::kApplicationEventsIid), 0);
}

TEST_F(Sinks, OptionsPagesAddAddsThePagesByProgId) {
    ComPtr<IZxOutlookEventSink> sink = ApplicationSink();
    ComPtr<outlook::CStandinObject> source = Source(outlook::kApplicationEventsIid);
    ASSERT_TRUE(Advise(sink.Get(), source.Get()));
    outlook::WorldOptions options;
    options.explorers = 0;
    std::vector<std::pair<std::string, std::string>> added;
    {
        outlook::COutlookWorld world(options);
        ComPtr<outlook::CStandinObject> pages = world.NewPropertyPages(&added);
        VARIANT argument = outlook::VariantObject(pages.Get());
        EXPECT_EQ(source->Fire(outlook::kApplicationEventsIid, 0xF005, {argument}), 1);
        VariantClear(&argument);
        // Other events of the application reach no handler and add nothing.
        VARIANT again = outlook::VariantObject(pages.Get());
        EXPECT_EQ(source->Fire(outlook::kApplicationEventsIid, 0xF006, {again}), 1);
        VariantClear(&again);
    }
    // The pairs' page first, under the add-in's name, then the automatic runs' page.
    EXPECT_EQ(added, (std::vector<std::pair<std::string, std::string>>{
                         {"ZxBrackenmeadowSyncExt.SettingsPropPage", "Orvanta Merrowlink Addin"},
                         {"ZxBrackenmeadowSyncExt.AutoSyncPropPage", "Automatic synchronization"}}));
    sink->Unadvise();
}

} // namespace

TEST_F(Sinks, AnExplorerEventWithoutItsExplorerIsShownAndOutlookGetsNoError) {
    struct Case {
        const char* name;
        ComPtr<IZxOutlookEventSink> sink;
        DISPID event;
    };
    // An explorer sink that watches no explorer, and a new-explorer event that names none.
    const Case cases[] = {
        {"explorer sink, Activate", Outlook::CreateEventSink<Outlook::COutlookEventSinkExplorerImpl>(),
         Outlook::DISPID_ExplorerActivate},
        {"explorers sink, NewExplorer", Outlook::CreateEventSink<Outlook::COutlookEventSinkExplorersImpl>(),
         Outlook::DISPID_NewExplorer},
    };
    for (const Case& c : cases) {
        MessageBoxObserver boxes;
        ComPtr<IDispatch> events;
        ASSERT_EQ(S_OK, c.sink.As(&events)) << c.name;
        DISPPARAMS none{};
        EXPECT_EQ(S_OK, events->Invoke(c.event, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr))
            << c.name;
        ASSERT_EQ(1u, boxes.Shown().size()) << c.name;
        EXPECT_EQ("Error", boxes.Shown()[0].caption) << c.name;
        EXPECT_EQ("No active explorer object found.", boxes.Shown()[0].text) << c.name;
        EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST), boxes.Shown()[0].type) << c.name;
    }
}
