#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractScrollArea>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>

#include "gui/viewer/LargeFileSearch.h"

class FindDialog;
class LargePrintJob;
class LineIndex;
class QPrinter;
class QTextLayout;

// The view for log files too large to hold as text: it keeps an index of where the lines
// start and reads, decodes and paints only the lines on screen. It never edits: keys that
// would are handed on. The selection is two positions, so selecting everything costs
// nothing. The vertical scroll bar counts lines.
class LargeLogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A line and a column in its characters.
    struct Position {
        std::int64_t line = 0;
        std::int64_t column = 0;
        auto operator<=>(const Position&) const = default;
    };
    // Copy refuses selections larger than this many bytes of the file.
    static constexpr std::int64_t kCopyLimit = 16'777'215;

    explicit LargeLogView(QWidget* parent = nullptr);
    ~LargeLogView() override;

    // Shows `length` bytes of the file, indexing them in the background. False when the
    // file cannot be opened.
    bool Open(const std::string& path, std::int64_t length);
    void Close();
    bool IsOpen() const { return m_index != nullptr; }
    // The file shown and how many of its bytes; empty and 0 when none is.
    std::string Path() const;
    std::int64_t Length() const;
    bool Indexing() const;
    int IndexPercent() const;

    std::int64_t LineCount() const;
    // Up to `count` lines from `first`, as shown.
    QStringList Lines(std::int64_t first, std::int64_t count) const;

    bool WordWrap() const { return m_wrap; }
    void SetWordWrap(bool on);

    void SelectAll();
    void SetSelection(Position anchor, Position cursor);
    // Start and end of the selection, in order, with the end inside the text.
    Position SelectionStart() const;
    Position SelectionEnd() const;
    bool HasSelection() const { return SelectionStart() != SelectionEnd(); }
    // The ends of the selection as made; a column may stand past its line's end.
    Position AnchorPosition() const { return m_anchor; }
    Position CursorPosition() const { return m_cursor; }
    // The selected text, or empty with a message when it is over the copy limit.
    QString SelectedText() const;
    void Copy();
    std::int64_t TopLine() const;
    // The text of the rows on screen, each cut to the part inside the window.
    QStringList TextOnScreen() const;

    bool CanSelectAll() const;
    bool CanCopy() const { return HasSelection(); }
    bool CanFind() const;

    void OnEditFind();
    FindDialog* GetFindDialog() const;
    // Starts a search from the selection on; the hit is selected when it comes, or the
    // message says nothing was found.
    bool FindText(const QString& what, QTextDocument::FindFlags flags);
    bool Searching() const { return m_search.Running(); }

    // Prints the lines, wrapped, on the printer's pages, in steps from the event loop; only
    // its page range when it has one. Ignored while a print runs.
    void PrintTo(QPrinter& printer);
    bool Printing() const;

signals:
    void CommandStateChanged();
    // The index grew or is complete.
    void IndexProgress();
    // A key that edits text was pressed: typing, Backspace, Delete, Enter, Cut or Paste.
    void TypedInto(QKeyEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // A piece of a line as laid out on screen: its first column, and where it was drawn.
    struct Shown {
        std::int64_t line;
        qsizetype column;
        qreal left;
        qreal top;
        std::unique_ptr<QTextLayout> layout;
    };
    void Poll();
    void UpdateScrollBars();
    int VisibleRows() const;
    void LayOut(QTextLayout& layout, qreal width) const;
    QString LineText(std::int64_t line) const;
    std::unique_ptr<QTextLayout> PieceLayout(const QString& text, qsizetype piece) const;
    // Where each piece of a line starts across the window and where the last one ends,
    // unwrapped.
    const std::vector<qreal>& PieceLefts(std::int64_t line, const QString& text) const;
    void PaintPiece(QPainter& painter, std::int64_t line, const QString& text, qsizetype piece,
                    QPointF at);
    // Moves the top of the window by rows: within a line of several pieces by its wrapped
    // rows, elsewhere by lines.
    void ScrollRows(std::int64_t rows);
    void SetTop(std::int64_t line, qsizetype piece, int row);
    Position PositionAt(QPoint point) const;
    void ShowPosition(Position position);
    std::int64_t TopToCentre(std::int64_t line) const;
    void OnFound(const QString& what, std::int64_t line, std::int64_t column);

    std::unique_ptr<LineIndex> m_index;
    QTimer m_poll;
    bool m_indexed = false;
    bool m_wrap = true;
    Position m_anchor, m_cursor;
    std::vector<Shown> m_shown;
    qreal m_widest = 0;
    // Where the top line is shown from, when it is laid out in pieces.
    qsizetype m_topPiece = 0;
    int m_topRow = 0;
    bool m_movingTop = false;
    int m_wheelRemainder = 0;
    mutable std::int64_t m_textLine = -1;
    mutable QString m_text;
    mutable std::map<std::int64_t, std::vector<qreal>> m_pieceLefts;
    LargeFileSearch m_search;
    QPointer<FindDialog> m_findDialog;
    std::unique_ptr<LargePrintJob> m_printJob;
};
