#pragma once
#include <algorithm>
#include <string>
#include <string_view>

// Letter case aside the way the filter bar and the alert rules compare, whatever the locale:
// ASCII letters in lower case, every other byte as it is.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// As AsciiLower, with a line break read as the blank the list shows in its place.
inline char AsciiFolded(char c) {
    return AsciiLower(c == '\r' || c == '\n' ? ' ' : c);
}

inline std::string AsciiLowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower);
    return lowered;
}
