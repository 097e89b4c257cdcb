#include "core/fields/Utf8Text.h"

int Utf8SequenceLength(const unsigned char* p, std::size_t left, char32_t& code) {
    const unsigned char lead = p[0];
    std::size_t length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return (code < min || code > 0x10FFFF || surrogate) ? 0 : static_cast<int>(length);
}

void AppendLogBytesAsUtf8(std::string& out, std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t code = 0;
        const int length = p[i] < 0x80 ? 0 : Utf8SequenceLength(p + i, bytes.size() - i, code);
        if (length > 0) {
            out.append(bytes.substr(i, static_cast<std::size_t>(length)));
            i += static_cast<std::size_t>(length);
        } else if (p[i] < 0x80) {
            out += static_cast<char>(p[i++]);
        } else {
            // A Latin-1 character from U+0080 to U+00FF takes two bytes.
            out += static_cast<char>(0xC0 | (p[i] >> 6));
            out += static_cast<char>(0x80 | (p[i++] & 0x3F));
        }
    }
}
