#pragma once
#include <cstdint>
#include <string>

#include <QMainWindow>

#include "core/fields/FieldNames.h"
#include "core/platform/MessageTarget.h"
#include "core/storage/LogFileSet.h"

class CMyMarovindView;
class FilterBar;
class WindowAlerts;
class LogViewerTemplate;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
struct SyslogRecord;

// The main window: menu, toolbar, status bar and the live list. It receives every
// accepted message (WM_SYSLOG_MESSAGE), shows it as the list's top row and has its log
// file set write it. It is the main window of the process from construction until it is
// closed or destroyed.
class CMainFrame : public QMainWindow, public MessageTarget, public LogFileSet {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Marovind - Tesk Syslog Message Daemon";

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Two thirds of the screen's size, a quarter of its own size from the top-left.
    static QRect InitialGeometry(const QSize& screen);

    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;

    static constexpr const char* kListRowsKey = "LIST_ROWS";
    // Written only when the operator toggles the item, so a first start writes neither.
    static constexpr const char* kSeverityColoursKey = "SEVERITY_COLOURS";
    static constexpr const char* kFilterBarKey = "FILTER_BAR";
    // The header field columns shown ("host,app"), and their order and widths once the
    // operator moved or sized a column; both written only when the operator changes them.
    static constexpr const char* kColumnsKey = "COLUMNS";
    static constexpr const char* kColumnLayoutKey = "COLUMN_LAYOUT";
    // Whether closing the window keeps the program running in the tray; asked and written
    // the first time the window is closed while a rule notifies.
    static constexpr const char* kTrayKey = "TRAY";
    // Moving or sizing a column is written this long after the last change.
    static constexpr int kLayoutSaveDelayMs = 500;

    CMyMarovindView* GetActiveView() const { return m_view; }
    // Takes the list's settings from the settings as loaded: the bound on message rows,
    // severity colours and the filter bar.
    void ApplyListSettings();
    // The view's first update: the start-up rows.
    void InitialUpdateFrame();
    // The action of a command of the menu, keys or toolbar (CommandIds.h); null if none.
    QAction* CommandAction(int commandId) const;
    QToolBar* ToolBar() const { return m_toolBar; }
    QLabel* IdleStatusLabel() const { return m_idleText; }
    FilterBar* GetFilterBar() const { return m_filterBar; }
    // The status pane "N of M rows"; null until a filter is first set.
    QLabel* FilterStatusLabel() const { return m_filterPane; }
    // The status pane "TCP: N connections", shown while TCP is on.
    QLabel* TcpStatusLabel() const { return m_tcpPane; }
    QLabel* TlsStatusLabel() const { return m_tlsPane; }
    // Shows "Forward: N queued, K dropped" while forwarding has a target; after start-up
    // and after the configuration changed.
    void UpdateForwardPane();
    bool IsDestroyed() const { return m_destroyed; }
    // The log viewer that File > Open uses and that closes with this window; its printer
    // also prints the live list. File > Open stays greyed until one is attached.
    void SetLogViewerTemplate(LogViewerTemplate* viewerTemplate);
    WindowAlerts& Alerts() const { return *m_alerts; }
    // alerts.ini from the program directory: the rules in force from now on.
    void LoadAlertRules();

signals:
    // The window was closed: the log files are closed and the application is to end.
    void Destroyed();

public slots:
    // File > Configure: the configuration sheet; the new settings are in force on return.
    void OnConfigure();
    // File > Open: a stored log file into the log viewer.
    void OnFileOpen();
    // Ctrl+P: the print dialog, then the live list's rows.
    void OnFilePrint();
    // File > Export...: the rows shown into a CSV or JSON Lines file.
    void OnFileExport();
    void OnHelpIndex();
    // Tools > Alerts...: the rules; on OK they are written and in force at once.
    void OnAlerts();
    // File > Exit: ends the program, whatever the tray choice.
    void Exit();
    // The window comes back from the tray or from behind others.
    void RaiseFromTray();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::intptr_t OnSyslogMessage(const SyslogRecord& record);
    void OnDestroy();
    bool KeepRunningInTray();
    QAction* AddCommand(int commandId, const QString& text, const QKeySequence& keys = {});
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateListChoices();
    void ShowFilterBar(bool on);
    void UpdateFilterPane();
    QLabel* NetworkPane(const char* objectName, int index);
    void CreateTcpPane();
    void UpdateTcpPane();
    void UpdateTlsPane();
    void RememberChoice(const char* key, bool on);
    void RememberText(const char* key, const std::string& value);
    void CreateColumnChoices();
    FieldSet ChosenFieldColumns() const;
    void ShowFieldColumns();
    void SaveColumnLayout();

    CMyMarovindView* m_view;
    QMenu* m_viewMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_idleText = nullptr;
    FilterBar* m_filterBar = nullptr;
    QLabel* m_filterPane = nullptr;
    QLabel* m_tcpPane = nullptr;
    QLabel* m_tlsPane = nullptr;
    QLabel* m_forwardPane = nullptr;
    QTimer* m_forwardTimer = nullptr;
    static constexpr int kForwardPaneMs = 1000;
    bool m_destroyed = false;
    bool m_exiting = false;
    WindowAlerts* m_alerts;
    LogViewerTemplate* m_viewerTemplate = nullptr;
    QTimer* m_layoutTimer = nullptr;
};
