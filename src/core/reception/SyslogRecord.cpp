#include "core/reception/SyslogRecord.h"

#include <algorithm>

void AppendFlattened(std::string& out, const char* messageText) {
    const std::size_t start = out.size();
    out += messageText ? messageText : "";
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '\r', ' ');
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '\n', ' ');
}

std::string FlattenLineBreaks(const char* messageText) {
    std::string text;
    AppendFlattened(text, messageText);
    return text;
}
