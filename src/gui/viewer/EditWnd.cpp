#include "gui/viewer/EditWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QStackedWidget>

#include "gui/framework/CommandIds.h"
#include "gui/framework/CommandStrings.h"
#include "gui/framework/PrintDialogs.h"
#include "gui/viewer/EditDoc.h"
#include "gui/viewer/LargeLogView.h"
#include "gui/viewer/MyEditView.h"

namespace {
QSize HalfScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(800, 600);
    return {size.width() / 2, size.height() / 2};
}
} // namespace

CEditWnd::CEditWnd(QPrinter& printer, std::function<void(QWidget*)> about)
    : m_printer(printer), m_showAbout(std::move(about)), m_stack(new QStackedWidget(this)),
      m_view(new CMyEditView(m_stack)), m_largeView(new LargeLogView(m_stack)),
      m_document(std::make_unique<CEditDoc>(*m_view, *m_largeView)) {
    setWindowIcon(QIcon(QStringLiteral(":/marovind.png")));
    m_stack->addWidget(m_view);
    m_stack->addWidget(m_largeView);
    setCentralWidget(m_stack);
    CreateMenus();
    connect(m_view, &CMyEditView::CommandStateChanged, this, &CEditWnd::UpdateCommands);
    connect(m_largeView, &LargeLogView::CommandStateChanged, this, &CEditWnd::UpdateCommands);
    connect(m_largeView, &LargeLogView::IndexProgress, this, &CEditWnd::UpdateCaption);
    m_document->m_onLoadStep = [this] {
        ShowDocumentView();
        UpdateCaption();
    };
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
    connect(m_print, &QAction::triggered, this, [this] {
        if (!m_document->IsLarge())
            m_view->OnFilePrint(m_printer);
        else if (PrintDialogs::RunPrint(m_printer, this))
            m_largeView->PrintTo(m_printer);
    });
    connect(m_close, &QAction::triggered, this, &QWidget::close);
    connect(m_selectAll, &QAction::triggered, this,
            [this] { m_document->IsLarge() ? m_largeView->SelectAll() : m_view->selectAll(); });
    connect(m_copy, &QAction::triggered, this,
            [this] { m_document->IsLarge() ? m_largeView->Copy() : m_view->copy(); });
    connect(m_find, &QAction::triggered, this,
            [this] { m_document->IsLarge() ? m_largeView->OnEditFind() : m_view->OnEditFind(); });
    connect(m_wordWrap, &QAction::triggered, this, [this] {
        m_view->OnWordWrap(); // both views follow the one setting
        m_largeView->SetWordWrap(m_view->WordWrapMode() != CMyEditView::WrapNone);
        UpdateCommands();
    });
    connect(m_about, &QAction::triggered, this, [this] {
        if (m_showAbout)
            m_showAbout(this);
    });
}

void CEditWnd::ShowDocumentView() {
    QWidget* shown = m_document->IsLarge() ? static_cast<QWidget*>(m_largeView) : m_view;
    if (m_stack->currentWidget() != shown) {
        m_stack->setCurrentWidget(shown);
        shown->setFocus();
    }
    UpdateCommands();
}

void CEditWnd::UpdateCommands() {
    const bool large = m_document->IsLarge();
    m_selectAll->setEnabled(large ? m_largeView->CanSelectAll() : m_view->CanSelectAll());
    m_copy->setEnabled(large ? m_largeView->CanCopy() : m_view->CanCopy());
    m_find->setEnabled(large ? m_largeView->CanFind() : m_view->CanFind());
    m_wordWrap->setChecked(m_view->WordWrapMode() != CMyEditView::WrapNone);
}

void CEditWnd::closeEvent(QCloseEvent* event) {
    // Nothing typed here is ever saved, so there is nothing to ask.
    event->accept();
    emit Closed();
}
