#include "gui/mainframe/ListPrinter.h"

#include <algorithm>
#include <vector>

#include <QAbstractItemModel>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include "gui/framework/PrintDialogs.h"

namespace {
constexpr double kMarginInches = 0.5;
constexpr Qt::TextFlag kWrap = Qt::TextWrapAnywhere;

QString Cell(const QAbstractItemModel& model, int row, int column) {
    return model.index(row, column).data(Qt::DisplayRole).toString();
}

QStringList HeaderCells(const QAbstractItemModel& model) {
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    return cells;
}

QStringList RowCells(const QAbstractItemModel& model, int row) {
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << Cell(model, row, column);
    return cells;
}

// Every column but the last fits its widest cell, up to a quarter of the page; the last
// one takes what is left.
std::vector<double> ColumnWidths(const QAbstractItemModel& model, const QFontMetricsF& metrics,
                                 double pageWidth, double gap) {
    const int columns = model.columnCount();
    std::vector<double> widths(columns, 0.0);
    const QStringList header = HeaderCells(model);
    for (int column = 0; column + 1 < columns; ++column) {
        double widest = metrics.horizontalAdvance(header.value(column));
        for (int row = 0; row < model.rowCount(); ++row)
            widest = std::max(widest, metrics.horizontalAdvance(Cell(model, row, column)));
        widths[column] = std::min(widest, pageWidth / 4);
    }
    double used = 0;
    for (int column = 0; column + 1 < columns; ++column)
        used += widths[column] + gap;
    if (columns > 0)
        widths[columns - 1] = std::max(pageWidth - used, pageWidth / 4);
    return widths;
}

class TablePainter {
public:
    TablePainter(QPainter& painter, QPrinter& printer, std::vector<double> widths, double gap)
        : m_painter(painter), m_printer(printer), m_widths(std::move(widths)), m_gap(gap),
          m_page(printer.pageLayout().paintRectPixels(printer.resolution())) {}

    void Line(const QStringList& cells) {
        const double height = HeightOf(cells);
        if (m_y > 0 && m_y + height > m_page.height())
            NewPage();
        double x = 0;
        for (std::size_t column = 0; column < m_widths.size(); ++column) {
            const QRectF box(x, m_y, m_widths[column], height);
            m_painter.drawText(box, kWrap, cells.value(static_cast<int>(column)));
            x += m_widths[column] + m_gap;
        }
        m_y += height;
    }

    int Pages() const { return m_pages; }

private:
    double HeightOf(const QStringList& cells) const {
        const QFontMetricsF metrics(m_painter.font(), m_painter.device());
        double height = metrics.lineSpacing();
        for (std::size_t column = 0; column < m_widths.size(); ++column) {
            const QRectF box(0, 0, m_widths[column], m_page.height());
            const QString text = cells.value(static_cast<int>(column));
            height = std::max(height, metrics.boundingRect(box, kWrap, text).height());
        }
        return std::min(height, static_cast<double>(m_page.height()));
    }

    void NewPage() {
        m_printer.newPage();
        m_y = 0;
        ++m_pages;
    }

    QPainter& m_painter;
    QPrinter& m_printer;
    std::vector<double> m_widths;
    double m_gap;
    QRect m_page;
    double m_y = 0;
    int m_pages = 1;
};
} // namespace

int PrintListRows(const QAbstractItemModel& model, QPrinter& printer) {
    const double m = kMarginInches;
    printer.setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Inch);
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double gap = metrics.horizontalAdvance(QStringLiteral("  "));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    TablePainter table(painter, printer, ColumnWidths(model, metrics, page.width(), gap), gap);
    table.Line(HeaderCells(model));
    for (int row = 0; row < model.rowCount(); ++row)
        table.Line(RowCells(model, row));
    painter.end();
    return table.Pages();
}

void PrintLiveList(const QAbstractItemModel& model, QPrinter& printer, QWidget* parent) {
    if (PrintDialogs::RunPrint(printer, parent))
        PrintListRows(model, printer);
}
