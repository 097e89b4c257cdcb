#include "gui/mainframe/MyMarovindView.h"

#include "core/transport/NetworkReception.h"

#include <algorithm>
#include <ctime>

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

#include "core/platform/Clock.h"
#include "core/platform/HostAddresses.h"
#include "core/reception/SyslogRecord.h"

namespace {
// Room beside the text, beyond the style's own margins, as the platform list leaves it.
constexpr int kExtraCellRoom = 6;
constexpr int kMinimumColumnWidth = 8;
constexpr int kRowSpacing = 6;
constexpr std::string_view kHeldColumnNames[LiveListModel::ColumnCount] = {"time", "address",
                                                                           "type", "message"};
// A new field column's width in average characters.
constexpr int kFieldChars[kFieldCount] = {27, 16, 16, 8, 10, 32};

int ToInt(std::string_view digits) {
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9' || value > 100000)
            return -1;
        value = value * 10 + (c - '0');
    }
    return digits.empty() ? -1 : value;
}

int CellPadding(const QWidget* view) {
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view);
    return 2 * (margin + 1) + 1 /* grid line */ + kExtraCellRoom;
}
} // namespace

CMyMarovindView::CMyMarovindView(QWidget* parent)
    : QTableView(parent), m_model(new LiveListModel(this)), m_widths(font(), CellPadding(this)) {
    setModel(m_model);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(fontMetrics().height() + kRowSpacing);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setSortIndicatorShown(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setMinimumSectionSize(kMinimumColumnWidth);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    connect(columns, &QHeaderView::sectionResized, this,
            [this](int logical) { OnSectionResized(logical); });
    connect(columns, &QHeaderView::sectionMoved, this, [this] {
        if (!m_resizing && !m_model->FieldColumns().Empty())
            emit ColumnLayoutChanged();
    });
}

void CMyMarovindView::OnInitialUpdate() {
    const NetworkSettings network = LoadProgramNetworkSettings();
    AddStartupRows(HostAddresses(network.ipv6), network.tcpPort, network.tlsPort,
                   TlsStartupFingerprint(network));
}

void CMyMarovindView::AddStartupRows(const std::vector<std::string>& addresses, unsigned tcpPort,
                                     unsigned tlsPort, const std::string& tlsFingerprint) {
    for (const std::string& line : StartupLines(addresses, tcpPort, tlsPort, tlsFingerprint))
        AddLocalRow(line);
    FlushPendingRows();
}

void CMyMarovindView::AddLocalRow(const std::string& message) {
    char time[32] = "";
    FormatSyslogTime(std::time(nullptr), time, sizeof time);
    const LiveListModel::Cells cells = {time, kLocalAddress, kLocalType, message};
    m_model->AddStartupRow(cells);
    m_widths.Widen(cells);
}

void CMyMarovindView::AddMessageRow(const SyslogRecord& record, bool marked) {
    m_type.assign(record.facilityName ? record.facilityName : "");
    m_type += '.';
    m_type += record.severityName ? record.severityName : "";
    m_headersCount = false;
    const LiveListModel::Cells cells = {record.receiveTime ? record.receiveTime : "",
                                        record.sourceAddress ? record.sourceAddress : "", m_type,
                                        record.messageText ? record.messageText : ""};
    m_model->AddMessageRow(cells, record.severity >= 0 ? record.severity : RowFilter::kNoSeverity,
                           marked);
    if (marked)
        m_widths.MakeRoomForMarker(style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this) +
                                   4);
    m_widths.Widen(cells);
}

void CMyMarovindView::ApplyFilter(const RowFilter& filter) {
    const bool scrolled = verticalScrollBar()->value() > 0;
    const auto top = m_model->SequenceOfRow(rowAt(0));
    const auto current = m_model->SequenceOfRow(currentIndex().row());
    m_model->SetFilter(filter);
    if (current) {
        const int row = m_model->RowNearSequence(*current);
        if (m_model->SequenceOfRow(row) == current)
            selectRow(row);
    }
    if (scrolled && top)
        ScrollToSequence(*top);
    else
        scrollToTop();
}

void CMyMarovindView::ScrollToSequence(std::uint64_t sequence) {
    const int row = m_model->RowNearSequence(sequence);
    if (row >= 0) {
        updateGeometries();
        verticalScrollBar()->setValue(row * ScrollUnitsPerRow());
    }
}

void CMyMarovindView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QScrollBar* bar = verticalScrollBar();
    const int top = bar->value();
    QTableView::rowsInserted(parent, start, end);
    FitColumns();
    // Scrolled away from the top, the rows being read stay where they are: the scroll
    // position moves down by the rows that arrived above them.
    if (top > 0 && start <= RowAt(top)) {
        updateGeometries();
        bar->setValue(top + (end - start + 1) * ScrollUnitsPerRow());
    }
}

void CMyMarovindView::FitColumns() {
    QHeaderView* header = horizontalHeader();
    // The stretch fills the width only while the headers count; after that the last
    // column too is as wide as its widest cell.
    header->setStretchLastSection(m_headersCount);
    m_resizing = true;
    for (int column = 0; column < LiveListModel::ColumnCount; ++column) {
        const bool last = column == LiveListModel::ColumnCount - 1;
        if ((m_headersCount && last) || m_sizedByOperator[NameIndex(column)])
            continue;
        int width = m_widths.Widest(column);
        if (m_headersCount)
            width = std::max(width, header->sectionSizeHint(column));
        header->resizeSection(column, width);
    }
    m_resizing = false;
}

void CMyMarovindView::SetFieldColumns(FieldSet fields) {
    const FieldSet before = m_model->FieldColumns();
    // A column added or removed at the end moves the stretch from one column to another:
    // the view's doing, not the operator's.
    m_resizing = true;
    m_model->SetFieldColumns(fields);
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (fields.Has(static_cast<Field>(i)) && !before.Has(static_cast<Field>(i)))
            PlaceFieldColumn(static_cast<Field>(i));
    m_resizing = false;
    // With no field column the list is as it always was: fixed order, widths that fit.
    horizontalHeader()->setSectionsMovable(!fields.Empty());
    if (fields.Empty()) {
        m_sizedByOperator.fill(false);
        FitColumns();
    }
}

void CMyMarovindView::PlaceFieldColumn(Field field) {
    QHeaderView* header = horizontalHeader();
    const int column = m_model->ColumnOfField(field);
    const int message = header->visualIndex(LiveListModel::MessageColumn);
    const int width =
        fontMetrics().averageCharWidth() * kFieldChars[static_cast<int>(field)] + CellPadding(this);
    if (header->visualIndex(column) > message)
        header->moveSection(header->visualIndex(column), message);
    header->resizeSection(column, std::max(width, header->sectionSizeHint(column)));
}

void CMyMarovindView::OnSectionResized(int logical) {
    if (m_resizing || m_model->FieldColumns().Empty())
        return;
    // The stretched last section follows the window, not the operator.
    QHeaderView* header = horizontalHeader();
    if (header->stretchLastSection() && header->visualIndex(logical) == header->count() - 1)
        return;
    m_sizedByOperator[NameIndex(logical)] = true;
    emit ColumnLayoutChanged();
}

std::size_t CMyMarovindView::NameIndex(int logical) const {
    if (const auto field = m_model->FieldOfColumn(logical))
        return LiveListModel::ColumnCount + static_cast<std::size_t>(*field);
    return static_cast<std::size_t>(logical);
}

std::string_view CMyMarovindView::ColumnName(int logical) const {
    const std::size_t index = NameIndex(logical);
    return index < LiveListModel::ColumnCount ? kHeldColumnNames[index]
                                              : kFieldNames[index - LiveListModel::ColumnCount];
}

int CMyMarovindView::ColumnOfName(std::string_view name) const {
    for (int column = 0; column < m_model->columnCount(); ++column)
        if (ColumnName(column) == name)
            return column;
    return -1;
}

std::string CMyMarovindView::ColumnLayout() const {
    const QHeaderView* header = horizontalHeader();
    std::string layout;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!layout.empty())
            layout += ',';
        layout += ColumnName(logical);
        layout += ':' + std::to_string(header->sectionSize(logical));
    }
    return layout;
}

void CMyMarovindView::ApplyColumnLayout(std::string_view layout) {
    if (m_model->FieldColumns().Empty())
        return;
    QHeaderView* header = horizontalHeader();
    int visual = 0;
    m_resizing = true;
    while (!layout.empty()) {
        const std::size_t comma = layout.find(',');
        const std::string_view item = layout.substr(0, comma);
        layout = comma == std::string_view::npos ? std::string_view() : layout.substr(comma + 1);
        const std::size_t colon = item.find(':');
        const int column = ColumnOfName(item.substr(0, colon));
        if (column < 0)
            continue;
        header->moveSection(header->visualIndex(column), visual++);
        const int width = colon == std::string_view::npos ? -1 : ToInt(item.substr(colon + 1));
        if (width > 0) {
            header->resizeSection(column, width);
            m_sizedByOperator[NameIndex(column)] = true;
        }
    }
    m_resizing = false;
}

int CMyMarovindView::ScrollUnitsPerRow() const {
    return verticalScrollMode() == QAbstractItemView::ScrollPerItem
               ? 1
               : verticalHeader()->defaultSectionSize();
}

int CMyMarovindView::RowAt(int scrollValue) const {
    return scrollValue / ScrollUnitsPerRow();
}
