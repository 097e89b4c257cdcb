#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QString>

#include "core/alerts/AlertDispatcher.h"
#include "core/alerts/AlertRulesLoader.h"
#include "core/alerts/ProgramRunner.h"

class QSystemTrayIcon;

// The alert rules in the window program: each accepted message is looked at by the rules
// as it is received; a notification goes to the tray icon, which counts the alerts not
// yet seen, a sound is the system's alert sound and a program is started by the runner.
// Without an enabled notification rule there is no tray icon.
class WindowAlerts : public QObject {
    Q_OBJECT
public:
    // The most characters of a message a notification shows.
    static constexpr int kBodyLength = 200;

    explicit WindowAlerts(QObject* parent = nullptr);
    ~WindowAlerts() override;

    // alerts.ini from the program directory; a file that cannot be used is reported once.
    void Load();
    // The rules in force from now on (after the dialog wrote them).
    void SetRules(std::vector<AlertRule> rules);
    const std::vector<AlertRule>& Rules() const { return m_dispatcher.Rules(); }
    bool AnyNotification() const;
    // True when the message is to be marked in the list.
    bool Deliver(const SyslogRecord& record);

    int Unseen() const { return m_unseen; }
    // The operator looked: the count starts again from zero.
    void MarkSeen();
    QSystemTrayIcon* TrayIcon() const { return m_tray; }
    // Whether the desktop shows tray icons; tests stand in for it.
    bool TrayAvailable() const { return m_trayAvailable(); }
    void SetTrayAvailability(std::function<bool()> available) {
        m_trayAvailable = std::move(available);
    }
    // "Disk full: Mar 05 09:05:03 10.1.1.1 disk full (and 3 more)", shortened.
    static QString NotificationBody(const Alert& alert);

signals:
    // The notification or the tray icon was clicked.
    void RaiseRequested();

private:
    void OnAlert(const Alert& alert);
    void ShowTrayIcon(bool on);
    void UpdateTrayIcon();

    ProgramRunner m_programs;
    AlertDispatcher m_dispatcher{&m_programs};
    AlertRulesLoader m_loader;
    QSystemTrayIcon* m_tray = nullptr;
    int m_unseen = 0;
    std::function<bool()> m_trayAvailable;
};
