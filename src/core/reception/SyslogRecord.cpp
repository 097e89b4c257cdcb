#include "core/reception/SyslogRecord.h"

#include <cstring>

void AppendFlattened(std::string& out, const char* messageText) {
    const char* text = messageText ? messageText : "";
    // Most messages hold no line break: one library scan finds the first, if any.
    const std::size_t unbroken = std::strcspn(text, "\r\n");
    const std::size_t length = unbroken + std::strlen(text + unbroken);
    const std::size_t start = out.size();
    out.append(text, length);
    for (std::size_t i = start + unbroken; i < out.size(); ++i) {
        if (out[i] == '\r' || out[i] == '\n')
            out[i] = ' ';
    }
}

std::string FlattenLineBreaks(const char* messageText) {
    std::string text;
    AppendFlattened(text, messageText);
    return text;
}
