#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogRecord.h"
#include "gui/framework/CommandIds.h"
#include "gui/framework/PrintDialogs.h"
#include "gui/mainframe/FilterBar.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindView.h"
#include "gui/viewer/LogViewerTemplate.h"

namespace {
struct Row {
    const char* address;
    const char* facility;
    const char* severity;
    const char* text;
};
// One row per severity, by value; row 5 has no facility. Addresses share leading digits.
const Row kRows[] = {
    {"10.1.7.3", "kern", "emerg", "Link DOWN eth0"},
    {"10.10.1.1", "daemon", "alert", "link up eth1"},
    {"10.1.0.9", "local0", "crit", "disk full"},
    {"192.168.1.10", "auth", "err", "LINK flap"},
    {"10.1.7.30", "user", "warn", "fan slow"},
    {"110.1.2.3", nullptr, "notice",
     "Gr\xc3\xbc\xc3\x9f"
     "e link"},
    {"10.100.0.1", "user", "info", "ping [a-z]*"},
    {"10.1.7.3", "user", "debug", "trace link"},
};

SyslogRecord Record(const Row& row) {
    SyslogRecord record;
    record.sourceAddress = row.address;
    record.receiveTime = "Mar 05 09:05:03";
    record.facilityName = row.facility;
    record.severityName = row.severity;
    record.severity = static_cast<int>(&row - kRows); // a row per severity, by value
    record.messageText = row.text;
    return record;
}

void Send(CMainFrame& frame, const SyslogRecord& record) {
    frame.SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
}

void SendRows(CMainFrame& frame, int times = 1) {
    for (int i = 0; i < times; ++i)
        for (const Row& row : kRows)
            Send(frame, Record(row));
    frame.GetActiveView()->FlushPendingRows();
}

// The shown message rows, top to bottom, as indexes into kRows.
QString ShownRows(const LiveListModel& model) {
    QString shown;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QString text = model.index(row, LiveListModel::MessageColumn).data().toString();
        for (int i = 0; i < 8; ++i)
            if (text == QString::fromUtf8(kRows[i].text))
                shown += QChar('0' + i);
    }
    return shown;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int PdfPages(const QString& path) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return static_cast<int>(QString::fromLatin1(ReadFile(path)).count(page));
}
} // namespace

class ListFilterTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        g_programDir = m_dir->path().toStdString() + "/";
        m_previous = SetMessageBoxHandler([](const std::string&) { return IDOK; });
        m_frame = std::make_unique<CMainFrame>();
        m_frame->GetActiveView()->AddStartupRows({"10.9.9.9"});
    }
    void cleanup() {
        m_frame.reset();
        m_viewer.reset();
        SetMessageBoxHandler(std::move(m_previous));
        m_dir.reset();
    }

    // The sender box splits IPv6 addresses at colons, as it splits IPv4 ones at dots.
    void ipv6SenderByWholeGroups_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("matches");
        QTest::newRow("first groups") << "2001:db8:"
                                      << "2001:db8::1" << true;
        QTest::newRow("not a longer group") << "2001:db8:"
                                            << "2001:db80::1" << false;
        QTest::newRow("without the colon") << "2001:db8"
                                           << "2001:db8::1" << true;
        QTest::newRow("without the colon, longer group") << "2001:db8"
                                                         << "2001:db80::1" << false;
        QTest::newRow("upper case typed") << "2001:DB8:"
                                          << "2001:db8::1" << true;
        QTest::newRow("whole address") << "::1"
                                       << "::1" << true;
        QTest::newRow("whole address, not a longer one") << "::1"
                                                         << "::12" << false;
        QTest::newRow("up to the zero run") << "2001:db8::"
                                            << "2001:db8::1" << true;
        QTest::newRow("IPv4 unchanged") << "10.1"
                                        << "10.1.7.3" << true;
        QTest::newRow("IPv4 typed, IPv6 sender") << "10.1"
                                                 << "10:1::1" << false;
    }
    void ipv6SenderByWholeGroups() {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QFETCH(bool, matches);
        QCOMPARE(RowFilter(-1, typed, {}).Matches(6, address.toStdString(), "text"), matches);
    }

    void filterSemantics_data() {
        QTest::addColumn<int>("severity");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown"); // newest on top
        QTest::newRow("all") << -1 << ""
                             << ""
                             << "76543210";
        const char* names[] = {"emerg",   "alert",  "crit", "err",
                               "warning", "notice", "info", "debug"};
        for (int severity = 0; severity < 8; ++severity) {
            QString shown;
            for (int row = severity; row >= 0; --row)
                shown += QChar('0' + row);
            QTest::newRow(names[severity]) << severity << ""
                                           << "" << shown;
        }
        QTest::newRow("10.1. not 10.10 or 110.1") << -1 << "10.1."
                                                  << ""
                                                  << "7420";
        QTest::newRow("10.1 whole parts") << -1 << "10.1"
                                          << ""
                                          << "7420";
        QTest::newRow("10 whole part") << -1 << "10"
                                       << ""
                                       << "764210";
        QTest::newRow("whole address, not .30") << -1 << "10.1.7.3"
                                                << ""
                                                << "70";
        QTest::newRow("three parts") << -1 << " 10.1.7. "
                                     << ""
                                     << "740";
        QTest::newRow("no such sender") << -1 << "10.2."
                                        << ""
                                        << "";
        QTest::newRow("text any case") << -1 << ""
                                       << "LiNk"
                                       << "75310";
        QTest::newRow("text beyond ASCII, other case") << -1 << ""
                                                       << "GR\xc3\x9c\xc3\x9f"
                                                       << "5";
        QTest::newRow("text literally") << -1 << ""
                                        << "[a-z]*"
                                        << "6";
        QTest::newRow("blank is text") << -1 << ""
                                       << "k f"
                                       << "32";
        QTest::newRow("all three") << 4 << "10.1."
                                   << "link"
                                   << "0";
    }
    void filterSemantics() {
        QFETCH(int, severity);
        QFETCH(QString, address);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        SendRows(*m_frame);
        CMyMarovindView& view = *m_frame->GetActiveView();
        view.ApplyFilter(RowFilter(severity, address, text));
        QCOMPARE(ShownRows(view.Model()), shown);
        // The start-up rows stay below; nothing is dropped.
        const int rows = view.Model().rowCount();
        QCOMPARE(view.Model().index(rows - 1, 3).data().toString(),
                 QString("Marovind Version 1.0"));
        QCOMPARE(view.Model().HeldRowCount(), std::size_t{10});
        // Rows that arrive while filtered show when they match.
        SendRows(*m_frame);
        QCOMPARE(ShownRows(view.Model()), shown + shown);
        view.ApplyFilter(RowFilter());
        QCOMPARE(ShownRows(view.Model()), QString("7654321076543210"));
    }

    void readingPositionAcrossFilters() {
        CMyMarovindView& view = *m_frame->GetActiveView();
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        SendRows(*m_frame, 100);
        QApplication::processEvents();
        const auto text = [&](int row) { return view.Model().index(row, 3).data().toString(); };
        view.scrollTo(view.Model().index(405, 0), QAbstractItemView::PositionAtTop);
        QCOMPARE(text(view.rowAt(0)), QString("disk full"));
        view.ApplyFilter(RowFilter(-1, {}, "link")); // the nearest older match goes on top
        QCOMPARE(text(view.rowAt(0)), QString("link up eth1"));
        QVERIFY(view.rowAt(0) > 0);
        SendRows(*m_frame); // arriving rows leave it in place
        QApplication::processEvents();
        QCOMPARE(view.Model().SequenceOfRow(view.rowAt(0)), std::optional<std::uint64_t>(393));
        view.ApplyFilter(RowFilter());
        QCOMPARE(view.Model().SequenceOfRow(view.rowAt(0)), std::optional<std::uint64_t>(393));
        view.scrollToTop();
        view.ApplyFilter(RowFilter(0, {}, {})); // at the top: newest on top
        QCOMPARE(view.rowAt(0), 0);
    }

    void boundCountsHiddenRows() {
        QFile ini(m_dir->filePath("Marovind.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Marovind]\r\nLIST_ROWS = 12\r\n");
        ini.close();
        m_frame->OpenLogFiles();
        m_frame->ApplyListSettings();
        CMyMarovindView& view = *m_frame->GetActiveView();
        view.ApplyFilter(RowFilter(5, {}, {}));
        SendRows(*m_frame, 3); // 24 rows: the oldest 12 leave, hidden or not
        QCOMPARE(ShownRows(view.Model()), QString("54321054"));
        QCOMPARE(view.Model().HeldMessageRows(), std::size_t{12});
        QCOMPARE(ReadFile(m_dir->filePath("syslog.log")).count('\n'), 24);
        view.ApplyFilter(RowFilter());
        QCOMPARE(ShownRows(view.Model()), QString("765432107654"));
    }

    void severityColours() {
        m_frame->OpenLogFiles();
        SendRows(*m_frame);
        const LiveListModel& model = m_frame->GetActiveView()->Model();
        const auto tint = [&](int row) { return model.index(row, 3).data(Qt::BackgroundRole); };
        QVERIFY(!tint(0).isValid()); // off by default
        QAction* colours = m_frame->CommandAction(ID_VIEW_SEVERITY_COLOURS);
        colours->trigger();
        // Rows top to bottom: debug, info, notice (no facility), warning, error, crit...
        QVERIFY(!tint(1).isValid());
        QVERIFY(model.index(0, 3).data(Qt::ForegroundRole).isValid()); // debug dimmed
        QList<QColor> seen;
        for (int row = 2; row <= 7; ++row) {
            QVERIFY2(tint(row).isValid(), qPrintable(QString::number(row)));
            seen << tint(row).value<QBrush>().color();
        }
        QVERIFY(seen[0] != seen[1] && seen[1] != seen[2] && seen[2] != seen[3]);
        QCOMPARE(seen[3], seen[5]); // emergency, alert and critical alike
        QVERIFY(seen[3].alpha() > seen[2].alpha() && seen[2].alpha() > seen[0].alpha());
        QVERIFY(!tint(8).isValid() && !tint(9).isValid()); // start-up rows
        colours->trigger();
        QVERIFY(!tint(3).isValid());
    }

    void viewMenuAndKeysWrittenOnChange() {
        m_frame->OpenLogFiles();
        m_frame->ApplyListSettings();
        const QByteArray firstStart = ReadFile(m_dir->filePath("Marovind.ini"));
        QCOMPARE(firstStart.count("\r\n"), 4);
        QAction* colours = m_frame->CommandAction(ID_VIEW_SEVERITY_COLOURS);
        QAction* bar = m_frame->CommandAction(ID_VIEW_FILTER_BAR);
        QVERIFY(colours && bar && colours->isCheckable() && bar->isCheckable());
        QVERIFY(!colours->isChecked() && !bar->isChecked());
        QCOMPARE(bar->shortcut(), QKeySequence("Ctrl+F"));

        m_frame->show();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
        auto* filterBar = m_frame->GetFilterBar();
        QVERIFY(!filterBar->isVisible());
        QTest::keyClick(m_frame.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isChecked() && filterBar->isVisible());
        QVERIFY(filterBar->geometry().bottom() < m_frame->GetActiveView()->geometry().top());
        QVERIFY(ReadFile(m_dir->filePath("Marovind.ini")).contains("FILTER_BAR = true\r\n"));
        QVERIFY(!ReadFile(m_dir->filePath("Marovind.ini")).contains("SEVERITY_COLOURS"));
        colours->trigger();
        QVERIFY(ReadFile(m_dir->filePath("Marovind.ini")).contains("SEVERITY_COLOURS = true\r\n"));

        // The pane "N of M rows" while a filter is set.
        SendRows(*m_frame, 2);
        QVERIFY(!m_frame->FilterStatusLabel());
        auto* text = filterBar->findChild<QLineEdit*>("FilterText");
        QTest::keyClicks(text, "LINK");
        QCOMPARE(m_frame->FilterStatusLabel()->text(), QString("10 of 16 rows"));
        filterBar->findChild<QComboBox*>("FilterSeverity")->setCurrentIndex(4); // Warning
        QCOMPARE(m_frame->FilterStatusLabel()->text(), QString("6 of 16 rows"));
        SendRows(*m_frame);
        QCOMPARE(m_frame->FilterStatusLabel()->text(), QString("9 of 24 rows"));
        filterBar->findChild<QPushButton*>("FilterClear")->click();
        QVERIFY(text->text().isEmpty() && !m_frame->FilterStatusLabel()->isVisible());
        QCOMPARE(m_frame->GetActiveView()->Model().rowCount(), 26);

        // Closing the bar lets every row through; reopening keeps no values.
        QTest::keyClicks(text, "disk");
        QCOMPARE(m_frame->GetActiveView()->Model().rowCount(), 5);
        bar->trigger();
        QCOMPARE(m_frame->GetActiveView()->Model().rowCount(), 26);
        QVERIFY(ReadFile(m_dir->filePath("Marovind.ini")).contains("FILTER_BAR = false\r\n"));

        // Read back at the next start.
        colours->trigger();
        bar->trigger();
        m_frame.reset();
        m_frame = std::make_unique<CMainFrame>();
        m_frame->OpenLogFiles();
        m_frame->ApplyListSettings();
        QVERIFY(!m_frame->CommandAction(ID_VIEW_SEVERITY_COLOURS)->isChecked());
        QVERIFY(m_frame->CommandAction(ID_VIEW_FILTER_BAR)->isChecked());
        QVERIFY(!m_frame->GetActiveView()->Model().IsFiltered());
    }

    void viewMenuOrder() {
        QMenu* view = nullptr;
        for (QMenu* menu : m_frame->findChildren<QMenu*>())
            if (menu->title() == "&View")
                view = menu;
        QVERIFY(view);
        QStringList items;
        for (QAction* action : view->actions())
            items << action->text();
        QCOMPARE(items, QStringList({"&Toolbar", "&Status Bar", "Severity &Colours", "&Filter Bar",
                                     "C&olumns"}));
    }

    void printShowsShownRows() {
        m_viewer = std::make_unique<LogViewerTemplate>();
        m_frame->SetLogViewerTemplate(m_viewer.get());
        const QString pdf = m_dir->filePath("list.pdf");
        PrintDialogs::SetPrintDialog([&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        SendRows(*m_frame, 40); // 320 rows: several pages
        m_frame->OnFilePrint();
        const int all = PdfPages(pdf);
        QVERIFY(all > 2);
        m_frame->GetActiveView()->ApplyFilter(RowFilter(0, {}, {}));
        m_frame->OnFilePrint();
        QCOMPARE(PdfPages(pdf), 1);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LogViewerTemplate> m_viewer; // outlives the window that uses it
    std::unique_ptr<CMainFrame> m_frame;
    MessageBoxHandler m_previous;
};

QTEST_MAIN(ListFilterTest)
#include "list_filter_test.moc"
