#include "gui/viewer/EditWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>

#include "gui/framework/CommandIds.h"
#include "gui/framework/CommandStrings.h"
#include "gui/framework/PrintDialogs.h"
#include "gui/viewer/EditDoc.h"
#include "gui/viewer/MyEditView.h"

namespace {
QSize HalfScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(800, 600);
    return {size.width() / 2, size.height() / 2};
}
} // namespace

CEditWnd::CEditWnd(QPrinter& printer, std::function<void(QWidget*)> about)
    : m_printer(printer), m_showAbout(std::move(about)), m_view(new CMyEditView(this)),
      m_document(std::make_unique<CEditDoc>(*m_view)) {
    setWindowIcon(QIcon(QStringLiteral(":/marovind.png")));
    setCentralWidget(m_view);
    CreateMenus();
    connect(m_view, &CMyEditView::CommandStateChanged, this, &CEditWnd::UpdateCommands);
    m_document->m_onLoadStep = [this] { UpdateCaption(); };
    UpdateCommands();
    resize(HalfScreen()); // the position is left to the window system
    UpdateCaption();
}

CEditWnd::~CEditWnd() = default;

void CEditWnd::UpdateCaption() {
    const QString& title = m_document->GetTitle();
    QString caption = title.isEmpty() ? QStringLiteral("log") : QStringLiteral("log - ") + title;
    if (m_document->IsLoading())
        caption += QStringLiteral(" (loading %1%)").arg(m_document->LoadPercent());
    setWindowTitle(caption);
}

QAction* CEditWnd::AddCommand(QMenu* menu, const char* text, int id) {
    QAction* action = menu->addAction(tr(text));
    action->setStatusTip(CommandPrompt(id));
    action->setToolTip(CommandToolTip(id));
    return action;
}

void CEditWnd::CreateMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    m_printSetup = AddCommand(file, "Print Set&up", ID_FILE_PRINT_SETUP);
    m_print = AddCommand(file, "&Print", ID_FILE_PRINT);
    m_close = AddCommand(file, "&Close this window", ID_FILE_CLOSE_VIEWER);
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    m_selectAll = AddCommand(edit, "&Select All", ID_EDIT_SELECT_ALL);
    m_copy = AddCommand(edit, "&Copy", ID_EDIT_COPY);
    m_find = AddCommand(edit, "&Find", ID_EDIT_FIND);
    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_wordWrap = AddCommand(view, "&WordWrap", ID_EDIT_WORDWRAP);
    m_wordWrap->setCheckable(true);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    m_about = AddCommand(help, "&About", ID_APP_ABOUT);

    connect(m_printSetup, &QAction::triggered, this,
            [this] { PrintDialogs::RunPageSetup(m_printer, this); });
    connect(m_print, &QAction::triggered, this, [this] { m_view->OnFilePrint(m_printer); });
    connect(m_close, &QAction::triggered, this, &QWidget::close);
    connect(m_selectAll, &QAction::triggered, m_view, &QPlainTextEdit::selectAll);
    connect(m_copy, &QAction::triggered, m_view, &QPlainTextEdit::copy);
    connect(m_find, &QAction::triggered, m_view, &CMyEditView::OnEditFind);
    connect(m_wordWrap, &QAction::triggered, this, [this] {
        m_view->OnWordWrap();
        UpdateCommands();
    });
    connect(m_about, &QAction::triggered, this, [this] {
        if (m_showAbout)
            m_showAbout(this);
    });
}

void CEditWnd::UpdateCommands() {
    m_selectAll->setEnabled(m_view->CanSelectAll());
    m_copy->setEnabled(m_view->CanCopy());
    m_find->setEnabled(m_view->CanFind());
    m_wordWrap->setChecked(m_view->WordWrapMode() != CMyEditView::WrapNone);
}

void CEditWnd::closeEvent(QCloseEvent* event) {
    // Nothing typed here is ever saved, so there is nothing to ask.
    event->accept();
    emit Closed();
}
