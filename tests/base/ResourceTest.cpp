#include <gtest/gtest.h>

#include "base/Errors.h"
#include "base/Resource.h"

#include <string>

namespace {

// Counts closes through a policy of its own, so ownership moves are visible.
int g_closed = 0;
void CountClose(int) noexcept { ++g_closed; }
using counted = zx::unique_any<zx::close_policy<int, CountClose, -1>>;

TEST(UniqueAny, ClosesOnceAcrossMovesResetsAndRelease) {
    g_closed = 0;
    {
        counted a(5);
        counted b(std::move(a));
        EXPECT_FALSE(a.is_valid());
        EXPECT_EQ(5, b.get());
        b.reset(6); // closes 5
        EXPECT_EQ(1, g_closed);
        counted c;
        c = std::move(b); // nothing held by c: no close
        EXPECT_EQ(1, g_closed);
        counted d(7);
        const int kept = d.release();
        EXPECT_EQ(7, kept);
        *c.put() = 8; // closes 6, then takes 8
        EXPECT_EQ(2, g_closed);
    } // closes 8 only
    EXPECT_EQ(3, g_closed);
}

TEST(UniqueAny, KernelHandleIsReallyClosed) {
    HANDLE raw = nullptr;
    {
        zx::unique_handle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event.get(), GetCurrentProcess(), &raw, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS));
        zx::unique_handle dup(raw);
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(ScopeExit, RunsUnlessReleased) {
    int runs = 0;
    {
        auto guard = zx::scope_exit([&] { ++runs; });
    }
    {
        auto guard = zx::scope_exit([&] { ++runs; });
        guard.release();
    }
    EXPECT_EQ(1, runs);
}

TEST(VariantAndBstr, OwnersFreeAndMove) {
    zx::unique_bstr text = zx::make_bstr(L"Orvanta");
    ASSERT_TRUE(text);
    EXPECT_EQ(7u, SysStringLen(text.get()));

    zx::unique_variant v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.release();
    zx::unique_variant moved(std::move(v));
    EXPECT_EQ(VT_EMPTY, V_VT(&v));
    ASSERT_EQ(VT_BSTR, V_VT(&moved));
    EXPECT_EQ(std::wstring(L"Orvanta"), V_BSTR(&moved));
    VARIANT* slot = moved.put();
    EXPECT_EQ(VT_EMPTY, V_VT(slot));
}

struct Probe {
    static void Throw() { ZX_THROW_TEXT_HERE("probe"); }
};

TEST(ThrowMacros, CaptureModuleQualifiedFunctionAndLine) {
    try {
        Probe::Throw();
        FAIL() << "no throw";
    } catch (const Error::ZxExceptionText& e) {
        EXPECT_EQ("ResourceTest", e.GetFileName());
        EXPECT_EQ("{anonymous}::Probe::Throw", e.GetFunctionName());
        EXPECT_GT(e.GetLine(), 0);
    }
    try {
        constexpr Error::ZxFixedPlace kFixed{"SettingsPropPage", "CSettingsPropPage::OnInitDialog", 27};
        ZX_THROW_MAPI_AT(kFixed, E_FAIL, "fixed");
    } catch (const Error::ZxExceptionMAPI& e) {
        EXPECT_EQ("SettingsPropPage", e.GetFileName());
        EXPECT_EQ("CSettingsPropPage::OnInitDialog", e.GetFunctionName());
        EXPECT_EQ(27, e.GetLine());
    }
}

TEST(ThrowMacros, QualifiedFunctionOfPrettyNames) {
    struct Row {
        const char* pretty;
        const char* expected;
    };
    const Row rows[] = {
        {"void CSynchronizer::Proceed()", "CSynchronizer::Proceed"},
        {"HRESULT Outlook::CSink::Invoke(DISPID, const IID&)", "Outlook::CSink::Invoke"},
        {"bool Foo<std::pair<int, int> >::Bar(int)", "Foo<std::pair<int, int> >::Bar"},
        {"void X::operator()(int)", "X::operator()"},
        {"int main()", "main"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, Error::details::QualifiedFunctionOf(row.pretty)) << row.pretty;
}

} // namespace
