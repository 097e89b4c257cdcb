#include "gui/mainframe/ColumnWidths.h"

#include <algorithm>

#include <QByteArray>

#include "gui/framework/DisplayText.h"

namespace {
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
    unsigned char any = 0; // every byte or-ed: ASCII text leaves the top bit clear
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        width += m_latin1Advance[byte];
        any |= byte;
    }
    if (any < 0x80)
        return width;
    width = 0;
    const QString text =
        DecodeLogBytes(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    if (!IsLatin1(text))
        return m_metrics.horizontalAdvance(text);
    for (QChar c : text)
        width += m_latin1Advance[c.unicode()];
    return width;
}
