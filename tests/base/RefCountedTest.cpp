#include <gtest/gtest.h>

#include "base/RefCounted.h"

#include <thread>
#include <vector>

namespace {
int g_destroyed = 0;

template <class Model>
struct Counted : CRefCountedT<Model> {
    explicit Counted(int v = 0) : value(v) {}
    ~Counted() override { ++g_destroyed; }
    int value;
};
struct Derived : Counted<SingleThreadedModel> {
    Derived() : Counted(5) {}
};
} // namespace

TEST(RefCounted, LastReleaseDestroysTheObject) {
    g_destroyed = 0;
    auto* raw = new Counted<SingleThreadedModel>(1);
    EXPECT_EQ(0, raw->RefCount());
    EXPECT_EQ(1, raw->AddRef());
    EXPECT_EQ(2, raw->AddRef());
    EXPECT_EQ(1, raw->Release());
    EXPECT_EQ(0, g_destroyed);
    EXPECT_EQ(0, raw->Release());
    EXPECT_EQ(1, g_destroyed);
}

TEST(RefCounted, ACopiedObjectStartsWithItsOwnCount) {
    Counted<SingleThreadedModel> a(3);
    a.AddRef();
    Counted<SingleThreadedModel> b(a);
    EXPECT_EQ(0, b.RefCount());
    EXPECT_EQ(3, b.value);
    b = a;
    EXPECT_EQ(0, b.RefCount());
    EXPECT_EQ(1, a.RefCount()); // assignment leaves both counts alone
}

TEST(RefCountPtr, CopyMoveAssignResetAndConversionKeepCountsRight) {
    g_destroyed = 0;
    {
        CRefCountPtr<Derived> p(new Derived);
        EXPECT_EQ(1, p->RefCount());
        CRefCountPtr<Derived> copy = p;
        EXPECT_EQ(2, p->RefCount());
        CRefCountPtr<Counted<SingleThreadedModel>> base(p); // to a base class
        EXPECT_EQ(3, p->RefCount());
        EXPECT_EQ(5, base->value);
        CRefCountPtr<Derived> moved(std::move(copy));
        EXPECT_FALSE(copy);
        EXPECT_EQ(3, p->RefCount());
        moved = moved; // self-assignment
        EXPECT_EQ(3, p->RefCount());
        moved.Reset();
        EXPECT_FALSE(moved);
        EXPECT_EQ(2, p->RefCount());
        CRefCountPtr<Derived> other = MakeRefCounted<Derived>();
        other = p; // the previous object goes
        EXPECT_EQ(1, g_destroyed);
        EXPECT_TRUE(other == p);
        EXPECT_EQ(3, p->RefCount());
    }
    EXPECT_EQ(2, g_destroyed);
}

TEST(RefCountPtr, FreeThreadedCountSurvivesConcurrentUse) {
    g_destroyed = 0;
    CRefCountPtr<Counted<FreeThreadedModel>> shared(new Counted<FreeThreadedModel>);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&shared] {
            for (int i = 0; i < 20000; ++i) {
                CRefCountPtr<Counted<FreeThreadedModel>> local(shared);
                (void)local;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(1, shared->RefCount());
    EXPECT_EQ(0, g_destroyed);
    shared.Reset();
    EXPECT_EQ(1, g_destroyed);
}
