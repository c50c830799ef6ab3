#pragma once
// Intrusive reference counting shared by pairs, caches, walkers and buffers.
#include <windows.h>
#include <utility>

struct SingleThreadedModel {
    // Plain read and store: C++20 deprecates ++/-- on volatile objects.
    static long Increment(volatile long& v) {
        const long n = v + 1;
        v = n;
        return n;
    }
    static long Decrement(volatile long& v) {
        const long n = v - 1;
        v = n;
        return n;
    }
};

struct FreeThreadedModel {
    static long Increment(volatile long& v) { return InterlockedIncrement(&v); }
    static long Decrement(volatile long& v) { return InterlockedDecrement(&v); }
};

template <class ThreadModel>
class CRefCountedT {
public:
    CRefCountedT() = default;
    CRefCountedT(const CRefCountedT&) : m_refs(0) {}
    CRefCountedT& operator=(const CRefCountedT&) { return *this; }
    virtual ~CRefCountedT() = default;

    long AddRef() const { return ThreadModel::Increment(m_refs); }
    long Release() const {
        long left = ThreadModel::Decrement(m_refs);
        if (left == 0) delete this;
        return left;
    }
    long RefCount() const { return m_refs; }

private:
    mutable volatile long m_refs = 0;
};

// Holds one reference to any CRefCountedT-derived object.
template <class T>
class CRefCountPtr {
public:
    CRefCountPtr() = default;
    CRefCountPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    CRefCountPtr(const CRefCountPtr& o) : CRefCountPtr(o.m_p) {}
    CRefCountPtr(CRefCountPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U>
    CRefCountPtr(const CRefCountPtr<U>& o) : CRefCountPtr(o.Get()) {}
    ~CRefCountPtr() {
        if (m_p) m_p->Release();
    }

    CRefCountPtr& operator=(CRefCountPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(const CRefCountPtr& o) const { return m_p == o.m_p; }
    void Reset() { CRefCountPtr().swap(*this); }
    void swap(CRefCountPtr& o) noexcept { std::swap(m_p, o.m_p); }

private:
    T* m_p = nullptr;
};

template <class T, class... Args>
CRefCountPtr<T> MakeRefCounted(Args&&... args) {
    return CRefCountPtr<T>(new T(std::forward<Args>(args)...));
}
