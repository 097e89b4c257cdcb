#include "gui/viewer/LargeLogView.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTextLayout>
#include <QWheelEvent>

#include "core/platform/MessageBox.h"
#include "gui/viewer/FindDialog.h"
#include "gui/viewer/LargePrintJob.h"
#include "gui/viewer/LineIndex.h"
#include "gui/viewer/LinePieces.h"
#include "gui/viewer/MyEditView.h"

namespace {
constexpr std::int64_t kEnd = std::numeric_limits<std::int64_t>::max();
constexpr qreal kNoWrapWidth = 8'000'000; // far wider than any screen, inside the layout's range
constexpr int kPollMilliseconds = 50;
constexpr qint64 kFirstScreenWaitMs = 50;
constexpr std::size_t kPieceLeftsKept = 16;

bool IsEditKey(const QKeyEvent& event) {
    static constexpr QKeySequence::StandardKey kEdits[] = {
        QKeySequence::Paste,
        QKeySequence::Cut,
        QKeySequence::Delete,
        QKeySequence::Backspace,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::DeleteEndOfLine,
        QKeySequence::DeleteCompleteLine,
        QKeySequence::InsertParagraphSeparator,
        QKeySequence::InsertLineSeparator,
    };
    for (const auto key : kEdits)
        if (event.matches(key))
            return true;
    if (event.key() == Qt::Key_Backspace || event.key() == Qt::Key_Delete)
        return true;
    const QString text = event.text();
    return !text.isEmpty() && !(event.modifiers() & Qt::ControlModifier) &&
           (text.front().isPrint() || text.front() == u'\t');
}

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::min<std::int64_t>(value, std::numeric_limits<int>::max()));
}
} // namespace

LargeLogView::LargeLogView(QWidget* parent) : QAbstractScrollArea(parent) {
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    m_poll.setInterval(kPollMilliseconds);
    connect(&m_poll, &QTimer::timeout, this, &LargeLogView::Poll);
}

LargeLogView::~LargeLogView() {
    m_search.Cancel();
    m_printJob.reset();
    delete m_findDialog;
}

FindDialog* LargeLogView::GetFindDialog() const {
    return m_findDialog;
}

bool LargeLogView::Open(const std::string& path, std::int64_t length) {
    Close();
    auto index = std::make_unique<LineIndex>();
    if (!index->Start(path, length))
        return false;
    m_index = std::move(index);
    m_indexed = false;
    // The first screen comes with the first block; not waited for longer than a moment.
    QElapsedTimer waited;
    waited.start();
    while (m_index->LineCount() < VisibleRows() && !m_index->Done() &&
           waited.elapsed() < kFirstScreenWaitMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    m_poll.start();
    UpdateScrollBars();
    return true;
}

void LargeLogView::Close() {
    m_search.Cancel();
    m_printJob.reset(); // what was printed so far is handed to the printer
    m_poll.stop();
    m_index.reset();
    m_shown.clear();
    m_anchor = m_cursor = {};
    m_widest = 0;
    m_topPiece = m_topRow = 0;
    m_textLine = -1;
    m_text.clear();
    m_pieceLefts.clear();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

std::string LargeLogView::Path() const {
    return m_index ? m_index->Path() : std::string();
}

std::int64_t LargeLogView::Length() const {
    return m_index ? m_index->Length() : 0;
}

bool LargeLogView::Indexing() const {
    return m_index && !m_indexed;
}

int LargeLogView::IndexPercent() const {
    return m_index ? m_index->Percent() : 100;
}

std::int64_t LargeLogView::LineCount() const {
    return m_index ? m_index->LineCount() : 0;
}

QStringList LargeLogView::Lines(std::int64_t first, std::int64_t count) const {
    return m_index ? m_index->Lines(first, count) : QStringList();
}

void LargeLogView::Poll() {
    if (m_index && (m_index->Done() || m_index->Failed())) {
        m_indexed = true; // seen here, so the commands and the caption follow at once
        m_poll.stop();
    }
    UpdateScrollBars();
    viewport()->update();
    emit IndexProgress();
    emit CommandStateChanged();
}

int LargeLogView::VisibleRows() const {
    return std::max(1, viewport()->height() / std::max(1, fontMetrics().lineSpacing()));
}

void LargeLogView::UpdateScrollBars() {
    verticalScrollBar()->setRange(0, ClampToInt(std::max<std::int64_t>(0, LineCount() - 1)));
    verticalScrollBar()->setPageStep(VisibleRows());
    const int overflow = m_wrap ? 0 : static_cast<int>(m_widest) - viewport()->width();
    horizontalScrollBar()->setRange(0, std::max(0, overflow));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth());
}

void LargeLogView::SetWordWrap(bool on) {
    m_wrap = on;
    m_topPiece = m_topRow = 0;
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

std::int64_t LargeLogView::TopLine() const {
    return verticalScrollBar()->value();
}

void LargeLogView::LayOut(QTextLayout& layout, qreal width) const {
    QTextOption option;
    option.setWrapMode(m_wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(m_wrap ? width : kNoWrapWidth);
        line.setPosition({0, height});
        height += line.height();
    }
    layout.endLayout();
}

QString LargeLogView::LineText(std::int64_t line) const {
    if (line != m_textLine) {
        const QStringList lines = m_index ? m_index->Lines(line, 1) : QStringList();
        m_text = lines.isEmpty() ? QString() : lines.constFirst();
        m_textLine = line;
    }
    return m_text;
}

std::unique_ptr<QTextLayout> LargeLogView::PieceLayout(const QString& text, qsizetype piece) const {
    auto layout = std::make_unique<QTextLayout>(LinePieces::Text(text, piece), font(), viewport());
    LayOut(*layout, viewport()->width());
    return layout;
}

const std::vector<qreal>& LargeLogView::PieceLefts(std::int64_t line, const QString& text) const {
    const auto found = m_pieceLefts.find(line);
    if (found != m_pieceLefts.end())
        return found->second;
    if (m_pieceLefts.size() >= kPieceLeftsKept)
        m_pieceLefts.clear();
    std::vector<qreal> lefts{0};
    for (qsizetype piece = 0; piece < LinePieces::Count(text); ++piece)
        lefts.push_back(lefts.back() + PieceLayout(text, piece)->lineAt(0).naturalTextWidth());
    return m_pieceLefts[line] = std::move(lefts);
}

void LargeLogView::PaintPiece(QPainter& painter, std::int64_t line, const QString& text,
                              qsizetype piece, QPointF at) {
    auto layout = PieceLayout(text, piece);
    const qsizetype column = LinePieces::Start(text, piece);
    const Position start = SelectionStart();
    const Position end = SelectionEnd();
    QList<QTextLayout::FormatRange> ranges;
    if (line >= start.line && line <= end.line && start != end) {
        const qsizetype length = layout->text().size();
        const auto from =
            std::clamp<std::int64_t>((line == start.line ? start.column : 0) - column, 0, length);
        const auto to = std::clamp<std::int64_t>(
            (line == end.line ? end.column : text.size()) - column, 0, length);
        QTextCharFormat selected;
        selected.setBackground(palette().brush(QPalette::Active, QPalette::Highlight));
        selected.setForeground(palette().brush(QPalette::Active, QPalette::HighlightedText));
        if (to > from)
            ranges.append({static_cast<int>(from), static_cast<int>(to - from), selected});
    }
    layout->draw(&painter, at, ranges);
    m_shown.push_back(
        {line, column, at.x() + horizontalScrollBar()->value(), at.y(), std::move(layout)});
}

void LargeLogView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    m_shown.clear();
    if (!m_index)
        return;
    const std::int64_t top = TopLine();
    const QStringList lines = m_index->Lines(top, VisibleRows() + 1);
    const qreal scrolled = horizontalScrollBar()->value();
    const qreal width = viewport()->width();
    const qreal spacing = fontMetrics().lineSpacing();
    qreal y = 0;
    if (m_wrap && m_topRow > 0 && !lines.isEmpty()) { // the rows above it are scrolled away
        const auto layout =
            PieceLayout(lines[0], std::min(m_topPiece, LinePieces::Count(lines[0]) - 1));
        if (layout->lineCount() > 0)
            y = -layout->lineAt(std::min(m_topRow, layout->lineCount() - 1)).y();
    }
    for (qsizetype i = 0; i < lines.size() && y < viewport()->height(); ++i) {
        const std::int64_t line = top + i;
        const QString& text = lines[i];
        const qsizetype pieces = LinePieces::Count(text);
        if (m_wrap) {
            qsizetype piece = i == 0 ? std::min(m_topPiece, pieces - 1) : 0;
            for (; piece < pieces && y < viewport()->height(); ++piece) {
                PaintPiece(painter, line, text, piece, {0, y});
                y += std::max<qreal>(m_shown.back().layout->boundingRect().height(), spacing);
            }
            continue;
        }
        if (pieces == 1) {
            PaintPiece(painter, line, text, 0, {-scrolled, y});
            m_widest = std::max(m_widest, m_shown.back().layout->maximumWidth());
        } else {
            const std::vector<qreal>& lefts = PieceLefts(line, text);
            for (qsizetype piece = 0; piece < pieces && lefts[piece] < scrolled + width; ++piece)
                if (lefts[piece + 1] >= scrolled)
                    PaintPiece(painter, line, text, piece, {lefts[piece] - scrolled, y});
            m_widest = std::max(m_widest, lefts.back());
        }
        y += spacing;
    }
    if (!m_wrap && horizontalScrollBar()->maximum() < m_widest - viewport()->width())
        UpdateScrollBars();
}

QStringList LargeLogView::TextOnScreen() const {
    QStringList rows;
    const qreal left = horizontalScrollBar()->value();
    for (const Shown& shown : m_shown)
        for (int i = 0; i < shown.layout->lineCount(); ++i) {
            const QTextLine row = shown.layout->lineAt(i);
            const qreal top = shown.top + row.y();
            if (top + row.height() <= 0 || top >= viewport()->height())
                continue;
            const int from = row.xToCursor(left - shown.left);
            const int to = row.xToCursor(left + viewport()->width() - shown.left);
            rows << shown.layout->text().mid(from, to - from);
        }
    return rows;
}

void LargeLogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void LargeLogView::scrollContentsBy(int, int) {
    if (!m_movingTop) // the scroll bar moved by lines
        m_topPiece = m_topRow = 0;
    viewport()->update();
}

void LargeLogView::SetTop(std::int64_t line, qsizetype piece, int row) {
    m_movingTop = true;
    m_topPiece = piece;
    m_topRow = row;
    verticalScrollBar()->setValue(ClampToInt(line));
    m_movingTop = false;
    viewport()->update();
}

void LargeLogView::ScrollRows(std::int64_t rows) {
    if (!m_index)
        return;
    if (!m_wrap) {
        verticalScrollBar()->setValue(ClampToInt(TopLine() + rows));
        return;
    }
    std::int64_t line = TopLine();
    qsizetype piece = m_topPiece;
    int row = m_topRow;
    for (; rows > 0; --rows) {
        const QString text = LineText(line);
        if (LinePieces::Count(text) > 1) {
            if (row + 1 < PieceLayout(text, piece)->lineCount()) {
                ++row;
                continue;
            }
            if (piece + 1 < LinePieces::Count(text)) {
                ++piece, row = 0;
                continue;
            }
        }
        if (line + 1 >= LineCount())
            break;
        ++line, piece = 0, row = 0;
    }
    for (; rows < 0; ++rows) {
        if (row > 0) {
            --row;
        } else if (piece > 0) {
            --piece;
            row = PieceLayout(LineText(line), piece)->lineCount() - 1;
        } else if (line > 0) {
            const QString text = LineText(--line);
            piece = LinePieces::Count(text) - 1;
            row = piece > 0 ? PieceLayout(text, piece)->lineCount() - 1 : 0;
        }
    }
    SetTop(line, piece, std::max(0, row));
}

LargeLogView::Position LargeLogView::PositionAt(QPoint point) const {
    const qreal x = point.x() + horizontalScrollBar()->value();
    for (auto k = m_shown.begin(); k != m_shown.end(); ++k) {
        const QRectF box = k->layout->boundingRect().translated(0, k->top);
        if (point.y() >= box.bottom() && k + 1 != m_shown.end())
            continue;
        // Unwrapped, the pieces of a line lie side by side: the one under the point.
        while (!m_wrap && k + 1 != m_shown.end() && (k + 1)->line == k->line && (k + 1)->left <= x)
            ++k;
        for (int i = 0; i < k->layout->lineCount(); ++i) {
            const QTextLine row = k->layout->lineAt(i);
            if (point.y() < k->top + row.rect().bottom() || i + 1 == k->layout->lineCount())
                return {k->line, k->column + row.xToCursor(x - k->left)};
        }
    }
    return {TopLine(), 0};
}

void LargeLogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_index)
        return;
    m_cursor = PositionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_anchor = m_cursor;
    viewport()->update();
    emit CommandStateChanged();
}

void LargeLogView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || !m_index)
        return;
    const QPoint point = event->position().toPoint();
    if (point.y() < 0)
        ScrollRows(-1);
    else if (point.y() > viewport()->height())
        ScrollRows(1);
    m_cursor = PositionAt(point);
    viewport()->update();
    emit CommandStateChanged();
}

void LargeLogView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy)
        Copy();
    else if (event == QKeySequence::SelectAll)
        SelectAll();
    else if (event == QKeySequence::MoveToStartOfDocument)
        verticalScrollBar()->setValue(0);
    else if (event == QKeySequence::MoveToEndOfDocument)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    else if (event == QKeySequence::MoveToPreviousLine)
        ScrollRows(-1);
    else if (event == QKeySequence::MoveToNextLine)
        ScrollRows(1);
    else if (event == QKeySequence::MoveToPreviousPage)
        ScrollRows(-VisibleRows());
    else if (event == QKeySequence::MoveToNextPage)
        ScrollRows(VisibleRows());
    else if (m_index && IsEditKey(*event))
        emit TypedInto(event);
    else
        QAbstractScrollArea::keyPressEvent(event); // left and right scroll across
}

void LargeLogView::wheelEvent(QWheelEvent* event) {
    if (!m_wrap || event->angleDelta().y() == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRemainder -= notches * QWheelEvent::DefaultDeltasPerStep;
    ScrollRows(-std::int64_t{notches} * QApplication::wheelScrollLines());
    event->accept();
}

void LargeLogView::SelectAll() {
    SetSelection({0, 0}, {kEnd, kEnd});
}

void LargeLogView::SetSelection(Position anchor, Position cursor) {
    m_anchor = anchor;
    m_cursor = cursor;
    viewport()->update();
    emit CommandStateChanged();
}

LargeLogView::Position LargeLogView::SelectionStart() const {
    const Position end = SelectionEnd();
    return std::min(std::min(m_anchor, m_cursor), end);
}

LargeLogView::Position LargeLogView::SelectionEnd() const {
    Position end = std::max(m_anchor, m_cursor);
    const std::int64_t lines = LineCount();
    if (lines == 0)
        return {};
    if (end.line >= lines)
        end = {lines - 1, kEnd};
    if (end.column == kEnd) {
        const QStringList last = m_index->Lines(end.line, 1);
        end.column = last.isEmpty() ? 0 : last.constFirst().size();
    }
    return end;
}

QString LargeLogView::SelectedText() const {
    const Position start = SelectionStart();
    const Position end = SelectionEnd();
    if (start == end)
        return {};
    const std::int64_t bytes = m_index->SpanBytes(start.line, end.line);
    if (bytes > kCopyLimit) {
        AfxMessageBox("The selection is too large to copy: " + std::to_string(bytes >> 20) +
                      " MB of the file, and at most 16 MB can be copied. Select less; a "
                      "large part of the file can be printed with a page range.");
        return {};
    }
    QStringList lines = m_index->Lines(start.line, end.line - start.line + 1);
    if (lines.isEmpty())
        return {};
    lines.last().truncate(end.line == start.line ? end.column : end.column);
    lines.first().remove(0, start.column);
    return lines.join(u'\n');
}

void LargeLogView::Copy() {
    const QString text = SelectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

bool LargeLogView::CanSelectAll() const {
    return m_index && m_index->Length() > 0;
}

bool LargeLogView::CanFind() const {
    return CanSelectAll() && !Indexing();
}

void LargeLogView::OnEditFind() {
    if (!m_findDialog) {
        m_findDialog = new FindDialog(window());
        connect(
            m_findDialog, &FindDialog::FindNext, this,
            [this](const QString& what, QTextDocument::FindFlags flags) { FindText(what, flags); });
    }
    const Position start = SelectionStart();
    const Position end = SelectionEnd();
    if (start != end && start.line == end.line)
        m_findDialog->SetFindWhat(SelectedText());
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

bool LargeLogView::FindText(const QString& what, QTextDocument::FindFlags flags) {
    if (what.isEmpty() || !CanFind())
        return false;
    const bool backward = flags.testFlag(QTextDocument::FindBackward);
    const Position from = backward ? SelectionStart() : SelectionEnd();
    LargeFindRequest request;
    request.path = m_index->Path();
    request.length = m_index->Length();
    request.line = from.line;
    request.column = from.column;
    request.lineStart = m_index->LineStart(from.line);
    const std::int64_t next = m_index->LineStart(from.line + 1);
    request.lineEnd = next < 0 ? request.length : next;
    request.what = what;
    request.flags = flags;
    m_search.Start(std::move(request), this, [this, what](std::int64_t line, std::int64_t column) {
        OnFound(what, line, column);
    });
    return true;
}

void LargeLogView::OnFound(const QString& what, std::int64_t line, std::int64_t column) {
    if (line < 0) {
        AfxMessageBox("Cannot find the string '" + what.toStdString() + "'.");
        return;
    }
    SetSelection({line, column}, {line, column + what.size()});
    ShowPosition({line, column});
}

// The top line that puts `line` in the middle of the window, its lines as wrapped.
std::int64_t LargeLogView::TopToCentre(std::int64_t line) const {
    const std::int64_t first = std::max<std::int64_t>(0, line - VisibleRows() / 2);
    const QStringList lines = m_index->Lines(first, line - first + 1);
    qreal height = 0;
    std::int64_t top = line;
    for (auto k = lines.size() - 1; k >= 0; --k) {
        QTextLayout layout(lines[k].left(LinePieces::kLength), font(), viewport());
        LayOut(layout, viewport()->width());
        height += layout.boundingRect().height();
        if (height > viewport()->height() / 2 && top != line)
            break;
        top = first + k;
    }
    return top;
}

void LargeLogView::ShowPosition(Position position) {
    const QString text = LineText(position.line);
    const qsizetype piece = LinePieces::Of(text, position.column);
    const qsizetype column = LinePieces::Start(text, piece);
    const bool shown = std::any_of(m_shown.begin(), m_shown.end(), [&](const Shown& at) {
        return at.line == position.line && at.column == column && at.top >= 0 &&
               at.top + at.layout->boundingRect().height() <= viewport()->height();
    });
    const auto layout = PieceLayout(text, piece);
    if (!shown && m_wrap && LinePieces::Count(text) > 1) {
        const int row =
            layout->lineForTextPosition(static_cast<int>(position.column - column)).lineNumber();
        SetTop(position.line, piece, std::max(0, row));
        ScrollRows(-VisibleRows() / 2);
    } else if (!shown) {
        SetTop(TopToCentre(position.line), 0, 0);
    }
    if (m_wrap || layout->lineCount() == 0)
        return;
    const std::vector<qreal>& lefts = PieceLefts(position.line, text);
    const qreal x =
        lefts[piece] + layout->lineAt(0).cursorToX(static_cast<int>(position.column - column));
    m_widest = std::max(m_widest, lefts.back());
    UpdateScrollBars();
    const int left = horizontalScrollBar()->value();
    if (x < left || x > left + viewport()->width() - 20)
        horizontalScrollBar()->setValue(std::max(0, static_cast<int>(x) - viewport()->width() / 2));
}

bool LargeLogView::Printing() const {
    return m_printJob && m_printJob->Running();
}

void LargeLogView::PrintTo(QPrinter& printer) {
    if (!m_index || Printing()) // one print at a time; the running one goes on
        return;
    const double m = CMyEditView::kPrintMarginInches;
    printer.setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Inch);
    m_printJob = std::make_unique<LargePrintJob>();
    if (!m_printJob->Start(*m_index, printer, font()))
        m_printJob.reset();
}
