#pragma once
// The one resource layer: every Win32, COM and MAPI resource the product holds has an owner from here.
// Shape after WIL's resource.h: one unique-owner template with a close policy per handle kind, scope_exit,
// a critical section with its guard, and owners for VARIANT and BSTR.
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>
#include <mapix.h>

#include <cstdio>
#include <utility>

namespace zx {

// Close policy: the stored type, the value that means "nothing owned", and how to close a held value.
template <typename T, auto CloseFn, T InvalidValue = T{}>
struct close_policy {
    using pointer = T;
    static constexpr T invalid() noexcept { return InvalidValue; }
    static void close(T value) noexcept { CloseFn(value); }
};

// Owns at most one resource; moves, never copies; closes what it holds when it goes or gets a new value.
template <typename Policy>
class unique_any {
public:
    using pointer = typename Policy::pointer;

    unique_any() noexcept = default;
    explicit unique_any(pointer value) noexcept : m_value(value) {}
    unique_any(unique_any&& other) noexcept : m_value(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    ~unique_any() { reset(); }

    [[nodiscard]] pointer get() const noexcept { return m_value; }
    [[nodiscard]] bool is_valid() const noexcept { return m_value != Policy::invalid(); }
    explicit operator bool() const noexcept { return is_valid(); }

    void reset(pointer value = Policy::invalid()) noexcept {
        const pointer old = m_value;
        m_value = value;
        if (old != Policy::invalid()) Policy::close(old);
    }
    [[nodiscard]] pointer release() noexcept {
        const pointer old = m_value;
        m_value = Policy::invalid();
        return old;
    }
    // For out-parameters: closes what is held and hands out the slot.
    pointer* put() noexcept {
        reset();
        return &m_value;
    }

private:
    pointer m_value = Policy::invalid();
};

namespace details {
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseModule(HMODULE h) noexcept { ::FreeLibrary(h); }
inline void CloseKey(HKEY h) noexcept { ::RegCloseKey(h); }
inline void CloseGdiObject(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void CloseDc(HDC h) noexcept { ::DeleteDC(h); }
inline void CloseIcon(HICON h) noexcept { ::DestroyIcon(h); }
inline void CloseLocal(HLOCAL h) noexcept { ::LocalFree(h); }
inline void CloseFind(HANDLE h) noexcept { ::FindClose(h); }
inline void CloseFile(FILE* f) noexcept { std::fclose(f); }
inline void CloseMapiBuffer(void* p) noexcept { ::MAPIFreeBuffer(p); }
inline void CloseBstr(BSTR s) noexcept { ::SysFreeString(s); }
inline void CloseWindow(HWND h) noexcept { ::DestroyWindow(h); }
inline void CloseMenu(HMENU h) noexcept { ::DestroyMenu(h); }
inline void CloseCursor(HCURSOR h) noexcept { ::DestroyCursor(h); }
inline void CloseProcessHeapBlock(void* p) noexcept { ::HeapFree(::GetProcessHeap(), 0, p); }
inline void CloseImageList(HIMAGELIST h) noexcept { ::ImageList_Destroy(h); }
inline void CloseHook(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
inline void CloseThreadTimer(UINT_PTR id) noexcept { ::KillTimer(nullptr, id); }
inline HANDLE InvalidFileHandle() noexcept { return INVALID_HANDLE_VALUE; }
} // namespace details

// Kernel handles: processes, threads, events, mutexes, files opened with CreateFile.
// CreateFile answers INVALID_HANDLE_VALUE, the others nullptr: pick the owner that matches the call.
using unique_handle = unique_any<close_policy<HANDLE, details::CloseKernelHandle>>;
struct file_handle_policy {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using unique_hfile = unique_any<file_handle_policy>;
struct find_handle_policy {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::FindClose(h); }
};
using unique_hfind = unique_any<find_handle_policy>;

using unique_hmodule = unique_any<close_policy<HMODULE, details::CloseModule>>;
using unique_hkey = unique_any<close_policy<HKEY, details::CloseKey>>;
using unique_hlocal = unique_any<close_policy<HLOCAL, details::CloseLocal>>;
using unique_file = unique_any<close_policy<FILE*, details::CloseFile>>;
using unique_mapi_buffer = unique_any<close_policy<void*, details::CloseMapiBuffer>>;
// A block of the process heap (HeapAlloc on GetProcessHeap), e.g. what some system exports hand out.
template <typename T>
using unique_process_heap_ptr = unique_any<close_policy<T*, details::CloseProcessHeapBlock>>;

// GDI and USER objects.
template <typename T>
using unique_gdi = unique_any<close_policy<T, details::CloseGdiObject>>;
using unique_hfont = unique_gdi<HFONT>;
using unique_hbitmap = unique_gdi<HBITMAP>;
using unique_hbrush = unique_gdi<HBRUSH>;
using unique_hpen = unique_gdi<HPEN>;
using unique_hrgn = unique_gdi<HRGN>;
using unique_hdc = unique_any<close_policy<HDC, details::CloseDc>>;
using unique_hicon = unique_any<close_policy<HICON, details::CloseIcon>>;
using unique_hcursor = unique_any<close_policy<HCURSOR, details::CloseCursor>>;
using unique_hwnd = unique_any<close_policy<HWND, details::CloseWindow>>;
using unique_hmenu = unique_any<close_policy<HMENU, details::CloseMenu>>;
using unique_hhook = unique_any<close_policy<HHOOK, details::CloseHook>>;
// A timer of the thread (SetTimer without a window), killed by its id.
using unique_thread_timer = unique_any<close_policy<UINT_PTR, details::CloseThreadTimer>>;
// Image lists live in comctl32: a program that holds one links it.
using unique_himagelist = unique_any<close_policy<HIMAGELIST, details::CloseImageList>>;

// A DC got with GetDC (or, asked for the whole window with its frame, GetWindowDC) is given back with
// ReleaseDC to its window.
class unique_window_dc {
public:
    enum Area { Client, WholeWindow };
    explicit unique_window_dc(HWND window, Area area = Client) noexcept
        : m_window(window), m_dc(area == WholeWindow ? ::GetWindowDC(window) : ::GetDC(window)) {}
    ~unique_window_dc() {
        if (m_dc) ::ReleaseDC(m_window, m_dc);
    }
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;
    [[nodiscard]] HDC get() const noexcept { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// An object selected into a DC is selected out again at scope end.
class select_object_scope {
public:
    select_object_scope(HDC dc, HGDIOBJ object) noexcept : m_dc(dc), m_old(::SelectObject(dc, object)) {}
    ~select_object_scope() {
        if (m_old && m_old != HGDI_ERROR) ::SelectObject(m_dc, m_old);
    }
    select_object_scope(const select_object_scope&) = delete;
    select_object_scope& operator=(const select_object_scope&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// Runs a callable at scope end unless released.
template <typename F>
class scope_exit_t {
public:
    explicit scope_exit_t(F&& fn) noexcept : m_fn(std::move(fn)) {}
    scope_exit_t(scope_exit_t&& other) noexcept : m_fn(std::move(other.m_fn)), m_armed(other.m_armed) {
        other.m_armed = false;
    }
    scope_exit_t(const scope_exit_t&) = delete;
    scope_exit_t& operator=(const scope_exit_t&) = delete;
    ~scope_exit_t() {
        if (m_armed) m_fn();
    }
    void release() noexcept { m_armed = false; }

private:
    F m_fn;
    bool m_armed = true;
};

template <typename F>
[[nodiscard]] scope_exit_t<F> scope_exit(F&& fn) noexcept {
    return scope_exit_t<F>(std::forward<F>(fn));
}

// A re-entrant Windows critical section and the scope that holds it.
class critical_section {
public:
    critical_section() noexcept { ::InitializeCriticalSection(&m_section); }
    ~critical_section() { ::DeleteCriticalSection(&m_section); }
    critical_section(const critical_section&) = delete;
    critical_section& operator=(const critical_section&) = delete;

    void enter() noexcept { ::EnterCriticalSection(&m_section); }
    void leave() noexcept { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class critical_section_guard {
public:
    explicit critical_section_guard(critical_section& section) noexcept : m_section(section) { m_section.enter(); }
    ~critical_section_guard() { m_section.leave(); }
    critical_section_guard(const critical_section_guard&) = delete;
    critical_section_guard& operator=(const critical_section_guard&) = delete;

private:
    critical_section& m_section;
};

// A BSTR owner.
// Adopting constructor only; make_bstr copies a text.
using unique_bstr = unique_any<close_policy<BSTR, details::CloseBstr>>;
[[nodiscard]] inline unique_bstr make_bstr(const wchar_t* text) noexcept {
    return unique_bstr(text ? ::SysAllocString(text) : nullptr);
}

// A VARIANT that is cleared when it goes; copies with VariantCopy, moves by bits.
class unique_variant : public VARIANT {
public:
    unique_variant() noexcept { ::VariantInit(this); }
    ~unique_variant() { ::VariantClear(this); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    unique_variant(unique_variant&& other) noexcept {
        *static_cast<VARIANT*>(this) = other;
        ::VariantInit(&other);
    }
    unique_variant& operator=(unique_variant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(this);
            *static_cast<VARIANT*>(this) = other;
            ::VariantInit(&other);
        }
        return *this;
    }
    void reset() noexcept { ::VariantClear(this); }
    // Closes what is held and hands out the slot for an out-parameter.
    VARIANT* put() noexcept {
        ::VariantClear(this);
        return this;
    }
};

} // namespace zx
