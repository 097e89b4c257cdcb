#pragma once
#include <array>
#include <string_view>

#include <QAbstractTableModel>
#include <QTimer>

#include "gui/mainframe/RowArena.h"

// The rows of the live list, newest on top. A row is held the moment it is added; the
// views are told about new rows in one batch per display tick, so a burst of messages
// costs one insertion in the view instead of one per message. Older rows never move in
// storage: display row r is stored row (shown - 1 - r).
class LiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, AddressColumn, TypeColumn, MessageColumn, ColumnCount };
    using Cells = std::array<std::string_view, ColumnCount>;
    static constexpr int kFlushIntervalMs = 30;

    explicit LiveListModel(QObject* parent = nullptr);

    // Holds the row at once as single-byte text; it reaches the views at the next flush.
    void AddRow(const Cells& cells);
    // Tells the views about every row held but not yet shown.
    void FlushPendingRows();

    std::size_t HeldRowCount() const { return m_rows.Size(); }
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
    RowArena m_rows{ColumnCount};
    int m_shownRows = 0;
    QTimer m_flushTimer;
};
