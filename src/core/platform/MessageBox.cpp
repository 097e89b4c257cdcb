#include "core/platform/MessageBox.h"

#include <cstdio>

namespace {
// Who shows one kind of box, and the answer when nobody does.
struct BoxSlot {
    MessageBoxHandler handler;
    int unanswered;
};

BoxSlot& MessageSlot() {
    static BoxSlot slot{nullptr, IDOK};
    return slot;
}

BoxSlot& QuestionSlot() {
    static BoxSlot slot{nullptr, IDNO};
    return slot;
}

int Show(const BoxSlot& slot, std::string_view text) {
    std::string copy(text);
    if (slot.handler)
        return slot.handler(copy);
    std::fprintf(stderr, "Marovind: %s\n", copy.c_str());
    return slot.unanswered;
}

MessageBoxHandler Replace(BoxSlot& slot, MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(slot.handler);
    slot.handler = std::move(handler);
    return previous;
}
} // namespace

int AfxMessageBox(std::string_view text) {
    return Show(MessageSlot(), text);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return Replace(MessageSlot(), std::move(handler));
}

int AfxQuestionBox(std::string_view text) {
    return Show(QuestionSlot(), text);
}

QuestionBoxHandler SetQuestionBoxHandler(QuestionBoxHandler handler) {
    return Replace(QuestionSlot(), std::move(handler));
}
