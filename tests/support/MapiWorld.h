#pragma once
// The MAPI world of a test: MAPI's allocator in use (as after the add-in connects), a fresh stand-in
// profile, and a check at the end that every MAPI object and buffer the test made was released.
#include <gtest/gtest.h>

#include <windows.h>
#include <mapix.h>

#include <string>

#include "Standin.h"
#include "mapi/Binary.h"
#include "mapi/MAPIModule.h"
#include "mapi/Session.h"

class MapiWorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_wasInUse = ZxMAPIModule::Instance().IsMAPIInUse();
        ZxMAPIModule::Instance().SetMAPIInUse(true);
        standin::Reset("Outlook");
        m_baseline = standin::LiveObjects();
    }
    void TearDown() override {
        ReleaseMapi();
        EXPECT_EQ(m_baseline, standin::LiveObjects()) << "MAPI objects or buffers leaked";
        ZxMAPIModule::Instance().SetMAPIInUse(m_wasInUse);
    }
    // Tests drop what holds MAPI objects or buffers here, before the leak check.
    virtual void ReleaseMapi() {}

    // A session wrapper over a fresh stand-in session (the wrapper owns the only reference).
    static ZxIMAPISession NewSession() {
        ZxIMAPISession session;
        session.Attach(standin::NewSession());
        return session;
    }

private:
    bool m_wasInUse = false;
    long m_baseline = 0;
};

// Bytes of the stand-in as MAPI and product values, and back.
inline SBinary Sb(const standin::Bytes& b) {
    SBinary s;
    s.cb = static_cast<ULONG>(b.size());
    s.lpb = reinterpret_cast<BYTE*>(const_cast<char*>(b.data()));
    return s;
}
inline ZxSBinary Zx(const std::string& b) {
    return ZxSBinary(static_cast<ULONG>(b.size()), reinterpret_cast<const BYTE*>(b.data()));
}
inline std::string Raw(const ZxSBinary& z) {
    return z.Data() ? std::string(reinterpret_cast<const char*>(z.Data()), z.Size()) : std::string();
}
