#pragma once
// Shared fixture of the MAPI layer tests: MAPI's allocator in use (as after the add-in connects),
// a fresh stand-in profile, and a check that every object and buffer the test made was released.
#include <gtest/gtest.h>

#include <windows.h>
#include <mapix.h>

#include <string>

#include "Standin.h"
#include "mapi/Binary.h"
#include "mapi/MAPIModule.h"
#include "mapi/Session.h"

class MapiFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_wasInUse = ZxMAPIModule::Instance().IsMAPIInUse();
        ZxMAPIModule::Instance().SetMAPIInUse(true);
        standin::Reset("Outlook");
        m_baseline = standin::LiveObjects();
    }
    void TearDown() override {
        EXPECT_EQ(standin::LiveObjects(), m_baseline) << "MAPI objects or buffers leaked";
        ZxMAPIModule::Instance().SetMAPIInUse(m_wasInUse);
    }

    // A session wrapper over a fresh stand-in session (the wrapper owns the only reference).
    static ZxIMAPISession Session() {
        IMAPISession* raw = standin::NewSession();
        ZxIMAPISession session;
        session.Attach(raw);
        return session;
    }

private:
    bool m_wasInUse = false;
    long m_baseline = 0;
};

inline SBinary Sb(const standin::Bytes& b) {
    SBinary s;
    s.cb = static_cast<ULONG>(b.size());
    s.lpb = reinterpret_cast<BYTE*>(const_cast<char*>(b.data()));
    return s;
}

inline ZxSBinary Zx(const standin::Bytes& b) {
    return ZxSBinary(static_cast<ULONG>(b.size()), reinterpret_cast<const BYTE*>(b.data()));
}

inline standin::Bytes Raw(const ZxSBinary& z) {
    return z.Data() ? standin::Bytes(reinterpret_cast<const char*>(z.Data()), z.Size()) : standin::Bytes();
}
