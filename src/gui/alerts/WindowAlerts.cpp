#include "gui/alerts/WindowAlerts.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include "core/platform/MessageBox.h"
#include "core/reception/SyslogRecord.h"
#include "gui/framework/DisplayText.h"

namespace {
QString Decoded(const std::string& bytes) {
    return DecodeLogBytes(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
}

// The program's icon with the count in a red disc at its lower right.
QIcon BadgeIcon(int count) {
    QPixmap pixmap = QApplication::windowIcon().pixmap(64, 64);
    if (pixmap.isNull()) {
        pixmap = QPixmap(64, 64);
        pixmap.fill(Qt::darkGray);
    }
    if (count <= 0)
        return QIcon(pixmap);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect disc(24, 24, 40, 40);
    painter.setBrush(QColor(200, 0, 0));
    painter.setPen(Qt::white);
    painter.drawEllipse(disc);
    QFont font = painter.font();
    font.setPixelSize(count > 99 ? 16 : 24);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(disc, Qt::AlignCenter,
                     count > 99 ? QStringLiteral("99+") : QString::number(count));
    return QIcon(pixmap);
}
} // namespace

WindowAlerts::WindowAlerts(QObject* parent)
    // A program that cannot be started is told after the message was dealt with, so that
    // no box waits inside the reception.
    : QObject(parent), m_programs([this](const std::string& line) {
          QTimer::singleShot(0, this, [line] { AfxMessageBox(line); });
      }) {
    m_dispatcher.SetListener([this](const Alert& alert) { OnAlert(alert); });
    m_trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
}

WindowAlerts::~WindowAlerts() = default;

void WindowAlerts::Load() {
    SetRules(m_loader.Load());
}

void WindowAlerts::SetRules(std::vector<AlertRule> rules) {
    m_dispatcher.SetRules(std::move(rules));
    ShowTrayIcon(AnyNotification());
}

bool WindowAlerts::AnyNotification() const {
    return m_dispatcher.AnyEnabled(&AlertActions::notify);
}

bool WindowAlerts::Deliver(const SyslogRecord& record) {
    return m_dispatcher.Deliver(record).highlight;
}

QString WindowAlerts::NotificationBody(const Alert& alert) {
    const AlertValues& v = alert.values;
    QString body = Decoded(v.time + " " + v.address + " " + FlattenLineBreaks(v.message.c_str()));
    if (body.size() > kBodyLength)
        body = body.left(kBodyLength - 3) + QStringLiteral("...");
    if (alert.heldBack > 0)
        body += QStringLiteral(" (and %1 more)").arg(alert.heldBack);
    return body;
}

void WindowAlerts::OnAlert(const Alert& alert) {
    const AlertActions& actions = alert.rule.actions;
    if (actions.sound)
        QApplication::beep();
    if (!actions.notify)
        return;
    ++m_unseen;
    UpdateTrayIcon();
    if (m_tray && QSystemTrayIcon::supportsMessages())
        m_tray->showMessage(Decoded(alert.rule.name), NotificationBody(alert));
}

void WindowAlerts::MarkSeen() {
    m_unseen = 0;
    UpdateTrayIcon();
}

void WindowAlerts::ShowTrayIcon(bool on) {
    if (on && !m_tray) {
        m_tray = new QSystemTrayIcon(this);
        const auto raise = [this] {
            MarkSeen();
            emit RaiseRequested();
        };
        connect(m_tray, &QSystemTrayIcon::activated, this, raise);
        connect(m_tray, &QSystemTrayIcon::messageClicked, this, raise);
        UpdateTrayIcon();
    }
    if (m_tray)
        m_tray->setVisible(on);
}

void WindowAlerts::UpdateTrayIcon() {
    if (!m_tray)
        return;
    m_tray->setIcon(BadgeIcon(m_unseen));
    m_tray->setToolTip(m_unseen == 0 ? QStringLiteral("Marovind")
                                     : QStringLiteral("Marovind: %1 alert%2 not seen")
                                           .arg(m_unseen)
                                           .arg(m_unseen == 1 ? "" : "s"));
}
