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

void CMyMarovindView::AddMessageRow(const SyslogRecord& record) {
    m_type.assign(record.facilityName ? record.facilityName : "");
    m_type += '.';
    m_type += record.severityName ? record.severityName : "";
    m_message.clear();
    AppendFlattened(m_message, record.messageText);
    m_headersCount = false;
    const LiveListModel::Cells cells = {record.receiveTime ? record.receiveTime : "",
                                        record.sourceAddress ? record.sourceAddress : "", m_type,
                                        m_message};
    m_model->AddMessageRow(cells, record.severity >= 0 ? record.severity : RowFilter::kNoSeverity);
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
    for (int column = 0; column < LiveListModel::ColumnCount; ++column) {
        const bool last = column == LiveListModel::ColumnCount - 1;
        if (m_headersCount && last)
            continue;
        int width = m_widths.Widest(column);
        if (m_headersCount)
            width = std::max(width, header->sectionSizeHint(column));
        header->resizeSection(column, width);
    }
}

int CMyMarovindView::ScrollUnitsPerRow() const {
    return verticalScrollMode() == QAbstractItemView::ScrollPerItem
               ? 1
               : verticalHeader()->defaultSectionSize();
}

int CMyMarovindView::RowAt(int scrollValue) const {
    return scrollValue / ScrollUnitsPerRow();
}
