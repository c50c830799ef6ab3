// MAPI's linked-block allocator and the runtime functions built on it.
#include "Helpers.h"

#include <cstring>

namespace standin_test {
namespace {

using AllocatorTest = StandinTest;

TEST_F(AllocatorTest, FreeingTheRootFreesEveryChainedBlock) {
    void* root = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(64, &root), S_OK);
    std::memset(root, 0xAB, 64);
    EXPECT_EQ(standin::LiveBuffers(), baseline_ + 1);
    for (int k = 0; k < 5; ++k) {
        void* more = nullptr;
        ASSERT_EQ(MAPIAllocateMore(1000, root, &more), S_OK);
        std::memset(more, k, 1000);
    }
    // Chained blocks are not separate roots: only the root is outstanding.
    EXPECT_EQ(standin::LiveBuffers(), baseline_ + 1);
    EXPECT_EQ(MAPIFreeBuffer(root), 0u);
    EXPECT_EQ(standin::LiveBuffers(), baseline_);
    EXPECT_EQ(standin::InvalidFrees(), 0);
}

TEST_F(AllocatorTest, AllocateMoreNeedsALiveRoot) {
    void* root = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(8, &root), S_OK);
    void* more = nullptr;
    ASSERT_EQ(MAPIAllocateMore(8, root, &more), S_OK);
    void* bad = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(MAPIAllocateMore(8, more, &bad), MAPI_E_INVALID_PARAMETER); // not a root
    EXPECT_EQ(bad, nullptr);
    MAPIFreeBuffer(root);
    EXPECT_EQ(MAPIAllocateMore(8, root, &bad), MAPI_E_INVALID_PARAMETER); // freed
}

TEST_F(AllocatorTest, DoubleFreesAndChainedBlockFreesAreCountedNotObeyed) {
    void* root = nullptr;
    void* more = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(8, &root), S_OK);
    ASSERT_EQ(MAPIAllocateMore(8, root, &more), S_OK);
    MAPIFreeBuffer(more);
    EXPECT_EQ(standin::InvalidFrees(), 1);
    EXPECT_EQ(standin::LiveBuffers(), baseline_ + 1); // the chain is still alive
    MAPIFreeBuffer(root);
    MAPIFreeBuffer(root);
    EXPECT_EQ(standin::InvalidFrees(), 2);
    EXPECT_EQ(MAPIFreeBuffer(nullptr), 0u);
    EXPECT_EQ(standin::InvalidFrees(), 2);
}

TEST_F(AllocatorTest, HrGetOnePropAllocatesOneBlockAndAnswersNotFoundForAbsentProperties) {
    BasicProfile p;
    auto session = NewSession();
    auto store = OpenStore(session.Get(), p.store);
    ASSERT_TRUE(store);
    Buffer name;
    ASSERT_EQ(HrGetOneProp(store.Get(), PR_DISPLAY_NAME_A, &name.p), S_OK);
    EXPECT_STREQ(name.p->Value.lpszA, "Personal Folders");
    EXPECT_EQ(standin::LiveBuffers(), baseline_ + 1);
    LPSPropValue none = reinterpret_cast<LPSPropValue>(0x1);
    EXPECT_EQ(HrGetOneProp(store.Get(), PR_MAILBOX_OWNER_NAME_A, &none), MAPI_E_NOT_FOUND);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(standin::LiveBuffers(), baseline_ + 1); // nothing left behind by the failed read
}

} // namespace
} // namespace standin_test
