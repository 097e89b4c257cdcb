#include "gui/viewer/LinePieces.h"

#include <algorithm>

namespace LinePieces {
namespace {
// How far back from a piece's nominal start a space is looked for.
constexpr qsizetype kWordReach = 256;
} // namespace

qsizetype Start(const QString& text, qsizetype piece) {
    qsizetype start = std::min(piece * kLength, text.size());
    if (start == 0 || start == text.size())
        return start;
    const qsizetype reach = std::min(start, kWordReach);
    const qsizetype space = QStringView(text).sliced(start - reach, reach).lastIndexOf(u' ');
    if (space >= 0)
        return start - reach + space + 1;
    if (text[start].isLowSurrogate())
        ++start;
    return start;
}

qsizetype Count(const QString& text) {
    return std::max<qsizetype>(1, (text.size() + kLength - 1) / kLength);
}

qsizetype Of(const QString& text, std::int64_t column) {
    const qsizetype count = Count(text);
    const auto piece = std::min<qsizetype>(static_cast<qsizetype>(column / kLength), count - 1);
    if (piece + 1 < count && column >= Start(text, piece + 1))
        return piece + 1;
    return piece > 0 && column < Start(text, piece) ? piece - 1 : piece;
}

QString Text(const QString& text, qsizetype piece) {
    const qsizetype start = Start(text, piece);
    return text.mid(start, Start(text, piece + 1) - start);
}
} // namespace LinePieces
