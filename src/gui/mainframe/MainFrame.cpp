#include "gui/mainframe/MainFrame.h"

#include <utility>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/alerts/AlertRulesLoader.h"
#include "core/forward/Forwarding.h"
#include "core/platform/MessageBox.h"
#include "core/reception/AddressList.h"
#include "core/reception/SyslogRecord.h"
#include "core/transport/TcpReceiver.h"
#include "gui/alerts/AlertsDialog.h"
#include "gui/alerts/WindowAlerts.h"
#include "gui/config/ConfigureCommand.h"
#include "gui/framework/CommandIds.h"
#include "gui/framework/CommandStrings.h"
#include "gui/framework/GuiHelp.h"
#include "gui/framework/Resources.h"
#include "gui/mainframe/ExportCommand.h"
#include "gui/mainframe/FieldText.h"
#include "gui/mainframe/FilterBar.h"
#include "gui/mainframe/ListPrinter.h"
#include "gui/mainframe/LockKeyIndicators.h"
#include "gui/mainframe/MyMarovindView.h"
#include "gui/viewer/LogViewerTemplate.h"

namespace {
constexpr int kButtonImageSize = 16;
// Images of the toolbar strip, left to right.
enum ButtonImage { ConfigureImage, OpenImage, AboutImage };

QIcon ButtonIcon(ButtonImage image) {
    const QPixmap strip(QStringLiteral(":/toolbar.png"));
    return QIcon(strip.copy(image * kButtonImageSize, 0, kButtonImageSize, kButtonImageSize));
}

QLabel* IndicatorPane(const char* text, QWidget* parent) {
    auto* pane = new QLabel(QString::fromLatin1(text), parent);
    pane->setTextFormat(Qt::PlainText);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->sizeHint().width() + pane->fontMetrics().averageCharWidth());
    return pane;
}
} // namespace

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent), m_view(new CMyMarovindView(this)), m_alerts(new WindowAlerts(this)) {
    RegisterMarovindResources();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 640, 480);
    const QRect frame = InitialGeometry(available.size()).translated(available.topLeft());
    move(frame.topLeft());
    resize(frame.size());

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateListChoices();
    setWindowTitle(QString::fromLatin1(kTitle));
    connect(m_alerts, &WindowAlerts::RaiseRequested, this, &CMainFrame::RaiseFromTray);
    AfxSetMainWnd(this);
}

CMainFrame::~CMainFrame() {
    OnDestroy();
    // Files reopened after a close during start-up are closed here too.
    CloseLogFiles();
}

QRect CMainFrame::InitialGeometry(const QSize& screen) {
    // Computed as the platform frame did, in double precision: the left edge comes from
    // the window's own width, not from centring it on the screen.
    const int height = static_cast<int>(screen.height() * 0.6666666666666666);
    const int width = static_cast<int>(screen.width() * 0.6666666666666666);
    const int top = static_cast<int>((height * 1.5 - height) * 0.5);
    const int left = static_cast<int>((width * 1.5 - width) * 0.5);
    return QRect(left, top, width, height);
}

std::intptr_t CMainFrame::SendMessage(unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    if (message == WM_SYSLOG_BATCH) {
        HoldFlushes(wParam != 0);
        return 1;
    }
    if (message == WM_SYSLOG_MESSAGE && lParam != 0)
        return OnSyslogMessage(*reinterpret_cast<const SyslogRecord*>(lParam));
    return 0;
}

std::intptr_t CMainFrame::OnSyslogMessage(const SyslogRecord& record) {
    GetActiveView()->AddMessageRow(record, m_alerts->Deliver(record));
    WriteLogLine(record);
    g_forwarding.Offer(record);
    return 1;
}

void CMainFrame::InitialUpdateFrame() {
    m_view->OnInitialUpdate();
}

QAction* CMainFrame::CommandAction(int commandId) const {
    for (QAction* action : findChildren<QAction*>())
        if (action->data().toInt() == commandId)
            return action;
    return nullptr;
}

void CMainFrame::OnConfigure() {
    if (RunConfigureCommand(*this, this)) {
        ApplyListSettings();
        UpdateForwardPane();
    }
}

void CMainFrame::ApplyListSettings() {
    // Read only: the key is the operator's to add, so a first start never writes it.
    int rows = static_cast<int>(LiveListModel::kDefaultMessageRows);
    m_settings.GetInt(kSettingsSection, kListRowsKey, rows);
    if (rows < 0)
        rows = static_cast<int>(LiveListModel::kDefaultMessageRows);
    m_view->Model().SetMessageRowBound(static_cast<std::size_t>(rows));
    const std::pair<const char*, int> choices[] = {{kSeverityColoursKey, ID_VIEW_SEVERITY_COLOURS},
                                                   {kFilterBarKey, ID_VIEW_FILTER_BAR}};
    for (const auto& [key, command] : choices) {
        bool on = false;
        if (m_settings.GetBool(kSettingsSection, key, on))
            CommandAction(command)->setChecked(on);
    }
    std::string text;
    if (m_settings.GetString(kSettingsSection, kColumnsKey, text)) {
        const FieldSet fields = FieldSet::FromText(text);
        for (std::size_t i = 0; i < kFieldCount; ++i)
            CommandAction(ID_VIEW_FIELD_FIRST + int(i))->setChecked(fields.Has(Field(i)));
        ShowFieldColumns();
    }
    if (m_settings.GetString(kSettingsSection, kColumnLayoutKey, text))
        m_view->ApplyColumnLayout(text);
}

void CMainFrame::SetLogViewerTemplate(LogViewerTemplate* viewerTemplate) {
    m_viewerTemplate = viewerTemplate;
    CommandAction(ID_FILE_OPEN)->setEnabled(viewerTemplate != nullptr);
}

void CMainFrame::OnFileOpen() {
    if (m_viewerTemplate)
        OpenLogFileForViewing(this, m_logDir, *m_viewerTemplate);
}

void CMainFrame::OnFilePrint() {
    if (!m_viewerTemplate)
        return;
    m_view->FlushPendingRows(); // every row received so far
    PrintLiveList(m_view->Model(), m_viewerTemplate->Printer(), this);
}

void CMainFrame::OnFileExport() {
    RunExportCommand(m_view->Model(), this);
}

void CMainFrame::OnHelpIndex() {
    ShowHelpFinder(this);
}

void CMainFrame::LoadAlertRules() {
    m_alerts->Load();
}

void CMainFrame::OnAlerts() {
    AlertsDialog dialog(m_alerts->Rules(), AlertRulesLoader::Path(), this);
    if (dialog.exec() == QDialog::Accepted && dialog.Changed())
        m_alerts->SetRules(dialog.Rules());
}

void CMainFrame::Exit() {
    m_exiting = true;
    close();
}

void CMainFrame::RaiseFromTray() {
    showNormal();
    raise();
    activateWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_exiting && KeepRunningInTray()) {
        hide();
        event->ignore();
        return;
    }
    OnDestroy();
    event->accept();
}

// Only while a rule notifies through a tray icon that can be shown; the operator is asked
// once and the answer kept.
bool CMainFrame::KeepRunningInTray() {
    if (!m_alerts->AnyNotification() || !m_alerts->TrayAvailable())
        return false;
    bool tray = false;
    if (m_settings.GetBool(kSettingsSection, kTrayKey, tray))
        return tray;
    tray = AfxQuestionBox("Alert notifications appear only while Marovind runs. Keep it "
                          "running in the tray when its window is closed?\r\n(File > Exit "
                          "always ends it.)") == IDYES;
    RememberChoice(kTrayKey, tray);
    return tray;
}

void CMainFrame::OnDestroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (m_layoutTimer->isActive())
        SaveColumnLayout();
    g_tcpReceiver.SetChangeHandler(nullptr);
    g_tlsReceiver.SetChangeHandler(nullptr);
    // The viewer closes with the main window, asking nothing.
    if (m_viewerTemplate)
        m_viewerTemplate->CloseAllDocuments();
    CloseLogFiles();
    // From here on no message can be shown or logged; the listener then drops them.
    if (AfxGetMainWnd() == this)
        AfxSetMainWnd(nullptr);
    emit Destroyed();
}

QAction* CMainFrame::AddCommand(int commandId, const QString& text, const QKeySequence& keys) {
    auto* action = new QAction(text, this);
    action->setData(commandId);
    action->setStatusTip(CommandPrompt(commandId));
    const QString tip = CommandToolTip(commandId);
    if (!tip.isEmpty())
        action->setToolTip(tip);
    action->setShortcut(keys);
    return action;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* configure = AddCommand(ID_FILE_CONFIGURE, QStringLiteral("&Configure"),
                                    QKeySequence(Qt::CTRL | Qt::Key_C));
    connect(configure, &QAction::triggered, this, &CMainFrame::OnConfigure);
    file->addAction(configure);
    QAction* open =
        AddCommand(ID_FILE_OPEN, QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    open->setEnabled(false);
    connect(open, &QAction::triggered, this, &CMainFrame::OnFileOpen);
    file->addAction(open);
    QAction* exportRows = AddCommand(ID_FILE_EXPORT, QStringLiteral("&Export..."));
    connect(exportRows, &QAction::triggered, this, &CMainFrame::OnFileExport);
    file->addAction(exportRows);
    file->addSeparator();
    QAction* exit = AddCommand(ID_APP_EXIT, QStringLiteral("E&xit"));
    connect(exit, &QAction::triggered, this, &CMainFrame::Exit);
    file->addAction(exit);

    // Print has a key but no menu item; the window itself carries its shortcut.
    QAction* print =
        AddCommand(ID_FILE_PRINT, QStringLiteral("&Print"), QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, this, &CMainFrame::OnFilePrint);
    addAction(print);

    // The View menu's two toggles are filled in once the bars exist.
    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    QAction* alerts = AddCommand(ID_TOOLS_ALERTS, QStringLiteral("&Alerts..."));
    connect(alerts, &QAction::triggered, this, &CMainFrame::OnAlerts);
    tools->addAction(alerts);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* index = AddCommand(ID_HELP_INDEX, QStringLiteral("&Index"), QKeySequence(Qt::Key_F1));
    connect(index, &QAction::triggered, this, &CMainFrame::OnHelpIndex);
    help->addAction(index);
    // About belongs to the application object, which connects to it.
    help->addAction(AddCommand(ID_APP_ABOUT, QStringLiteral("&About Marovind...")));
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setIconSize(QSize(kButtonImageSize, kButtonImageSize));
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    const auto button = [this](int commandId, ButtonImage image) {
        QAction* action = CommandAction(commandId);
        action->setIcon(ButtonIcon(image));
        m_toolBar->addAction(action);
    };
    button(ID_FILE_CONFIGURE, ConfigureImage);
    button(ID_FILE_OPEN, OpenImage);
    m_toolBar->addSeparator();
    button(ID_APP_ABOUT, AboutImage);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    // The bar keeps its own toggle in step however it is shown or hidden.
    QAction* toggle = m_toolBar->toggleViewAction();
    toggle->setText(QStringLiteral("&Toolbar"));
    toggle->setData(int(ID_VIEW_TOOLBAR));
    toggle->setStatusTip(CommandPrompt(ID_VIEW_TOOLBAR));
    toggle->setToolTip(CommandToolTip(ID_VIEW_TOOLBAR));
    m_viewMenu->addAction(toggle);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    // A normal pane: the bar covers it while it shows a command's prompt.
    m_idleText = new QLabel(QString::fromLatin1(kIdleStatusText), bar);
    m_idleText->setTextFormat(Qt::PlainText);
    bar->addWidget(m_idleText, 1);
    QLabel* caps = IndicatorPane("CAP", bar);
    QLabel* num = IndicatorPane("NUM", bar);
    QLabel* scroll = IndicatorPane("SCRL", bar);
    bar->addPermanentWidget(caps);
    bar->addPermanentWidget(num);
    bar->addPermanentWidget(scroll);
    scroll->setEnabled(false);
    CreateTcpPane();
    qApp->installEventFilter(new LockKeyIndicators(caps, num, this));

    QAction* toggle = AddCommand(ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"));
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QWidget::setVisible);
    m_viewMenu->addAction(toggle);
}

// Severity colours and the filter bar: both off until the operator turns them on. The bar
// sits directly above the list; hidden, the list fills the window as before.
void CMainFrame::CreateListChoices() {
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_filterBar = new FilterBar(client);
    m_filterBar->hide();
    layout->addWidget(m_filterBar);
    layout->addWidget(m_view);
    setCentralWidget(client);
    connect(m_filterBar, &FilterBar::FilterChanged, this,
            [this] { m_view->ApplyFilter(m_filterBar->Filter()); });
    connect(&m_view->Model(), &LiveListModel::ShownRowsChanged, this,
            &CMainFrame::UpdateFilterPane);

    QAction* colours = AddCommand(ID_VIEW_SEVERITY_COLOURS, QStringLiteral("Severity &Colours"));
    colours->setCheckable(true);
    connect(colours, &QAction::toggled, this,
            [this](bool on) { m_view->Model().SetSeverityColours(on); });
    // Triggered is the operator's doing; a choice read at start-up only toggles.
    connect(colours, &QAction::triggered, this,
            [this](bool on) { RememberChoice(kSeverityColoursKey, on); });
    m_viewMenu->addAction(colours);

    QAction* bar = AddCommand(ID_VIEW_FILTER_BAR, QStringLiteral("&Filter Bar"),
                              QKeySequence(Qt::CTRL | Qt::Key_F));
    bar->setCheckable(true);
    connect(bar, &QAction::toggled, this, &CMainFrame::ShowFilterBar);
    connect(bar, &QAction::triggered, this, [this](bool on) {
        RememberChoice(kFilterBarKey, on);
        if (on)
            m_filterBar->FocusText();
    });
    m_viewMenu->addAction(bar);
    CreateColumnChoices();
}

// View > Columns: the header fields, all off until the operator turns them on.
void CMainFrame::CreateColumnChoices() {
    QMenu* columns = m_viewMenu->addMenu(QStringLiteral("C&olumns"));
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        QAction* item = AddCommand(ID_VIEW_FIELD_FIRST + int(i), FieldMenuText(Field(i)));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this] {
            ShowFieldColumns();
            RememberText(kColumnsKey, ChosenFieldColumns().Text());
        });
        columns->addAction(item);
    }
    m_layoutTimer = new QTimer(this);
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(kLayoutSaveDelayMs);
    connect(m_layoutTimer, &QTimer::timeout, this, &CMainFrame::SaveColumnLayout);
    connect(m_view, &CMyMarovindView::ColumnLayoutChanged, m_layoutTimer,
            qOverload<>(&QTimer::start));
}

FieldSet CMainFrame::ChosenFieldColumns() const {
    FieldSet fields;
    for (std::size_t i = 0; i < kFieldCount; ++i)
        fields.Set(Field(i), CommandAction(ID_VIEW_FIELD_FIRST + int(i))->isChecked());
    return fields;
}

void CMainFrame::ShowFieldColumns() {
    const FieldSet fields = ChosenFieldColumns();
    m_view->SetFieldColumns(fields);
    m_filterBar->ShowFieldBoxes(!fields.Empty());
}

void CMainFrame::SaveColumnLayout() {
    m_layoutTimer->stop();
    RememberText(kColumnLayoutKey, m_view->ColumnLayout());
}

// Closing the bar lets every row through again; its values are not kept.
void CMainFrame::ShowFilterBar(bool on) {
    m_filterBar->setVisible(on);
    if (!on)
        m_filterBar->Clear();
}

// A sunken pane after the message pane and those made before it.
QLabel* CMainFrame::NetworkPane(const char* objectName, int index) {
    auto* pane = new QLabel(statusBar());
    pane->setObjectName(QString::fromLatin1(objectName));
    pane->setTextFormat(Qt::PlainText);
    pane->setFrameShape(QFrame::Panel);
    pane->setFrameShadow(QFrame::Sunken);
    statusBar()->insertPermanentWidget(index, pane);
    return pane;
}

// Network errors are counted here, never put in a box: they come from the senders.
void CMainFrame::CreateTcpPane() {
    m_tcpPane = NetworkPane("tcpPane", 1);
    UpdateTcpPane();
    g_tcpReceiver.SetChangeHandler([this] { UpdateTcpPane(); });
    m_tlsPane = NetworkPane("tlsPane", 2);
    UpdateTlsPane();
    g_tlsReceiver.SetChangeHandler([this] { UpdateTlsPane(); });
    m_forwardPane = NetworkPane("forwardPane", 3);
    m_forwardPane->hide();
    m_forwardTimer = new QTimer(this);
    connect(m_forwardTimer, &QTimer::timeout, this, &CMainFrame::UpdateForwardPane);
}

// Shown while there is a target, with the workers' counts once a second; without a target
// nothing is shown and no timer runs.
void CMainFrame::UpdateForwardPane() {
    const Forwarding::Totals totals = g_forwarding.Status();
    m_forwardPane->setVisible(totals.targets > 0);
    if (totals.targets > 0)
        m_forwardPane->setText(QString::fromStdString(Forwarding::StatusText(totals)));
    if (totals.targets > 0 && !m_forwardTimer->isActive())
        m_forwardTimer->start(kForwardPaneMs);
    else if (totals.targets == 0)
        m_forwardTimer->stop();
}

void CMainFrame::UpdateTlsPane() {
    m_tlsPane->setVisible(g_tlsReceiver.Port() != 0);
    m_tlsPane->setText(QString::fromStdString(g_tlsReceiver.StatusText()));
    const TcpErrorLog& errors = g_tlsReceiver.Errors();
    m_tlsPane->setToolTip(
        QStringLiteral("Handshakes failed: %1, not finished in time: %2, refused by the source "
                       "filter: %3, over the limit: %4, resets: %5, framing errors: %6")
            .arg(errors.CountOf(TcpError::kHandshake))
            .arg(errors.CountOf(TcpError::kHandshakeTimeout))
            .arg(errors.CountOf(TcpError::kRefused))
            .arg(errors.CountOf(TcpError::kOverLimit))
            .arg(errors.CountOf(TcpError::kReset))
            .arg(errors.CountOf(TcpError::kFraming)));
}

void CMainFrame::UpdateTcpPane() {
    m_tcpPane->setVisible(g_tcpReceiver.Port() != 0);
    m_tcpPane->setText(QString::fromStdString(g_tcpReceiver.StatusText()));
    const TcpErrorLog& errors = g_tcpReceiver.Errors();
    m_tcpPane->setToolTip(
        QStringLiteral("Resets: %1, framing errors: %2, refused: %3, over the limit: %4")
            .arg(errors.CountOf(TcpError::kReset))
            .arg(errors.CountOf(TcpError::kFraming))
            .arg(errors.CountOf(TcpError::kRefused))
            .arg(errors.CountOf(TcpError::kOverLimit)));
}

void CMainFrame::UpdateFilterPane() {
    const LiveListModel& model = m_view->Model();
    if (!m_filterPane) {
        if (!model.IsFiltered())
            return;
        // Made when first needed, so until then the bar holds its usual panes alone.
        m_filterPane = new QLabel(statusBar());
        m_filterPane->setTextFormat(Qt::PlainText);
        m_filterPane->setFrameShape(QFrame::Panel);
        m_filterPane->setFrameShadow(QFrame::Sunken);
        statusBar()->insertPermanentWidget(1, m_filterPane); // after the message pane
    }
    m_filterPane->setVisible(model.IsFiltered());
    if (model.IsFiltered())
        m_filterPane->setText(QStringLiteral("%1 of %2 rows")
                                  .arg(model.ShownMessageRowCount())
                                  .arg(model.HeldMessageRows()));
}

void CMainFrame::RememberText(const char* key, const std::string& value) {
    const std::string path = SettingsPath();
    m_settings.Load(path);
    m_settings.SetString(kSettingsSection, key, value);
    m_settings.Save(path);
}

void CMainFrame::RememberChoice(const char* key, bool on) {
    const std::string path = SettingsPath();
    m_settings.Load(path);
    m_settings.SetBool(kSettingsSection, key, on);
    m_settings.Save(path);
}
