// MAPI's linked-block allocator: MAPIAllocateMore chains blocks to a root buffer, and freeing
// the root frees the chain. Live roots are tracked in a set so that a double free or a foreign
// pointer is counted instead of corrupting the heap. Blocks come from a heap of their own, so that
// MAPI buffers neither fragment the process heap nor are slowed down by it.
#include "Internal.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace standin::detail {
namespace {

struct alignas(16) Header {
    Header* next; // next block chained to the root (roots only: first chained block)
    Header* root; // the root of the chain (a root points to itself)
    size_t size;
};

// The live roots: an open-addressing set of pointers (no allocation per buffer, O(1) on average).
class PointerSet {
public:
    bool Insert(void* p) {
        if ((used_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 1024 : (size_ + 1) * 4);
        size_t i = Home(p);
        size_t tomb = kNone;
        for (;; i = (i + 1) & mask_) {
            void* s = slots_[i];
            if (s == p) return false;
            if (s == Tomb() && tomb == kNone) tomb = i;
            if (s == nullptr) break;
        }
        if (tomb != kNone) {
            slots_[tomb] = p;
        } else {
            slots_[i] = p;
            ++used_;
        }
        ++size_;
        return true;
    }
    bool Contains(void* p) const { return Find(p) != kNone; }
    bool Erase(void* p) {
        const size_t i = Find(p);
        if (i == kNone) return false;
        slots_[i] = Tomb();
        --size_;
        return true;
    }
    size_t Size() const { return size_; }

private:
    static constexpr size_t kNone = ~size_t(0);
    static void* Tomb() { return reinterpret_cast<void*>(uintptr_t(1)); }
    size_t Home(void* p) const {
        uint64_t h = reinterpret_cast<uintptr_t>(p) >> 4;
        h *= 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h >> 20) & mask_;
    }
    size_t Find(void* p) const {
        if (slots_.empty() || p == nullptr || p == Tomb()) return kNone;
        for (size_t i = Home(p);; i = (i + 1) & mask_) {
            if (slots_[i] == p) return i;
            if (slots_[i] == nullptr) return kNone;
        }
    }
    void Rehash(size_t atLeast) {
        size_t n = 1024;
        while (n < atLeast) n *= 2;
        std::vector<void*> old(n, nullptr);
        old.swap(slots_);
        mask_ = n - 1;
        used_ = size_ = 0;
        for (void* p : old)
            if (p && p != Tomb()) Insert(p);
    }

    std::vector<void*> slots_;
    size_t mask_ = 0;
    size_t used_ = 0; // live and tombstone slots
    size_t size_ = 0; // live slots
};

std::mutex g_allocMutex;
PointerSet& Roots() {
    static auto* roots = new PointerSet(); // outlives every static destructor
    return *roots;
}
HANDLE Heap() {
    static const HANDLE heap = [] {
        HANDLE h = HeapCreate(0, 0, 0);
        return h ? h : GetProcessHeap();
    }();
    return heap;
}
std::atomic<long> g_invalidFrees{0};
std::atomic<long> g_liveCom{0};

Header* HeaderOf(void* p) { return static_cast<Header*>(p) - 1; }

void* NewBlock(size_t cb, Header* root) {
    auto* h = static_cast<Header*>(HeapAlloc(Heap(), HEAP_ZERO_MEMORY, sizeof(Header) + (cb ? cb : 1)));
    if (!h) return nullptr;
    h->size = cb;
    if (root) {
        h->root = root;
        h->next = root->next;
        root->next = h;
    } else {
        h->root = h;
    }
    return h + 1;
}

} // namespace

void* AllocRoot(size_t cb) {
    std::lock_guard<std::mutex> lock(g_allocMutex);
    void* p = NewBlock(cb, nullptr);
    if (p) Roots().Insert(p);
    return p;
}

void* AllocMore(size_t cb, void* object) {
    std::lock_guard<std::mutex> lock(g_allocMutex);
    if (!object) return nullptr;
    // As in MAPI, the object must be the root buffer that MAPIAllocateBuffer returned.
    if (!Roots().Contains(object)) return nullptr;
    return NewBlock(cb, HeaderOf(object));
}

char* DupString(const std::string& s, void* root) {
    auto* p = static_cast<char*>(AllocMore(s.size() + 1, root));
    if (p) std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

wchar_t* DupWide(const std::wstring& s, void* root) {
    auto* p = static_cast<wchar_t*>(AllocMore((s.size() + 1) * sizeof(wchar_t), root));
    if (p) std::memcpy(p, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    return p;
}

LPSPropTagArray NewTagArray(const std::vector<ULONG>& tags) {
    auto* a = static_cast<LPSPropTagArray>(AllocRoot(CbNewSPropTagArray(tags.size())));
    a->cValues = static_cast<ULONG>(tags.size());
    for (size_t i = 0; i < tags.size(); ++i) a->aulPropTag[i] = tags[i];
    return a;
}

void ComCreated() { ++g_liveCom; }
void ComDestroyed() { --g_liveCom; }
void ResetAllocatorCounters() { g_invalidFrees = 0; }

} // namespace standin::detail

using namespace standin::detail;

namespace standin {
long LiveComObjects() { return g_liveCom.load(); }
long LiveBuffers() {
    std::lock_guard<std::mutex> lock(g_allocMutex);
    return static_cast<long>(Roots().Size());
}
long LiveObjects() { return LiveComObjects() + LiveBuffers(); }
long InvalidFrees() { return g_invalidFrees.load(); }
} // namespace standin

extern "C" {

SCODE WINAPI MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
    if (!lppBuffer) return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = nullptr;
    Call call("MAPIAllocateBuffer");
    if (call.Failed()) return call.Result();
    void* p = AllocRoot(cbSize);
    if (!p) return MAPI_E_NOT_ENOUGH_MEMORY;
    *lppBuffer = p;
    return S_OK;
}

SCODE WINAPI MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
    if (!lppBuffer) return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = nullptr;
    Call call("MAPIAllocateMore");
    if (call.Failed()) return call.Result();
    void* p = AllocMore(cbSize, lpObject);
    if (!p) return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = p;
    return S_OK;
}

ULONG WINAPI MAPIFreeBuffer(LPVOID lpBuffer) {
    if (!lpBuffer) return 0;
    std::lock_guard<std::mutex> lock(g_allocMutex);
    if (!Roots().Erase(lpBuffer)) {
        ++g_invalidFrees;
        return 0;
    }
    Header* root = HeaderOf(lpBuffer);
    for (Header* h = root->next; h;) {
        Header* next = h->next;
        HeapFree(Heap(), 0, h);
        h = next;
    }
    HeapFree(Heap(), 0, root);
    return 0;
}

} // extern "C"
