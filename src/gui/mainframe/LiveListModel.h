#pragma once
#include <array>
#include <string_view>

#include <QAbstractTableModel>
#include <QTimer>

#include "gui/mainframe/RowArena.h"

// The rows of the live list, newest on top, the start-up rows below every message row. A
// row is held the moment it is added; the views are told about new rows in one batch per
// display tick, so a burst of messages costs one insertion in the view instead of one per
// message. With a bound set, the same tick drops the oldest message rows beyond it.
class LiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, AddressColumn, TypeColumn, MessageColumn, ColumnCount };
    using Cells = std::array<std::string_view, ColumnCount>;
    static constexpr int kFlushIntervalMs = 30;
    static constexpr std::size_t kDefaultMessageRows = 1000000;

    explicit LiveListModel(QObject* parent = nullptr);

    // Holds the row at once as single-byte text; it reaches the views at the next flush.
    // Start-up rows come before any message row and are never dropped.
    void AddStartupRow(const Cells& cells);
    void AddMessageRow(const Cells& cells);
    // The most message rows kept; 0 keeps them all. Takes effect at once.
    void SetMessageRowBound(std::size_t rows);
    std::size_t MessageRowBound() const { return m_bound; }
    // Tells the views about every row held but not yet shown.
    void FlushPendingRows();

    std::size_t HeldRowCount() const { return m_startup.Size() + m_messages.Size(); }
    // A cell as held, by display row among the rows shown.
    std::string_view CellBytes(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static QString HeaderText(int column);

private:
    void DropBeyondBound();
    int ShownMessageRows() const { return static_cast<int>(m_shownMessages); }
    int ShownRows() const { return ShownMessageRows() + m_shownStartup; }

    RowArena m_startup{ColumnCount};
    RowArena m_messages{ColumnCount};
    std::size_t m_shownMessages = 0; // the oldest held message rows that the views know
    int m_shownStartup = 0;
    std::size_t m_bound = kDefaultMessageRows;
    QTimer m_flushTimer;
};
