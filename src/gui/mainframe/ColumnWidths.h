#pragma once
#include <array>
#include <string>
#include <string_view>

#include <QFont>
#include <QFontMetrics>

#include "gui/mainframe/LiveListModel.h"

// The widest cell of each column of the live list, kept up to date one row at a time.
// A new row can only widen a column, so only its own cells are looked at, and a cell that
// cannot be wider than its column even at the font's widest advance per byte is not
// measured at all. Single-byte text is measured with a table of advances.
class ColumnWidths {
public:
    // `padding` is the room around the text inside a cell.
    ColumnWidths(const QFont& font, int padding);

    // Widens the columns to fit the row's cells; true when some column grew.
    bool Widen(const LiveListModel::Cells& cells);
    // From now on the first column also holds the alert marker, `room` wide.
    void MakeRoomForMarker(int room);
    // The width that fits the column's widest cell so far, padding included.
    int Widest(int column) const { return m_widest[static_cast<std::size_t>(column)]; }

    // The drawn width of a cell's bytes, shown as the list shows them.
    int TextWidth(std::string_view bytes) const;

private:
    QFontMetrics m_metrics;
    std::array<int, 256> m_latin1Advance{};
    int m_maxAdvance = 0; // no byte of any cell draws wider than this
    int m_padding;
    int m_markerRoom = 0; // in the first column, once a row carries the marker
    std::array<int, LiveListModel::ColumnCount> m_widest{};
    static constexpr std::size_t kRememberedCellBytes = 64;
    std::array<std::string, LiveListModel::ColumnCount> m_lastMeasured;
};
