#include "gui/viewer/MyEditView.h"

#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QMarginsF>
#include <QPageLayout>
#include <QPalette>
#include <QPrinter>

#include "core/platform/MessageBox.h"
#include "gui/framework/PrintDialogs.h"
#include "gui/viewer/FindDialog.h"
#include "gui/viewer/TextSearch.h"

CMyEditView::CMyEditView(QWidget* parent) : QPlainTextEdit(parent) {
    // The selection stays visible while the Find dialog has the focus.
    QPalette colours = palette();
    colours.setBrush(QPalette::Inactive, QPalette::Highlight,
                     colours.brush(QPalette::Active, QPalette::Highlight));
    colours.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                     colours.brush(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
    ApplyWordWrap();
    connect(this, &QPlainTextEdit::textChanged, this, &CMyEditView::CommandStateChanged);
    connect(this, &QPlainTextEdit::selectionChanged, this, &CMyEditView::CommandStateChanged);
}

CMyEditView::~CMyEditView() {
    delete m_findDialog;
}

FindDialog* CMyEditView::GetFindDialog() const {
    return m_findDialog;
}

void CMyEditView::SetLoadedText(const QString& text) {
    setPlainText(text); // one insert: the cheapest way to fill the document
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
}

void CMyEditView::BeginLoadedText() {
    clear();
    setReadOnly(true);
    document()->setUndoRedoEnabled(false); // a load is not something to undo
}

void CMyEditView::AppendLoadedText(const QString& piece) {
    const int anchor = textCursor().anchor();
    const int position = textCursor().position();
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(piece); // moves a cursor standing at the end along with the text
    if (textCursor().anchor() != anchor || textCursor().position() != position) {
        QTextCursor kept(document());
        kept.setPosition(anchor);
        kept.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(kept);
    }
    document()->setModified(false);
}

void CMyEditView::EndLoadedText() {
    document()->setUndoRedoEnabled(true);
    setReadOnly(document()->characterCount() - 1 > kEditableCapacity);
}

void CMyEditView::OnWordWrap() {
    m_wordWrap =
        (m_wordWrap == WrapToWindow || m_wordWrap == WrapToTarget) ? WrapNone : WrapToWindow;
    ApplyWordWrap();
}

void CMyEditView::ApplyWordWrap() {
    setLineWrapMode(m_wordWrap == WrapNone ? NoWrap : WidgetWidth);
}

void CMyEditView::OnEditFind() {
    if (!m_findDialog) {
        m_findDialog = new FindDialog(window());
        connect(
            m_findDialog, &FindDialog::FindNext, this,
            [this](const QString& what, QTextDocument::FindFlags flags) { FindText(what, flags); });
    }
    const QString selected = textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
        m_findDialog->SetFindWhat(selected);
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

bool CMyEditView::FindText(const QString& what, QTextDocument::FindFlags flags) {
    if (what.isEmpty())
        return false;
    // The document's own find walks the text block by block, which is slow on a log of
    // 150,000 lines; one search over the whole text is many times faster.
    const QTextCursor cursor = textCursor();
    const bool backward = flags.testFlag(QTextDocument::FindBackward);
    const qsizetype at =
        FindInText(document()->toPlainText(), what,
                   backward ? cursor.selectionStart() : cursor.selectionEnd(), flags);
    if (at < 0) {
        AfxMessageBox("Cannot find the string '" + what.toStdString() + "'.");
        return false;
    }
    QTextCursor found(document());
    found.setPosition(static_cast<int>(at));
    found.setPosition(static_cast<int>(at + what.size()), QTextCursor::KeepAnchor);
    setTextCursor(found);
    return true;
}

void CMyEditView::OnFilePrint(QPrinter& printer) {
    if (PrintDialogs::RunPrint(printer, window()))
        PrintTo(printer);
}

void CMyEditView::PrintTo(QPrinter& printer) const {
    const double m = kPrintMarginInches;
    printer.setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Inch);
    // A document printed as it is gets 2 cm more margin inside the printer's and page
    // numbers; a copy laid out on the page itself prints with the half inch alone. On paper
    // the lines always wrap, whatever the window does.
    const std::unique_ptr<QTextDocument> copy(document()->clone());
    copy->documentLayout()->setPaintDevice(&printer);
    copy->setDocumentMargin(0);
    QTextOption option = copy->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    copy->setDefaultTextOption(option);
    copy->setPageSize(printer.pageLayout().paintRectPixels(printer.resolution()).size());
    copy->print(&printer);
}
