#include "core/platform/MessageBox.h"

#include <cstdio>

namespace {
MessageBoxHandler& CurrentHandler() {
    static MessageBoxHandler handler;
    return handler;
}
} // namespace

int AfxMessageBox(std::string_view text) {
    std::string copy(text);
    if (const auto& handler = CurrentHandler())
        return handler(copy);
    std::fprintf(stderr, "Marovind: %s\n", copy.c_str());
    return IDOK;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(CurrentHandler());
    CurrentHandler() = std::move(handler);
    return previous;
}
