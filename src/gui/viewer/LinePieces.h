#pragma once
#include <cstdint>

#include <QString>

// Laying out a line costs more than linearly in its length, so a long line is laid out in
// pieces of about this many characters, and only the pieces needed are.
namespace LinePieces {
constexpr qsizetype kLength = 4096;

// Where piece `piece` of the text starts: after a space shortly before its nominal start if
// there is one, so that wrapped, a piece ends where a row would; never inside a surrogate
// pair. The text's length for a piece past its end.
qsizetype Start(const QString& text, qsizetype piece);
// At least 1, also for an empty text.
qsizetype Count(const QString& text);
// The piece that holds `column`.
qsizetype Of(const QString& text, std::int64_t column);
// The piece's characters.
QString Text(const QString& text, qsizetype piece);
} // namespace LinePieces
