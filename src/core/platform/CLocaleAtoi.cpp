#include "core/platform/CLocaleAtoi.h"

#include <cstdint>

namespace {
bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

int CLocaleAtoi(const char* text) {
    while (IsCSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}
