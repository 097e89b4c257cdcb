#include "gui/mainframe/LiveListModel.h"

#include <algorithm>
#include <limits>

#include "gui/framework/DisplayText.h"

namespace {
constexpr const char* kHeaders[LiveListModel::ColumnCount] = {"Time", "IP Address", "Msg Type",
                                                              "Message"};
// The view counts rows in an int; beyond that the oldest rows are simply not shown.
constexpr std::size_t kMaxShownRows = std::numeric_limits<int>::max();
} // namespace

LiveListModel::LiveListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &LiveListModel::FlushPendingRows);
}

void LiveListModel::AddRow(const Cells& cells) {
    m_rows.Append(cells.data());
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LiveListModel::FlushPendingRows() {
    m_flushTimer.stop();
    const std::size_t held = std::min(m_rows.Size(), kMaxShownRows);
    const int pending = static_cast<int>(held) - m_shownRows;
    if (pending <= 0)
        return;
    beginInsertRows(QModelIndex(), 0, pending - 1);
    m_shownRows += pending;
    endInsertRows();
}

std::string_view LiveListModel::CellBytes(int row, int column) const {
    return m_rows.Cell(static_cast<std::size_t>(m_shownRows - 1 - row),
                       static_cast<std::size_t>(column));
}

int LiveListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int LiveListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LiveListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_shownRows ||
        index.column() >= ColumnCount)
        return {};
    // Decoded per cell as it is painted: the held bytes stay exactly as received.
    const std::string_view bytes = CellBytes(index.row(), index.column());
    return DecodeLogBytes(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
}

QVariant LiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return HeaderText(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags LiveListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString LiveListModel::HeaderText(int column) {
    return QString::fromLatin1(kHeaders[column]);
}
