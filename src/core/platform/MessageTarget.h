#pragma once
#include <cstdint>

// A window that takes messages sent to it synchronously.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
};

// The main window as the framework reports it; null when none exists.
MessageTarget* AfxGetMainWnd();
void AfxSetMainWnd(MessageTarget* window);
