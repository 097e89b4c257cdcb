#include "core/reception/SyslogRecord.h"

#include <algorithm>

std::string FlattenLineBreaks(const char* messageText) {
    std::string text = messageText ? messageText : "";
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}
