#include "gui/viewer/LargePrintJob.h"

#include <limits>

#include <QElapsedTimer>
#include <QPageLayout>
#include <QPrinter>
#include <QTextLayout>

#include "gui/viewer/LineIndex.h"

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
        for (const QString& text : m_index->Lines(m_line, kBatch)) {
            if (!PrintLine(text))
                return Finish();
            ++m_line;
        }
    }
    if (m_line >= lines)
        Finish();
}

// False once the page range is done.
bool LargePrintJob::PrintLine(const QString& text) {
    QTextLayout layout(text, m_font, m_printer);
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
    if (m_y > 0 && m_y + height > m_page.height()) {
        if (++m_pageNumber > m_last)
            return false;
        if (m_pageNumber > m_first)
            m_printer->newPage();
        m_y = 0;
    }
    if (m_pageNumber >= m_first)
        layout.draw(&m_painter, {0, m_y});
    m_y += height;
    return true;
}

void LargePrintJob::Finish() {
    m_step.stop();
    m_painter.end();
    emit Finished();
}
