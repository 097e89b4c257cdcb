#include "gui/framework/DisplayText.h"

#include <QStringDecoder>

#include "core/fields/Utf8Text.h"

namespace {
QString DecodeMixed(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        char32_t code = 0;
        const int length =
            p[i] < 0x80 ? 0 : Utf8SequenceLength(p + i, static_cast<std::size_t>(size - i), code);
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

QString DecodeFlattened(const QByteArray& bytes) {
    QString text = DecodeLogBytes(bytes);
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}
