#include "gui/mainframe/ColumnWidths.h"

#include <algorithm>

#include <QByteArray>

#include "gui/framework/DisplayText.h"

namespace {
bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsLatin1(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}
} // namespace

ColumnWidths::ColumnWidths(const QFont& font, int padding) : m_metrics(font), m_padding(padding) {
    for (int c = 0; c < 256; ++c) {
        m_latin1Advance[static_cast<std::size_t>(c)] =
            m_metrics.horizontalAdvance(QChar(static_cast<char16_t>(c)));
    }
    const int widestLatin1 = *std::max_element(m_latin1Advance.begin(), m_latin1Advance.end());
    // A character of several UTF-8 bytes gets each byte's share, and no glyph of the
    // font (fallback fonts aside) is wider than its maximum width.
    m_maxAdvance = std::max(widestLatin1, m_metrics.maxWidth());
}

bool ColumnWidths::Widen(const LiveListModel::Cells& cells) {
    bool grew = false;
    for (std::size_t column = 0; column < cells.size(); ++column) {
        const std::string_view bytes = cells[column];
        int& widest = m_widest[column];
        const auto bound = static_cast<long long>(bytes.size()) * m_maxAdvance + m_padding;
        if (bound <= widest)
            continue;
        const int width = TextWidth(bytes) + m_padding;
        if (width > widest) {
            widest = width;
            grew = true;
        }
    }
    return grew;
}

int ColumnWidths::TextWidth(std::string_view bytes) const {
    int width = 0;
    if (IsAscii(bytes)) {
        for (char c : bytes)
            width += m_latin1Advance[static_cast<unsigned char>(c)];
        return width;
    }
    const QString text =
        DecodeLogBytes(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    if (!IsLatin1(text))
        return m_metrics.horizontalAdvance(text);
    for (QChar c : text)
        width += m_latin1Advance[c.unicode()];
    return width;
}
