#include "gui/viewer/LargePrintJob.h"

#include <limits>

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPrinter>
#include <QTextLayout>

#include "gui/viewer/LineIndex.h"
#include "gui/viewer/LinePieces.h"

namespace {
constexpr qint64 kStepMilliseconds = 20;
constexpr std::int64_t kBatch = 64;
} // namespace

bool LargePrintJob::Start(const LineIndex& index, QPrinter& printer, const QFont& font) {
    if (!m_painter.begin(&printer))
        return false;
    m_index = &index;
    m_printer = &printer;
    m_font = QFont(font, &printer);
    m_page = printer.pageLayout().paintRectPixels(printer.resolution());
    m_first = printer.fromPage() > 0 ? printer.fromPage() : 1;
    m_last = printer.toPage() > 0 ? printer.toPage() : std::numeric_limits<int>::max();
    m_line = 0;
    m_batch.clear();
    m_batchFirst = 0;
    m_piece = 0;
    m_pageNumber = 1;
    m_y = 0;
    m_step.setInterval(0);
    connect(&m_step, &QTimer::timeout, this, &LargePrintJob::Step, Qt::UniqueConnection);
    m_step.start();
    return true;
}

void LargePrintJob::Step() {
    QElapsedTimer elapsed;
    elapsed.start();
    const std::int64_t lines = m_index->LineCount();
    while (m_line < lines && elapsed.elapsed() < kStepMilliseconds) {
        if (m_line >= m_batchFirst + m_batch.size()) {
            m_batch = m_index->Lines(m_line, kBatch);
            m_batchFirst = m_line;
            if (m_batch.isEmpty())
                break;
        }
        if (!PrintPiece())
            return Finish();
        if (++m_piece >= LinePieces::Count(m_batch[m_line - m_batchFirst])) {
            m_piece = 0;
            ++m_line;
        }
    }
    if (m_line >= lines)
        Finish();
}

bool LargePrintJob::NewPage() {
    if (++m_pageNumber > m_last)
        return false;
    if (m_pageNumber > m_first)
        m_printer->newPage();
    m_y = 0;
    return true;
}

bool LargePrintJob::PrintPiece() {
    const QString& text = m_batch[m_line - m_batchFirst];
    QTextLayout layout(LinePieces::Text(text, m_piece), m_font, m_printer);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere); // paper always wraps
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLineWidth(m_page.width());
        row.setPosition({0, height});
        height += row.height();
    }
    layout.endLayout();
    const bool whole = LinePieces::Count(text) == 1 && height <= m_page.height();
    if (whole && m_y > 0 && m_y + height > m_page.height() && !NewPage())
        return false;
    if (layout.lineCount() == 0) { // an empty line still takes a row
        m_y += QFontMetricsF(m_font, m_printer).lineSpacing();
        return true;
    }
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine row = layout.lineAt(i);
        if (m_y > 0 && m_y + row.height() > m_page.height() && !NewPage())
            return false;
        if (m_pageNumber >= m_first)
            row.draw(&m_painter, {0, m_y - row.y()});
        m_y += row.height();
    }
    return true;
}

void LargePrintJob::Finish() {
    m_step.stop();
    m_painter.end();
    emit Finished();
}
