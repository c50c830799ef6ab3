// MAPI's linked-block allocator: MAPIAllocateMore chains blocks to a root buffer, and freeing
// the root frees the chain. Live roots are tracked in a set so that a double free or a foreign
// pointer is counted instead of corrupting the heap.
#include "Internal.h"

#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace standin::detail {
namespace {

struct alignas(16) Header {
  Header* next;   // next block chained to the root (roots only: first chained block)
  Header* root;   // the root of the chain (a root points to itself)
  size_t size;
};

std::mutex g_allocMutex;
std::unordered_set<void*>& Roots() {
  static auto* roots = new std::unordered_set<void*>();  // outlives every static destructor
  return *roots;
}
std::atomic<long> g_invalidFrees{0};
std::atomic<long> g_liveCom{0};

Header* HeaderOf(void* p) { return static_cast<Header*>(p) - 1; }

void* NewBlock(size_t cb, Header* root) {
  auto* h = static_cast<Header*>(std::calloc(1, sizeof(Header) + (cb ? cb : 1)));
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

}  // namespace

void* AllocRoot(size_t cb) {
  std::lock_guard<std::mutex> lock(g_allocMutex);
  void* p = NewBlock(cb, nullptr);
  if (p) Roots().insert(p);
  return p;
}

void* AllocMore(size_t cb, void* object) {
  std::lock_guard<std::mutex> lock(g_allocMutex);
  if (!object) return nullptr;
  // As in MAPI, the object must be the root buffer that MAPIAllocateBuffer returned.
  if (!Roots().count(object)) return nullptr;
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

}  // namespace standin::detail

using namespace standin::detail;

namespace standin {
long LiveComObjects() { return g_liveCom.load(); }
long LiveBuffers() {
  std::lock_guard<std::mutex> lock(g_allocMutex);
  return static_cast<long>(Roots().size());
}
long LiveObjects() { return LiveComObjects() + LiveBuffers(); }
long InvalidFrees() { return g_invalidFrees.load(); }
}  // namespace standin

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
  if (!Roots().erase(lpBuffer)) {
    ++g_invalidFrees;
    return 0;
  }
  Header* root = HeaderOf(lpBuffer);
  for (Header* h = root->next; h;) {
    Header* next = h->next;
    std::free(h);
    h = next;
  }
  std::free(root);
  return 0;
}

}  // extern "C"
