#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/alerts/AlertsFile.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogRecord.h"
#include "gui/alerts/AlertRuleDialog.h"
#include "gui/alerts/AlertsDialog.h"
#include "gui/alerts/WindowAlerts.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindView.h"

namespace {
SyslogRecord Record(const char* text, int priority = 11) {
    SyslogRecord record;
    record.sourceAddress = "10.1.1.1";
    record.receiveTime = "Mar 05 09:05:03";
    record.facilityName = "user";
    record.severityName = priority % 8 == 3 ? "err" : "info";
    record.severity = priority % 8;
    record.priority = priority;
    record.messageText = text;
    return record;
}

void Send(CMainFrame& frame, const SyslogRecord& record) {
    frame.SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
}

AlertRule DiskRule(bool notify, bool highlight) {
    AlertRule rule;
    rule.name = "Disk";
    rule.condition.minimumSeverity = 3;
    rule.condition.text = "disk full";
    rule.actions.notify = notify;
    rule.actions.highlight = highlight;
    return rule;
}

QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs `script` on the next modal rule dialog once it is shown.
void OnNextRuleDialog(std::function<void(AlertRuleDialog&)> script) {
    auto drive = std::make_shared<std::function<void()>>();
    *drive = [script, drive] {
        auto* dialog = qobject_cast<AlertRuleDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, *drive);
            return;
        }
        *drive = nullptr;
        script(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    };
    QTimer::singleShot(0, *drive);
}

template <typename T> T* Child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}
} // namespace

class AlertsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ruleDialogRefusesWhatCannotRun_data();
    void ruleDialogRefusesWhatCannotRun();
    void rulesRoundTripThroughAlertsIni();
    void unchangedRulesLeaveAnUnreadableFileAlone();
    void matchingMessageCountsAndMarksItsRow();
    void closingAsksOnceWhetherToKeepRunningInTheTray_data();
    void closingAsksOnceWhetherToKeepRunningInTheTray();
    void closingWithoutANotifyingRuleAsksNothing();

private:
    std::unique_ptr<CMainFrame> Frame(const std::vector<AlertRule>& rules);
    std::string Path(const char* name) const { return g_programDir + name; }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::string> m_boxes;
    std::vector<std::string> m_questions;
    int m_answer = IDNO;
};

void AlertsTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    g_programDir = m_dir->path().toStdString() + "/";
    m_boxes.clear();
    m_questions.clear();
    SetMessageBoxHandler([this](const std::string& text) {
        m_boxes.push_back(text);
        return IDOK;
    });
    SetQuestionBoxHandler([this](const std::string& text) {
        m_questions.push_back(text);
        return m_answer;
    });
}

void AlertsTest::cleanup() {
    SetMessageBoxHandler(nullptr);
    SetQuestionBoxHandler(nullptr);
    m_dir.reset();
}

std::unique_ptr<CMainFrame> AlertsTest::Frame(const std::vector<AlertRule>& rules) {
    if (!rules.empty())
        WriteAlertsFile(Path(kAlertsFileName), rules);
    auto frame = std::make_unique<CMainFrame>();
    frame->Alerts().SetTrayAvailability([] { return true; });
    frame->LoadAlertRules();
    return frame;
}

void AlertsTest::ruleDialogRefusesWhatCannotRun_data() {
    QTest::addColumn<bool>("regex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("run");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("refusal"); // empty: accepted
    QTest::newRow("unclosed group") << true << "disk (full" << false << ""
                                    << "regular expression";
    QTest::newRow("nothing to repeat") << true << "*x" << false << ""
                                       << "regular expression";
    QTest::newRow("valid expression") << true << "disk (full|error)" << false << ""
                                      << "";
    QTest::newRow("bad pattern as plain text") << false << "disk (full" << false << ""
                                               << "";
    QTest::newRow("program not named") << false << "" << true << "  "
                                       << "program";
    QTest::newRow("program named") << false << "" << true << "/bin/true"
                                   << "";
}

void AlertsTest::ruleDialogRefusesWhatCannotRun() {
    QFETCH(bool, regex);
    QFETCH(QString, text);
    QFETCH(bool, run);
    QFETCH(QString, program);
    QFETCH(QString, refusal);
    AlertRuleDialog dialog(AlertRule{});
    dialog.show();
    Child<QComboBox>(dialog, "textKind")->setCurrentIndex(regex ? 1 : 0);
    Child<QLineEdit>(dialog, "text")->setText(text);
    Child<QCheckBox>(dialog, "run")->setChecked(run);
    Child<QLineEdit>(dialog, "program")->setText(program);
    dialog.accept();
    QCOMPARE(dialog.result() == QDialog::Accepted, refusal.isEmpty());
    QCOMPARE(dialog.isVisible(), !refusal.isEmpty());
    if (refusal.isEmpty()) {
        QVERIFY(m_boxes.empty());
        return;
    }
    QCOMPARE(m_boxes.size(), std::size_t{1});
    const QString box = QString::fromStdString(m_boxes[0]);
    QVERIFY2(box.contains(refusal), qPrintable(box));
    // The reason itself follows the colon.
    if (regex)
        QVERIFY2(box.section(QLatin1Char(':'), 1).trimmed().size() > 3, qPrintable(box));
}

void AlertsTest::rulesRoundTripThroughAlertsIni() {
    const std::string path = Path(kAlertsFileName);
    AlertsDialog dialog({}, path);
    dialog.show();
    const auto fill = [](const QString& name, const QString& arguments) {
        return [name, arguments](AlertRuleDialog& rule) {
            Child<QLineEdit>(rule, "name")->setText(name);
            Child<QCheckBox>(rule, "notify")->setChecked(true);
            Child<QCheckBox>(rule, "run")->setChecked(!arguments.isEmpty());
            Child<QLineEdit>(rule, "program")->setText(QStringLiteral("/usr/bin/logger"));
            Child<QPlainTextEdit>(rule, "arguments")->setPlainText(arguments);
            rule.accept();
        };
    };
    OnNextRuleDialog(fill("First", {}));
    dialog.Add();
    OnNextRuleDialog(fill("Second", "-t\n%app% said \"%message%\"; $(x)"));
    dialog.Add();
    OnNextRuleDialog(fill("Third", {}));
    dialog.Add();
    auto* list = Child<QListWidget>(dialog, "rules");
    QCOMPARE(list->count(), 3);
    list->setCurrentRow(0);
    OnNextRuleDialog([](AlertRuleDialog& rule) {
        Child<QLineEdit>(rule, "name")->setText(QStringLiteral("First, edited"));
        rule.accept();
    });
    dialog.EditCurrent();
    dialog.MoveCurrent(1); // First below Second
    list->item(0)->setCheckState(Qt::Unchecked);
    list->setCurrentRow(2);
    dialog.RemoveCurrent(); // Third
    list->setCurrentRow(0);
    dialog.MoveCurrent(-1); // already on top: nothing
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    const QByteArray bytes = FileBytes(path);
    QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
    const AlertsFileContent read = ReadAlertsFile(path);
    QVERIFY2(read.error.empty(), read.error.c_str());
    QCOMPARE(read.rules.size(), std::size_t{2});
    QCOMPARE(read.rules[0].name, std::string("Second"));
    QVERIFY(!read.rules[0].enabled);
    QCOMPARE(read.rules[0].actions.arguments,
             (std::vector<std::string>{"-t", "%app% said \"%message%\"; $(x)"}));
    QCOMPARE(read.rules[1].name, std::string("First, edited"));
    QVERIFY(read.rules[1].enabled && read.rules[1].actions.notify && !read.rules[1].actions.run);
    QVERIFY(read.rules == dialog.Rules());
}

void AlertsTest::unchangedRulesLeaveAnUnreadableFileAlone() {
    const std::string path = Path(kAlertsFileName);
    const QByteArray unreadable("[Alert 1]\r\nNAME = x\r\nTEXT = (\r\nTEXT_REGEX = true\r\n");
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(unreadable);
    file.close();
    auto frame = Frame({});
    QCOMPARE(m_boxes.size(), std::size_t{1}); // reported once
    frame->LoadAlertRules();
    QCOMPARE(m_boxes.size(), std::size_t{1});
    AlertsDialog dialog(frame->Alerts().Rules(), path);
    dialog.accept();
    QCOMPARE(FileBytes(path), unreadable);
}

void AlertsTest::matchingMessageCountsAndMarksItsRow() {
    auto frame = Frame({DiskRule(true, true)});
    LiveListModel& model = frame->GetActiveView()->Model();
    QSignalSpy raised(&frame->Alerts(), &WindowAlerts::RaiseRequested);
    QVERIFY(frame->Alerts().TrayIcon());

    Send(*frame, Record("all fine", 11));
    Send(*frame, Record("Disk FULL on /var", 14)); // info: below the rule's err
    frame->GetActiveView()->FlushPendingRows();
    QCOMPARE(frame->Alerts().Unseen(), 0);
    QVERIFY(!model.IsMarked(0) && !model.IsMarked(1));
    QVERIFY(model.data(model.index(0, 0), Qt::DecorationRole).isNull());

    Send(*frame, Record("Disk FULL on /var", 11));
    Send(*frame, Record("disk full again", 11)); // within the interval: counted, not shown
    frame->GetActiveView()->FlushPendingRows();
    QCOMPARE(frame->Alerts().Unseen(), 1);
    QVERIFY(model.IsMarked(0) && model.IsMarked(1) && !model.IsMarked(2));
    QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).isNull());
    QVERIFY(model.data(model.index(0, 1), Qt::DecorationRole).isNull());
    QCOMPARE(model.columnCount(), int(LiveListModel::ColumnCount));
    QVERIFY(frame->Alerts().TrayIcon()->toolTip().contains(QStringLiteral("1 alert")));

    emit frame->Alerts().TrayIcon()->activated(QSystemTrayIcon::Trigger);
    QCOMPARE(raised.count(), 1);
    QCOMPARE(frame->Alerts().Unseen(), 0);
}

void AlertsTest::closingAsksOnceWhetherToKeepRunningInTheTray_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("yes") << IDYES << QByteArray("TRAY = true\r\n");
    QTest::newRow("no") << IDNO << QByteArray("TRAY = false\r\n");
}

void AlertsTest::closingAsksOnceWhetherToKeepRunningInTheTray() {
    QFETCH(int, answer);
    QFETCH(QByteArray, line);
    m_answer = answer;
    auto frame = Frame({DiskRule(true, false)});
    QSignalSpy destroyed(frame.get(), &CMainFrame::Destroyed);
    frame->show();
    frame->close();
    QCOMPARE(m_questions.size(), std::size_t{1});
    QVERIFY(FileBytes(Path("Marovind.ini")).contains(line));
    QCOMPARE(destroyed.count(), answer == IDYES ? 0 : 1);
    QCOMPARE(frame->isVisible(), false);
    if (answer == IDYES) {
        frame->RaiseFromTray();
        QVERIFY(frame->isVisible());
        frame->close(); // the answer stands
        QCOMPARE(m_questions.size(), std::size_t{1});
        QCOMPARE(destroyed.count(), 0);
        frame->Exit(); // File > Exit ends it all the same
        QCOMPARE(destroyed.count(), 1);
    }
}

void AlertsTest::closingWithoutANotifyingRuleAsksNothing() {
    auto frame = Frame({DiskRule(false, true)});
    QSignalSpy destroyed(frame.get(), &CMainFrame::Destroyed);
    frame->show();
    frame->close();
    QVERIFY(m_questions.empty());
    QCOMPARE(destroyed.count(), 1);
    QVERIFY(!FileBytes(Path("Marovind.ini")).contains("TRAY"));
    QVERIFY(!frame->Alerts().TrayIcon());
}

QTEST_MAIN(AlertsTest)
#include "alerts_test.moc"
