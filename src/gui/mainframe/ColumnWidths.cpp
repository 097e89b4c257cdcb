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
    // Line breaks are shown as blanks.
    m_latin1Advance['\r'] = m_latin1Advance['\n'] = m_latin1Advance[' '];
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
        const int padding = m_padding + (column == 0 ? m_markerRoom : 0);
        const auto bound = static_cast<long long>(bytes.size()) * m_maxAdvance + padding;
        if (bound <= widest)
            continue;
        // Times, senders and types repeat from row to row: a short cell like the last one
        // measured is not measured again.
        std::string& last = m_lastMeasured[column];
        if (bytes.size() <= kRememberedCellBytes) {
            if (bytes == last)
                continue;
            last.assign(bytes);
        }
        const int width = TextWidth(bytes) + padding;
        if (width > widest) {
            widest = width;
            grew = true;
        }
    }
    return grew;
}

void ColumnWidths::MakeRoomForMarker(int room) {
    if (m_markerRoom != 0)
        return;
    m_markerRoom = room;
    m_widest[0] += room;
    m_lastMeasured[0].clear();
}

int ColumnWidths::TextWidth(std::string_view bytes) const {
    // Two sums and the bytes or-ed (ASCII leaves the top bit clear), so the additions of
    // neighbouring bytes need not wait for each other.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    int even = 0;
    int odd = 0;
    unsigned any = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) {
        even += m_latin1Advance[data[i]];
        odd += m_latin1Advance[data[i + 1]];
        any |= data[i] | data[i + 1];
    }
    if (i < size) {
        even += m_latin1Advance[data[i]];
        any |= data[i];
    }
    if (any < 0x80)
        return even + odd;
    int width = 0;
    const QString text =
        DecodeFlattened(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    if (!IsLatin1(text))
        return m_metrics.horizontalAdvance(text);
    for (QChar c : text)
        width += m_latin1Advance[c.unicode()];
    return width;
}
