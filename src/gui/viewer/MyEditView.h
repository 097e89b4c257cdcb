#pragma once
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>

class FindDialog;
class QPrinter;

// The viewer's text view: a plain-text editor that shows a log file. It accepts typing,
// but nothing typed is ever saved.
class CMyEditView : public QPlainTextEdit {
    Q_OBJECT
public:
    // 0 no wrapping, 1 wrap to the window's width, 2 wrap to the target device.
    enum WordWrap { WrapNone = 0, WrapToWindow = 1, WrapToTarget = 2 };
    // Half an inch on every side.
    static constexpr double kPrintMarginInches = 0.5;

    explicit CMyEditView(QWidget* parent = nullptr);
    ~CMyEditView() override;

    // Texts longer than this are shown read-only once loaded.
    static constexpr int kEditableCapacity = 16'777'215;

    // Replaces the whole text at once and leaves the document unmodified.
    void SetLoadedText(const QString& text);
    // A text loaded in pieces: emptied and read-only, filled at its end without moving the
    // cursor or the selection, and editable at the end when not longer than the capacity.
    void BeginLoadedText();
    void AppendLoadedText(const QString& piece);
    void EndLoadedText();

    int WordWrapMode() const { return m_wordWrap; }
    void OnWordWrap();

    // The enable rules of the Edit menu.
    bool CanSelectAll() const { return !document()->isEmpty(); }
    bool CanCopy() const { return textCursor().hasSelection(); }
    bool CanFind() const { return !document()->isEmpty(); }

    // Edit > Find: shows the modeless find dialog, seeded with a one-line selection.
    void OnEditFind();
    FindDialog* GetFindDialog() const;
    // One search from the selection on; selects the hit, or says that nothing was found.
    bool FindText(const QString& what, QTextDocument::FindFlags flags);

    // File > Print: the print dialog, then the whole text with half-inch margins.
    void OnFilePrint(QPrinter& printer);
    // Prints without asking; the printer's margins are set to the view's.
    void PrintTo(QPrinter& printer) const;

signals:
    // The text became empty or not empty, or the selection did.
    void CommandStateChanged();

private:
    void ApplyWordWrap();

    int m_wordWrap = WrapToWindow;
    QPointer<FindDialog> m_findDialog;
};
