// Late binding by member name: results, arguments in order, puts, and failures raised as ZxComError.
#include <gtest/gtest.h>

#include <windows.h>
#include <wrl/client.h>

#include "OutlookWorld.h"
#include "addin/Dispatch.h"
#include "addin/OutlookIds.h"

using Microsoft::WRL::ComPtr;
using Error::ZxComError;
using Outlook::CDispatchDriver;

namespace {

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        *m_object.ReleaseAndGetAddressOf() = new outlook::CStandinObject("Thing", {Outlook::IID__Explorers});
        m_object->AddMember("Join", 7, [this](const outlook::Args& args, bool, VARIANT* result) -> HRESULT {
            std::string joined;
            for (const VARIANT& a : args) joined += outlook::VariantText(a) + "|";
            m_seen = joined;
            *result = outlook::VariantString(joined);
            return S_OK;
        });
        VARIANT five = outlook::VariantLong(5);
        m_object->AddProperty("Count", 8, five);
    }
    void TearDown() override {
        outlook::ClearFailures();
        m_object.Reset();
        EXPECT_EQ(outlook::LiveObjects(), 0);
    }

    ComPtr<outlook::CStandinObject> m_object;
    std::string m_seen;
};

TEST_F(Dispatch, CallsByNameWithArgumentsInOrder) {
    const CDispatchDriver thing = CDispatchDriver::Query(static_cast<IDispatch*>(m_object.Get()), Outlook::IID__Explorers);
    const zx::unique_variant result =
        thing.Call("join", Outlook::MakeVariant(1L), Outlook::MakeVariant("two"), Outlook::MakeVariantBool(true));
    EXPECT_EQ(m_seen, "1|two|-1|");
    EXPECT_EQ(thing.GetString("Join"), "");
    EXPECT_EQ(thing.GetLong("Count"), 5);
    thing.Put("Count", Outlook::MakeVariant(9L));
    EXPECT_EQ(thing.GetLong("Count"), 9);
}

TEST_F(Dispatch, FailuresRaiseTheComErrorWithTheInterfaceAndDescription) {
    const CDispatchDriver thing = CDispatchDriver::Query(static_cast<IDispatch*>(m_object.Get()), Outlook::IID__Explorers);
    try {
        thing.Call("Missing");
        FAIL() << "no exception";
    } catch (const ZxComError& e) {
        EXPECT_EQ(e.GetCode(), DISP_E_UNKNOWNNAME);
        EXPECT_TRUE(IsEqualIID(e.GetInterface(), Outlook::IID__Explorers));
        EXPECT_EQ(e.GetText(), " - " + e.GetErrorMessage());
    }
    outlook::FailMember("Thing.Count");
    try {
        thing.GetLong("Count");
        FAIL() << "no exception";
    } catch (const ZxComError& e) {
        EXPECT_EQ(e.GetCode(), E_FAIL);
        EXPECT_EQ(e.GetDescription(), "The stand-in refused Thing.Count.");
        EXPECT_EQ(e.GetText(), "The stand-in refused Thing.Count. - " + e.GetErrorMessage());
        EXPECT_FALSE(e.GetErrorMessage().empty());
    }
    try {
        CDispatchDriver::Query(static_cast<IDispatch*>(m_object.Get()), Outlook::IID__Application);
        FAIL() << "no exception";
    } catch (const ZxComError& e) {
        EXPECT_EQ(e.GetCode(), E_NOINTERFACE);
        EXPECT_TRUE(IsEqualIID(e.GetInterface(), Outlook::IID__Application));
    }
}

} // namespace
