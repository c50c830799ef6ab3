#pragma once
// Drives the add-in's windows as a user would while they run their own modal loops: a script of steps
// runs from a thread timer; each step waits until what it needs (a window of a caption, a control) is
// there, then acts through Win32 messages (clicks, keys, tree expansion, selection) and reads the
// controls back. Clicks are posted, so that a dialog they open runs in the window's own loop, never
// inside the script. A step that waits too long fails the test and closes the windows, so no test hangs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "pictures/TreeItems.h"

class UiScript {
public:
    using Step = std::function<bool()>; // true when done; false: try again at the next tick

    UiScript& Then(const char* what, Step step) {
        m_steps.push_back({what, std::move(step)});
        return *this;
    }

    // Runs `modal` (which shows a modal window) while the steps play; true when every step ran.
    bool Run(const std::function<void()>& modal, DWORD timeoutMs = 20000) {
        Current() = this;
        m_next = 0;
        m_start = GetTickCount();
        m_timeout = timeoutMs;
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, &Tick);
        modal();
        KillTimer(nullptr, timer);
        Current() = nullptr;
        EXPECT_EQ(m_next, m_steps.size()) << "the window closed before step: "
                                          << (m_next < m_steps.size() ? m_steps[m_next].what : "");
        return m_next == m_steps.size() && !m_timedOut;
    }

    // The visible top-level window of this thread with this caption (null when none).
    static HWND FindWindowByCaption(const std::string& caption) {
        struct Search {
            std::string caption;
            HWND found = nullptr;
        } search{caption};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                char text[256] = {};
                GetWindowTextA(w, text, sizeof text);
                if (IsWindowVisible(w) && s->caption == text) {
                    s->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    static std::string Text(HWND w) {
        char text[1024] = {};
        GetWindowTextA(w, text, sizeof text);
        return text;
    }

    // A click on a button as the user makes it: posted, handled by the window's own loop.
    static void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

    // The tree item under `parent` (TVI_ROOT for the top) whose text is `text`.
    static HTREEITEM TreeItem(HWND tree, HTREEITEM parent, const std::string& text) {
        return standin::TreeChildNamed(tree, parent, text);
    }
    // Expands the items of a path ("Store\Folder\Sub") as the user clicks their buttons, then selects the
    // last; null when an item is missing.
    static HTREEITEM ExpandAndSelect(HWND tree, const std::string& path) {
        HTREEITEM item = TVI_ROOT;
        size_t start = 0;
        while (true) {
            const size_t cut = path.find('\\', start);
            const std::string part = path.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
            if (item != TVI_ROOT) TreeView_Expand(tree, item, TVE_EXPAND);
            item = TreeItem(tree, item, part);
            if (!item) return nullptr;
            if (cut == std::string::npos) break;
            start = cut + 1;
        }
        TreeView_SelectItem(tree, item);
        return item;
    }

    // Texts of a report list view, row by row, columns joined by '|'.
    static std::vector<std::string> ListRows(HWND list) {
        std::vector<std::string> rows;
        const int count = ListView_GetItemCount(list);
        for (int row = 0; row < count; ++row) {
            std::string line;
            for (int column = 0; column < 2; ++column) {
                char buffer[260] = {};
                LVITEMA item{};
                item.iSubItem = column;
                item.pszText = buffer;
                item.cchTextMax = sizeof buffer;
                SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
                line += (column ? "|" : "") + std::string(buffer);
            }
            rows.push_back(line);
        }
        return rows;
    }

private:
    struct Entry {
        const char* what;
        Step step;
    };

    static UiScript*& Current() {
        static UiScript* current = nullptr;
        return current;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        UiScript* self = Current();
        if (!self || self->m_busy) return;
        self->m_busy = true;
        if (self->m_next < self->m_steps.size()) {
            if (self->m_steps[self->m_next].step()) {
                ++self->m_next;
                self->m_start = GetTickCount();
            } else if (GetTickCount() - self->m_start > self->m_timeout) {
                ADD_FAILURE() << "step timed out: " << self->m_steps[self->m_next].what;
                self->m_timedOut = true;
                self->m_next = self->m_steps.size() + 1;
                CloseAll();
            }
        }
        self->m_busy = false;
    }

    // Ends every dialog of the thread, innermost first, so the modal run returns.
    static void CloseAll() {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM) -> BOOL {
                if (IsWindowVisible(w)) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
                return TRUE;
            },
            0);
    }

    std::vector<Entry> m_steps;
    size_t m_next = 0;
    DWORD m_start = 0;
    DWORD m_timeout = 0;
    bool m_busy = false;
    bool m_timedOut = false;
};
