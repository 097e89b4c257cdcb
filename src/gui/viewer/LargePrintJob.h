#pragma once
#include <cstdint>
#include <memory>

#include <QFont>
#include <QObject>
#include <QPainter>
#include <QRectF>
#include <QTimer>

class LineIndex;
class QPrinter;

// Prints the lines of a large file in steps from the event loop, so reception goes on
// while the pages are made: each line wrapped to the page, only the printer's page range
// when it has one. Ends itself after the last page.
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
    bool PrintLine(const QString& text);
    void Finish();

    const LineIndex* m_index = nullptr;
    QPrinter* m_printer = nullptr;
    QPainter m_painter;
    QFont m_font;
    QRectF m_page;
    QTimer m_step;
    std::int64_t m_line = 0;
    int m_first = 1, m_last = 1, m_pageNumber = 1;
    qreal m_y = 0;
};
