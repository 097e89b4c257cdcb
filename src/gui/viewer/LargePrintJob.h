#pragma once
#include <cstdint>
#include <memory>

#include <QFont>
#include <QObject>
#include <QPainter>
#include <QRectF>
#include <QStringList>
#include <QTimer>

class LineIndex;
class QPrinter;

// Prints the lines of a large file in steps from the event loop, so reception goes on
// while the pages are made: each line wrapped to the page and kept on one page when it fits
// there, a taller one going on over the next pages; only the printer's page range when it
// has one. A long line is laid out piece by piece, over as many steps as it takes. Ends
// itself after the last page.
class LargePrintJob : public QObject {
    Q_OBJECT
public:
    // False when the printer cannot be painted on.
    bool Start(const LineIndex& index, QPrinter& printer, const QFont& font);
    bool Running() const { return m_step.isActive(); }

signals:
    void Finished();

private:
    void Step();
    // False once the page range is done.
    bool PrintPiece();
    bool NewPage();
    void Finish();

    const LineIndex* m_index = nullptr;
    QPrinter* m_printer = nullptr;
    QPainter m_painter;
    QFont m_font;
    QRectF m_page;
    QTimer m_step;
    std::int64_t m_line = 0;
    // Lines read ahead from m_batchFirst on, and the piece of line m_line to print next.
    QStringList m_batch;
    std::int64_t m_batchFirst = 0;
    qsizetype m_piece = 0;
    int m_first = 1, m_last = 1, m_pageNumber = 1;
    qreal m_y = 0;
};
