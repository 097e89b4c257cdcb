#include "gui/framework/DisplayText.h"

#include <QStringDecoder>

namespace {
// Length of the valid UTF-8 sequence at `p` (at most `left` bytes), or 0 when invalid.
int Utf8SequenceLength(const unsigned char* p, qsizetype left, char32_t& code) {
    const unsigned char lead = p[0];
    int length = 0;
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
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return (code < min || code > 0x10FFFF || surrogate) ? 0 : length;
}

QString DecodeMixed(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        char32_t code = 0;
        const int length = p[i] < 0x80 ? 0 : Utf8SequenceLength(p + i, size - i, code);
        if (length == 0) {
            text.append(QChar(p[i])); // ASCII, or a byte outside any valid sequence
            ++i;
            continue;
        }
        text.append(QString::fromUcs4(&code, 1));
        i += length;
    }
    return text;
}
} // namespace

QString DecodeLogBytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? DecodeMixed(bytes) : text;
}
