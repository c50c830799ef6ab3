#pragma once
// Records the add-in's message boxes (caption, text, style) and answers them, so that no test waits
// for a person.
#include <windows.h>

#include <string>
#include <vector>

#include "base/Errors.h"

// Every message box the add-in shows while an observer lives, instead of the real box.
class MessageBoxObserver {
public:
    struct Box {
        std::string text, caption;
        unsigned type = 0;
    };

    MessageBoxObserver() {
        Boxes().clear();
        m_previous = Error::SetMessageBoxHandler(&Record);
    }
    ~MessageBoxObserver() { Error::SetMessageBoxHandler(m_previous); }
    MessageBoxObserver(const MessageBoxObserver&) = delete;
    MessageBoxObserver& operator=(const MessageBoxObserver&) = delete;

    const std::vector<Box>& Shown() const { return Boxes(); }

private:
    static std::vector<Box>& Boxes() {
        static std::vector<Box> boxes;
        return boxes;
    }
    static int Record(HWND, const char* text, const char* caption, unsigned type) {
        Boxes().push_back(Box{text ? text : "", caption ? caption : "", type});
        return IDOK;
    }

    Error::MessageBoxFn m_previous = nullptr;
};
