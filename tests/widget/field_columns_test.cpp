#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <string>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogRecord.h"
#include "gui/framework/CommandIds.h"
#include "gui/mainframe/ExportCommand.h"
#include "gui/mainframe/FieldText.h"
#include "gui/mainframe/FilterBar.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindView.h"

namespace {
struct Row {
    const char* address;
    const char* text; // after the priority
};
// A mixed stream, oldest first: RFC 5424, BSD with and without host, Cisco, no header.
const Row kRows[] = {
    {"10.0.0.1", "1 2003-10-11T22:14:15.003Z web-3 sshd 42 ID47 [a@1 x=\"1\"] \xEF\xBB\xBFok"},
    {"10.0.0.2", "Mar  5 09:05:03 WEB-30 sshd[7]: Accepted, \"key\""},
    {"10.0.0.3", "Mar  5 09:05:03 CRON[9]: job"},
    {"10.0.0.4", "7: *Mar  1 18:46:11.123: %SYS-5-CONFIG_I: Configured"},
    {"10.0.0.5", "plain text \xFF byte"},
    {"10.0.0.6", "Mar  5 09:05:03 web-4 kernel: eth0 up"},
};
constexpr int kRowCount = 6;

void SendRows(CMainFrame& frame) {
    for (const Row& row : kRows) {
        SyslogRecord record;
        record.sourceAddress = row.address;
        record.receiveTime = "Mar 05 09:05:03";
        record.facilityName = row.address[7] == '5' ? nullptr : "auth";
        record.severityName = "info";
        record.severity = 6;
        record.messageText = row.text;
        frame.SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
    }
    frame.GetActiveView()->FlushPendingRows();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Reads an export with Python's csv or json module: one line per row, the named values
// joined by "|", a JSON null written as "None".
std::optional<QString> ReadBackWithPython(const QString& path, bool json) {
    const QString script = QStringLiteral(
        "import csv, json, sys\n"
        "names = ['address', 'facility', 'sent', 'host', 'app', 'pid', 'msgid', 'sd', "
        "'message', 'raw']\n"
        "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
        "    rows = [json.loads(l) for l in f] if sys.argv[2] == 'json' else "
        "list(csv.DictReader(f))\n"
        "for r in rows:\n"
        "    assert len(r) == 12, r\n"
        "    print('|'.join(str(r[n]) for n in names))\n");
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), script, path, json ? "json" : "csv"});
    if (!python.waitForStarted(30000))
        return std::nullopt; // no Python here (a Windows build under wine)
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return "python failed: " + QString::fromUtf8(python.readAllStandardError());
    return QString::fromUtf8(python.readAllStandardOutput());
}
} // namespace

class FieldColumnsTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        g_programDir = m_dir->path().toStdString() + "/";
        m_messages.clear();
        m_previous = SetMessageBoxHandler([this](const std::string& text) {
            m_messages << QString::fromStdString(text);
            return IDOK;
        });
        m_frame = std::make_unique<CMainFrame>();
        m_frame->OpenLogFiles();
        m_frame->ApplyListSettings();
        m_frame->GetActiveView()->AddStartupRows({"10.9.9.9"});
    }
    void cleanup() {
        m_frame.reset();
        SetMessageBoxHandler(std::move(m_previous));
        m_dir.reset();
    }

    // With every field column on, each row shows its own fields; turned off, the list is
    // as before. The row with the 5424 time shows it in local time.
    void mixedStreamFields() {
        SendRows(*m_frame);
        const LiveListModel& model = m_frame->GetActiveView()->Model();
        QCOMPARE(model.index(0, LiveListModel::MessageColumn).data().toString(),
                 QString("Mar  5 09:05:03 web-4 kernel: eth0 up"));
        for (int i = 0; i < int(kFieldCount); ++i)
            m_frame->CommandAction(ID_VIEW_FIELD_FIRST + i)->trigger();
        QCOMPARE(model.columnCount(), 10);
        QVERIFY(ReadFile(m_dir->filePath("Marovind.ini"))
                    .contains("COLUMNS = sent,host,app,pid,msgid,sd\r\n"));
        const QString sent5424 = LocalSentTime(ParseMessageFields(kRows[0].text).sent);
        QVERIFY(sent5424.endsWith(".003") && sent5424.startsWith("2003-10-1"));
        // Top row first: sent, host, app, pid, msgid, sd, message.
        const QStringList expected[kRowCount] = {
            {"Mar  5 09:05:03", "web-4", "kernel", "", "", "", "eth0 up"},
            {"", "", "", "", "", "", QString::fromUtf8("plain text \xC3\xBF byte")},
            {"Mar  1 18:46:11.123", "", "SYS-5-CONFIG_I", "", "", "", "Configured"},
            {"Mar  5 09:05:03", "", "CRON", "9", "", "", "job"},
            {"Mar  5 09:05:03", "WEB-30", "sshd", "7", "", "", "Accepted, \"key\""},
            {sent5424, "web-3", "sshd", "42", "ID47", "[a@1 x=\"1\"]", "ok"}};
        for (int row = 0; row < kRowCount; ++row) {
            QStringList shown;
            for (int column = LiveListModel::ColumnCount; column < 10; ++column)
                shown << model.index(row, column).data().toString();
            shown << model.index(row, LiveListModel::MessageColumn).data().toString();
            QCOMPARE(shown, expected[row]);
        }
        QCOMPARE(model.index(0, 5).data(Qt::ToolTipRole).toString(),
                 QString("Mar  5 09:05:03 web-4 kernel: eth0 up"));
        // New columns go just before Message.
        const QHeaderView* header = m_frame->GetActiveView()->horizontalHeader();
        QCOMPARE(header->logicalIndex(header->count() - 1), int(LiveListModel::MessageColumn));
        for (int i = 0; i < int(kFieldCount); ++i)
            m_frame->CommandAction(ID_VIEW_FIELD_FIRST + i)->trigger();
        QCOMPARE(model.columnCount(), 4);
        QVERIFY(!model.index(0, 3).data(Qt::ToolTipRole).isValid());
        QCOMPARE(model.index(0, 3).data().toString(), QString(kRows[5].text));
        QVERIFY(ReadFile(m_dir->filePath("Marovind.ini")).contains("COLUMNS = \r\n"));
    }

    // The operator's order and widths are written when the window closes and read back at
    // the next start.
    void layoutReadBack() {
        QVERIFY(!ReadFile(m_dir->filePath("Marovind.ini")).contains("COLUMN"));
        m_frame->show(); // the last column stretches to the window
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        m_frame->CommandAction(ID_VIEW_FIELD_FIRST + int(Field::App))->trigger();
        m_frame->CommandAction(ID_VIEW_FIELD_FIRST + int(Field::Host))->trigger();
        QHeaderView* header = m_frame->GetActiveView()->horizontalHeader();
        // Turned on before the first message, Message still fits its widest cell after it.
        SendRows(*m_frame);
        QVERIFY(header->sectionSize(LiveListModel::MessageColumn) >
                2 * header->sectionSize(LiveListModel::TimeColumn));
        header->moveSection(header->visualIndex(LiveListModel::MessageColumn), 0);
        header->resizeSection(LiveListModel::MessageColumn, 300);
        header->resizeSection(LiveListModel::ColumnCount + 1, 70); // app
        const std::string layout = m_frame->GetActiveView()->ColumnLayout();
        QVERIFY2(layout.starts_with("message:300,time:"), layout.c_str());
        QVERIFY2(layout.find(",app:70,host:") != std::string::npos, layout.c_str());
        m_frame.reset();
        QVERIFY(ReadFile(m_dir->filePath("Marovind.ini")).contains("COLUMNS = host,app\r\n"));
        QVERIFY(ReadFile(m_dir->filePath("Marovind.ini")).contains("COLUMN_LAYOUT = message:300,"));
        m_frame = std::make_unique<CMainFrame>();
        m_frame->OpenLogFiles();
        m_frame->ApplyListSettings();
        QCOMPARE(m_frame->GetActiveView()->Model().FieldColumns().Text(), std::string("host,app"));
        // The last column may stretch to the window's width.
        const auto beforeLastWidth = [](std::string text) {
            return text.substr(0, text.rfind(':'));
        };
        QCOMPARE(beforeLastWidth(m_frame->GetActiveView()->ColumnLayout()),
                 beforeLastWidth(layout));
        QVERIFY(m_frame->GetFilterBar()
                    ->findChild<QLineEdit*>("FilterHost")
                    ->isVisibleTo(m_frame->GetFilterBar()));
    }

    void filterBoxes_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("app");
        QTest::addColumn<int>("rows"); // message rows shown
        QTest::newRow("host start, any case") << "WEB-3"
                                              << "" << 2;
        QTest::newRow("host and app") << "web"
                                      << "SSHD" << 2;
        QTest::newRow("app start") << ""
                                   << "sys-5" << 1;
        QTest::newRow("no such host") << "db"
                                      << "" << 0;
        QTest::newRow("no start in the middle") << "eb-3"
                                                << "" << 0;
    }
    void filterBoxes() {
        QFETCH(QString, host);
        QFETCH(QString, app);
        QFETCH(int, rows);
        SendRows(*m_frame);
        m_frame->CommandAction(ID_VIEW_FIELD_FIRST + int(Field::Host))->trigger();
        FilterBar* bar = m_frame->GetFilterBar();
        bar->findChild<QLineEdit*>("FilterHost")->setText(host);
        bar->findChild<QLineEdit*>("FilterApp")->setText(app);
        QCOMPARE(int(m_frame->GetActiveView()->Model().ShownMessageRowCount()), rows);
        // Without field columns the boxes are hidden and empty.
        m_frame->CommandAction(ID_VIEW_FIELD_FIRST + int(Field::Host))->trigger();
        QCOMPARE(int(m_frame->GetActiveView()->Model().ShownMessageRowCount()), kRowCount);
    }

    // A filtered list, oldest row first, read back by Python's csv and json modules.
    void exportFilteredRows_data() {
        QTest::addColumn<bool>("json");
        QTest::newRow("csv") << false;
        QTest::newRow("json lines") << true;
    }
    void exportFilteredRows() {
        QFETCH(bool, json);
        SendRows(*m_frame);
        m_frame->GetActiveView()->ApplyFilter(RowFilter(-1, {}, {}, "web", {}));
        const QString path = m_dir->filePath(json ? "rows.jsonl" : "rows.csv");
        const auto format = json ? ExportFormat::JsonLines : ExportFormat::Csv;
        QCOMPARE(ExportShownRows(m_frame->GetActiveView()->Model(), path, format,
                                 [](std::size_t, std::size_t) { return true; }),
                 ExportOutcome::Written);
        const QString none = json ? "None" : "";
        const QStringList expected = {
            "10.0.0.1|auth|2003-10-11T22:14:15.003Z|web-3|sshd|42|ID47|[a@1 x=\"1\"]|ok|" +
                QString::fromUtf8(kRows[0].text),
            "10.0.0.2|auth|Mar  5 09:05:03|WEB-30|sshd|7|" + none + "|" + none +
                "|Accepted, \"key\"|" + kRows[1].text,
            "10.0.0.6|auth|Mar  5 09:05:03|web-4|kernel|" + none + "|" + none + "|" + none +
                "|eth0 up|" + kRows[5].text};
        const std::optional<QString> readBack = ReadBackWithPython(path, json);
        if (!readBack)
            QSKIP("python3 cannot be started here");
        QCOMPARE(*readBack, expected.join('\n') + '\n');
    }

    // Nothing is left under the name after a cancel or a failure, and no temporary file.
    // A line break is held as received: shown and matched as a blank, exported whole.
    void lineBreaksShownAsBlanksExportedAsReceived() {
        SyslogRecord record;
        record.sourceAddress = "10.0.0.7";
        record.receiveTime = "Mar 05 09:05:03";
        record.messageText = "Mar  5 09:05:03 web-7 app: two\r\nlines";
        m_frame->SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
        CMyMarovindView& view = *m_frame->GetActiveView();
        view.FlushPendingRows();
        QCOMPARE(view.Model().index(0, LiveListModel::MessageColumn).data().toString(),
                 QString("Mar  5 09:05:03 web-7 app: two  lines"));
        view.ApplyFilter(RowFilter(-1, {}, "TWO  LINES", {}, {}));
        QCOMPARE(view.Model().ShownMessageRowCount(), std::size_t{1});
        const QString path = m_dir->filePath("breaks.jsonl");
        QCOMPARE(ExportShownRows(view.Model(), path, ExportFormat::JsonLines,
                                 [](std::size_t, std::size_t) { return true; }),
                 ExportOutcome::Written);
        QVERIFY2(ReadFile(path).contains("\"raw\":\"Mar  5 09:05:03 web-7 app: two\\u000d\\u000alines\""),
                 ReadFile(path).constData());
    }

    void cancelAndFailureLeaveNothing() {
        SendRows(*m_frame);
        const QString path = m_dir->filePath("cancelled.csv");
        QCOMPARE(ExportShownRows(m_frame->GetActiveView()->Model(), path, ExportFormat::Csv,
                                 [](std::size_t, std::size_t) { return false; }),
                 ExportOutcome::Cancelled);
        QVERIFY(!QFile::exists(path));
        QVERIFY(
            QDir(m_dir->path()).entryList({"cancelled*"}, QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(m_messages.isEmpty());
        const QString unwritable = m_dir->filePath("no-such-dir/rows.csv");
        QCOMPARE(ExportShownRows(m_frame->GetActiveView()->Model(), unwritable, ExportFormat::Csv,
                                 [](std::size_t, std::size_t) { return true; }),
                 ExportOutcome::Failed);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains("no-such-dir/rows.csv"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CMainFrame> m_frame;
    MessageBoxHandler m_previous;
    QStringList m_messages;
};

QTEST_MAIN(FieldColumnsTest)
#include "field_columns_test.moc"
