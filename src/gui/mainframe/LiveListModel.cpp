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

void LiveListModel::AddStartupRow(const Cells& cells) {
    m_startup.Append(cells.data());
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LiveListModel::AddMessageRow(const Cells& cells) {
    m_messages.Append(cells.data());
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LiveListModel::SetMessageRowBound(std::size_t rows) {
    m_bound = rows;
    FlushPendingRows();
}

void LiveListModel::FlushPendingRows() {
    m_flushTimer.stop();
    DropBeyondBound();
    const std::size_t held = std::min(HeldRowCount(), kMaxShownRows);
    const int pending = static_cast<int>(held) - ShownRows();
    if (pending <= 0)
        return;
    // Start-up rows arrive before any message row, so at most one kind is pending here
    // unless both came in one tick; either way the new rows go above the ones shown.
    beginInsertRows(QModelIndex(), 0, pending - 1);
    const std::size_t messages = std::min(m_messages.Size(), held);
    m_shownStartup = static_cast<int>(std::min(m_startup.Size(), held - messages));
    m_shownMessages = held - static_cast<std::size_t>(m_shownStartup);
    endInsertRows();
}

// The oldest message rows go first: those the views know leave from just above the
// start-up rows, the rest were never shown.
void LiveListModel::DropBeyondBound() {
    if (m_bound == 0 || m_messages.Size() <= m_bound)
        return;
    const std::size_t excess = m_messages.Size() - m_bound;
    const std::size_t known = std::min(excess, m_shownMessages);
    if (known > 0) {
        const int last = ShownMessageRows() - 1;
        beginRemoveRows(QModelIndex(), last - static_cast<int>(known) + 1, last);
        for (std::size_t i = 0; i < known; ++i)
            m_messages.DropOldest();
        m_shownMessages -= known;
        endRemoveRows();
    }
    for (std::size_t i = known; i < excess; ++i)
        m_messages.DropOldest();
}

std::string_view LiveListModel::CellBytes(int row, int column) const {
    const auto col = static_cast<std::size_t>(column);
    if (row < ShownMessageRows())
        return m_messages.Cell(m_shownMessages - 1 - static_cast<std::size_t>(row), col);
    return m_startup.Cell(static_cast<std::size_t>(ShownRows() - 1 - row), col);
}

int LiveListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ShownRows();
}

int LiveListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LiveListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= ShownRows() ||
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
