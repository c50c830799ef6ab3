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
        HWND owner = nullptr;
    };

    MessageBoxObserver() {
        Boxes().clear();
        Answer() = IDOK;
        m_previous = Error::SetMessageBoxHandler(&Record);
    }
    ~MessageBoxObserver() { Error::SetMessageBoxHandler(m_previous); }
    MessageBoxObserver(const MessageBoxObserver&) = delete;
    MessageBoxObserver& operator=(const MessageBoxObserver&) = delete;

    const std::vector<Box>& Shown() const { return Boxes(); }
    // The button every later box is answered with (IDOK until told otherwise).
    void AnswerWith(int button) { Answer() = button; }

private:
    static std::vector<Box>& Boxes() {
        static std::vector<Box> boxes;
        return boxes;
    }
    static int& Answer() {
        static int answer = IDOK;
        return answer;
    }
    static int Record(HWND owner, const char* text, const char* caption, unsigned type) {
        Boxes().push_back(Box{text ? text : "", caption ? caption : "", type, owner});
        return Answer();
    }

    Error::MessageBoxFn m_previous = nullptr;
};
