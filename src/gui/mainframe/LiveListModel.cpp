#include "gui/mainframe/LiveListModel.h"

#include <algorithm>
#include <limits>

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "core/fields/MessageFields.h"
#include "gui/framework/DisplayText.h"
#include "gui/mainframe/FieldText.h"
#include "gui/mainframe/SeverityStyle.h"

namespace {
constexpr const char* kHeaders[LiveListModel::ColumnCount] = {"Time", "IP Address", "Msg Type",
                                                              "Message"};
// The view counts rows in an int; beyond that the oldest rows are simply not shown.
constexpr std::size_t kMaxShownRows = std::numeric_limits<int>::max();
// A row's tag byte: its severity, 15 for none, and a bit for the alert marker.
constexpr int kTagNoSeverity = 0x0F;
constexpr int kTagMarked = 0x80;

// A red disc with a white bar, drawn once: the marker of a row an alert rule matched.
QIcon AlertMarker() {
    static const QIcon marker = [] {
        QPixmap pixmap(12, 12);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(210, 0, 0));
        painter.drawEllipse(0, 0, 12, 12);
        painter.setBrush(Qt::white);
        painter.drawRect(5, 2, 2, 5);
        painter.drawRect(5, 8, 2, 2);
        return QIcon(pixmap);
    }();
    return marker;
}
} // namespace

LiveListModel::LiveListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &LiveListModel::FlushPendingRows);
}

void LiveListModel::AddStartupRow(const Cells& cells) {
    m_startup.Append(cells.data());
    StartFlushTimer();
}

void LiveListModel::AddMessageRow(const Cells& cells, int severity, bool marked) {
    if (m_filter.IsSet() && m_filter.Matches(severity, cells[AddressColumn], cells[MessageColumn]))
        m_matches.push_back(m_dropped + m_messages.Size());
    const int stored = severity == RowFilter::kNoSeverity ? kTagNoSeverity : severity;
    m_messages.Append(cells.data(), static_cast<unsigned char>(stored | (marked ? kTagMarked : 0)));
    StartFlushTimer();
}

int LiveListModel::SeverityOfHeld(std::size_t held) const {
    const int stored = m_messages.Tag(held) & ~kTagMarked;
    return stored == kTagNoSeverity ? RowFilter::kNoSeverity : stored;
}

bool LiveListModel::IsMarked(int row) const {
    return row >= 0 && row < ShownMessageRows() &&
           (m_messages.Tag(HeldIndexOfRow(row)) & kTagMarked);
}

void LiveListModel::StartFlushTimer() {
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LiveListModel::SetMessageRowBound(std::size_t rows) {
    m_bound = rows;
    FlushPendingRows();
}

void LiveListModel::FlushPendingRows() {
    m_flushTimer.stop();
    bool changed = DropBeyondBound();
    const std::size_t held = std::min(m_startup.Size() + ListedMessageRows(), kMaxShownRows);
    const int pending = static_cast<int>(held) - ShownRows();
    m_flushTimer.setInterval(pending > kFloodRowsPerTick ? kFloodFlushIntervalMs
                                                         : kFlushIntervalMs);
    if (pending > 0) {
        // Start-up rows arrive before any message row, so at most one kind is pending here
        // unless both came in one tick; either way the new rows go above the ones shown.
        beginInsertRows(QModelIndex(), 0, pending - 1);
        ListEveryHeldRow();
        endInsertRows();
        changed = true;
    }
    if (changed)
        emit ShownRowsChanged();
}

void LiveListModel::SetFilter(const RowFilter& filter) {
    m_flushTimer.stop();
    beginResetModel();
    m_filter = filter;
    m_matches.clear();
    if (m_bound != 0 && m_messages.Size() > m_bound)
        DropOldest(m_messages.Size() - m_bound, 0);
    if (m_filter.IsSet()) {
        Cells cells;
        for (std::size_t row = 0; row < m_messages.Size(); ++row) {
            m_messages.Cells(row, cells.data());
            if (m_filter.Matches(SeverityOfHeld(row), cells[AddressColumn], cells[MessageColumn]))
                m_matches.push_back(m_dropped + row);
        }
    }
    ListEveryHeldRow();
    endResetModel();
    emit ShownRowsChanged();
}

void LiveListModel::SetSeverityColours(bool on) {
    if (on == m_severityColours)
        return;
    m_severityColours = on;
    if (ShownMessageRows() > 0)
        emit dataChanged(index(0, 0), index(ShownMessageRows() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
}

// Every listed row counts as shown; the caller tells the views.
void LiveListModel::ListEveryHeldRow() {
    const std::size_t held = std::min(m_startup.Size() + ListedMessageRows(), kMaxShownRows);
    const std::size_t messages = std::min(ListedMessageRows(), held);
    m_shownStartup = static_cast<int>(std::min(m_startup.Size(), held - messages));
    m_shownMessages = held - static_cast<std::size_t>(m_shownStartup);
}

std::size_t LiveListModel::ListedMessageRows() const {
    return m_filter.IsSet() ? m_matches.size() : m_messages.Size();
}

// The oldest message rows go first: those the views know leave from just above the
// start-up rows, the rest were never shown.
bool LiveListModel::DropBeyondBound() {
    if (m_bound == 0 || m_messages.Size() <= m_bound)
        return false;
    const std::size_t excess = m_messages.Size() - m_bound;
    std::size_t listed = excess;
    if (m_filter.IsSet()) {
        const auto end = std::lower_bound(m_matches.begin(), m_matches.end(), m_dropped + excess);
        listed = static_cast<std::size_t>(end - m_matches.begin());
    }
    const std::size_t known = std::min(listed, m_shownMessages);
    if (known == 0) {
        DropOldest(excess, listed);
        return true;
    }
    const int last = ShownMessageRows() - 1;
    beginRemoveRows(QModelIndex(), last - static_cast<int>(known) + 1, last);
    DropOldest(excess, listed);
    m_shownMessages -= known;
    endRemoveRows();
    return true;
}

// `rows` held rows, of which `listed` are matches while filtered.
void LiveListModel::DropOldest(std::size_t rows, std::size_t listed) {
    for (std::size_t i = 0; i < rows; ++i)
        m_messages.DropOldest();
    m_dropped += rows;
    if (m_filter.IsSet())
        m_matches.erase(m_matches.begin(), m_matches.begin() + static_cast<std::ptrdiff_t>(listed));
}

std::size_t LiveListModel::HeldIndexOfRow(int row) const {
    const std::size_t listed = m_shownMessages - 1 - static_cast<std::size_t>(row);
    return m_filter.IsSet() ? static_cast<std::size_t>(m_matches[listed] - m_dropped) : listed;
}

std::optional<std::uint64_t> LiveListModel::SequenceOfRow(int row) const {
    if (row < 0 || row >= ShownMessageRows())
        return std::nullopt;
    return m_dropped + HeldIndexOfRow(row);
}

int LiveListModel::RowNearSequence(std::uint64_t sequence) const {
    if (m_shownMessages == 0)
        return -1;
    // The number of shown rows that arrived no later than `sequence`.
    std::size_t older = 0;
    if (m_filter.IsSet()) {
        const auto shownEnd = m_matches.begin() + static_cast<std::ptrdiff_t>(m_shownMessages);
        older = static_cast<std::size_t>(std::upper_bound(m_matches.begin(), shownEnd, sequence) -
                                         m_matches.begin());
    } else if (sequence >= m_dropped) {
        older = std::min<std::size_t>(sequence - m_dropped + 1, m_shownMessages);
    }
    return static_cast<int>(m_shownMessages - std::max<std::size_t>(older, 1));
}

std::vector<std::uint64_t> LiveListModel::ShownSequences() const {
    std::vector<std::uint64_t> sequences(m_shownMessages);
    for (std::size_t i = 0; i < m_shownMessages; ++i)
        sequences[i] = m_filter.IsSet() ? m_matches[i] : m_dropped + i;
    return sequences;
}

bool LiveListModel::CellsOfSequence(std::uint64_t sequence, Cells& cells) const {
    if (sequence < m_dropped || sequence - m_dropped >= m_messages.Size())
        return false;
    m_messages.Cells(static_cast<std::size_t>(sequence - m_dropped), cells.data());
    return true;
}

std::string_view LiveListModel::CellBytes(int row, int column) const {
    const auto col = static_cast<std::size_t>(column);
    if (row < ShownMessageRows())
        return m_messages.Cell(HeldIndexOfRow(row), col);
    return m_startup.Cell(static_cast<std::size_t>(ShownRows() - 1 - row), col);
}

int LiveListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ShownRows();
}

int LiveListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount + static_cast<int>(m_fields.Count());
}

QVariant LiveListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= ShownRows() || index.column() >= columnCount())
        return {};
    if (role == Qt::BackgroundRole || role == Qt::ForegroundRole) {
        if (!m_severityColours || index.row() >= ShownMessageRows())
            return {};
        return SeverityStyle(SeverityOfHeld(HeldIndexOfRow(index.row())), role);
    }
    if (role == Qt::DecorationRole && index.column() == 0 && IsMarked(index.row()))
        return AlertMarker();
    if (role == Qt::ToolTipRole && !m_fields.Empty()) {
        const std::string_view bytes = CellBytes(index.row(), MessageColumn);
        return DecodeLogBytes(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    }
    if (role != Qt::DisplayRole)
        return {};
    return DisplayText(index.row(), index.column());
}

// Decoded per cell as it is painted: the held bytes stay exactly as received, line breaks
// included, and are shown as the log files have them.
QVariant LiveListModel::DisplayText(int row, int column) const {
    const bool fieldColumn = column >= ColumnCount;
    if (!fieldColumn && (column != MessageColumn || m_fields.Empty())) {
        const std::string_view bytes = CellBytes(row, column);
        return DecodeFlattened(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    }
    const MessageFields fields = ParseMessageFields(CellBytes(row, MessageColumn));
    if (!fieldColumn)
        return DecodeFlattened(
            QByteArray::fromRawData(fields.message.data(), qsizetype(fields.message.size())));
    return FieldText(fields, *FieldOfColumn(column));
}

QVariant LiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return section < ColumnCount ? HeaderText(section) : FieldHeader(*FieldOfColumn(section));
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

void LiveListModel::SetFieldColumns(FieldSet fields) {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        if (fields.Has(field) == m_fields.Has(field))
            continue;
        const int column = ColumnCount + static_cast<int>(m_fields.IndexOf(field));
        if (fields.Has(field)) {
            beginInsertColumns(QModelIndex(), column, column);
            m_fields.Set(field, true);
            endInsertColumns();
        } else {
            beginRemoveColumns(QModelIndex(), column, column);
            m_fields.Set(field, false);
            endRemoveColumns();
        }
    }
    // The Message column's text and every tooltip follow the choice.
    if (ShownRows() > 0)
        emit dataChanged(index(0, MessageColumn), index(ShownRows() - 1, MessageColumn));
}

std::optional<Field> LiveListModel::FieldOfColumn(int column) const {
    if (column < ColumnCount || column >= columnCount())
        return std::nullopt;
    return m_fields.Nth(static_cast<std::size_t>(column - ColumnCount));
}

int LiveListModel::ColumnOfField(Field field) const {
    return m_fields.Has(field) ? ColumnCount + static_cast<int>(m_fields.IndexOf(field)) : -1;
}
