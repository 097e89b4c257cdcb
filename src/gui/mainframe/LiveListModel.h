#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

#include <QAbstractTableModel>
#include <QTimer>

#include "core/fields/FieldNames.h"
#include "gui/mainframe/RowArena.h"
#include "gui/mainframe/RowFilter.h"

// The rows of the live list, newest on top, the start-up rows below every message row. A
// row is held the moment it is added; the views are told about new rows in one batch per
// display tick, so a burst of messages costs one insertion in the view instead of one per
// message; while a flood lasts the tick is longer. With a bound set, the same tick drops the oldest
// message rows beyond it.
//
// A filter hides message rows without dropping them: every row is still held and counted
// against the bound, and the sequence numbers of the matching ones are listed in arrival
// order, so a new row costs one match and the oldest row leaves the list in O(1). The
// start-up rows are always shown below the message rows.
//
// Header fields the operator turns on are columns after the held ones, in the order of
// Field; they are read from the message when shown, so a row holds nothing more for them.
// While any is on, the Message column shows the message part and a cell's tooltip the
// whole message.
class LiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, AddressColumn, TypeColumn, MessageColumn, ColumnCount };
    using Cells = std::array<std::string_view, ColumnCount>;
    static constexpr int kFlushIntervalMs = 30;
    // During a flood a tick shows thousands of rows that nobody reads one by one; painting
    // the list less often then leaves the time to logging.
    static constexpr int kFloodFlushIntervalMs = 100;
    static constexpr int kFloodRowsPerTick = 1000;
    static constexpr std::size_t kDefaultMessageRows = 1000000;

    explicit LiveListModel(QObject* parent = nullptr);

    // Holds the row at once as single-byte text; it reaches the views at the next flush.
    // Start-up rows come before any message row and are never dropped.
    void AddStartupRow(const Cells& cells);
    // `severity` as syslog counts it (RowFilter::kNoSeverity when it has no name). A marked
    // row (an alert rule asked for it) shows the alert marker in its first column.
    void AddMessageRow(const Cells& cells, int severity = RowFilter::kNoSeverity,
                       bool marked = false);
    bool IsMarked(int row) const;
    // The most message rows kept; 0 keeps them all. Takes effect at once.
    void SetMessageRowBound(std::size_t rows);
    std::size_t MessageRowBound() const { return m_bound; }
    // Tells the views about every row held but not yet shown.
    void FlushPendingRows();

    // Shows only the message rows that match, newest on top; an unset filter shows all.
    // The views are reset: every held row is listed at once.
    void SetFilter(const RowFilter& filter);
    bool IsFiltered() const { return m_filter.IsSet(); }
    // Tints message rows by their severity (SeverityStyle.h).
    void SetSeverityColours(bool on);
    bool SeverityColours() const { return m_severityColours; }

    std::size_t HeldRowCount() const { return m_startup.Size() + m_messages.Size(); }
    std::size_t HeldMessageRows() const { return m_messages.Size(); }
    std::size_t ShownMessageRowCount() const { return m_shownMessages; }
    // The arrival number of the message row shown at `row`; none for a start-up row.
    std::optional<std::uint64_t> SequenceOfRow(int row) const;
    // The shown row of the newest message row that arrived no later than `sequence` (the
    // oldest one shown when all came later); -1 when no message row is shown.
    int RowNearSequence(std::uint64_t sequence) const;
    // The arrival numbers of the message rows shown, oldest first.
    std::vector<std::uint64_t> ShownSequences() const;
    // The cells of a held message row by its arrival number; false once it was dropped.
    bool CellsOfSequence(std::uint64_t sequence, Cells& cells) const;
    // A cell as held, by display row among the rows shown.
    std::string_view CellBytes(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static QString HeaderText(int column);

    // Adds and removes the field columns; the others keep their place.
    void SetFieldColumns(FieldSet fields);
    FieldSet FieldColumns() const { return m_fields; }
    // The field a column shows; none for the held columns.
    std::optional<Field> FieldOfColumn(int column) const;
    int ColumnOfField(Field field) const;

signals:
    // The rows shown or held changed: after a flush that changed them, and a new filter.
    void ShownRowsChanged();

private:
    bool DropBeyondBound();
    void DropOldest(std::size_t rows, std::size_t listed);
    void ListEveryHeldRow();
    std::size_t ListedMessageRows() const;
    std::size_t HeldIndexOfRow(int row) const;
    void StartFlushTimer();
    int ShownMessageRows() const { return static_cast<int>(m_shownMessages); }
    int ShownRows() const { return ShownMessageRows() + m_shownStartup; }
    QVariant DisplayText(int row, int column) const;
    int SeverityOfHeld(std::size_t held) const;

    RowArena m_startup{ColumnCount};
    RowArena m_messages{ColumnCount};
    std::uint64_t m_dropped = 0; // message rows dropped so far: held row 0's sequence number
    RowFilter m_filter;
    std::deque<std::uint64_t> m_matches; // while filtered: the matching held rows, oldest first
    // The oldest listed message rows that the views know: of all held rows, or of the
    // matches while filtered.
    std::size_t m_shownMessages = 0;
    int m_shownStartup = 0;
    std::size_t m_bound = kDefaultMessageRows;
    bool m_severityColours = false;
    FieldSet m_fields;
    QTimer m_flushTimer;
};
