#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

#include "core/platform/HostAddresses.h"
#include "core/platform/MessageBox.h"
#include "core/platform/MessageTarget.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogRecord.h"
#include "core/transport/TcpReceiver.h"
#include "gui/app/AboutDlg.h"
#include "gui/framework/CommandIds.h"
#include "gui/framework/GuiHelp.h"
#include "gui/framework/PropertySheet.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindView.h"
#include "gui/mainframe/RowArena.h"

namespace {
const QRegularExpression
    kTimePattern(QStringLiteral("^[A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d$"));
const QString kListening = QString::fromLatin1(CMyMarovindView::kListeningPrefix);

SyslogRecord Record(const char* address, const char* facility, const char* severity,
                    const char* text) {
    SyslogRecord record;
    record.sourceAddress = address;
    record.receiveTime = "Mar 05 09:05:03";
    record.facilityName = facility;
    record.severityName = severity;
    record.messageText = text;
    return record;
}

void WriteSettings(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Sends `count` messages whose texts are their numbers, from `first` on.
void SendNumbered(CMainFrame& frame, int first, int count);

std::intptr_t Send(CMainFrame& frame, const SyslogRecord& record) {
    return frame.SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
}

void SendNumbered(CMainFrame& frame, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        const std::string text = std::to_string(i);
        Send(frame, Record("10.0.0.1", "user", "info", text.c_str()));
    }
}

QString Cell(const CMainFrame& frame, int row, int column) {
    const auto& model = frame.GetActiveView()->Model();
    return model.data(model.index(row, column)).toString();
}

QStringList Column(const CMainFrame& frame, int column) {
    QStringList cells;
    for (int row = 0; row < frame.GetActiveView()->Model().rowCount(); ++row)
        cells << Cell(frame, row, column);
    return cells;
}
} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpRowsNewestAddressOnTop();
    void startUpRowsOfThisHost();
    void messageRowGoesAboveThePreviousOne();
    void messageCells_data();
    void messageCells();
    void widthsFitHeadersAtStartUpAndCellsAfterAMessage();
    void widthsOnlyGrow();
    void rowsAreHeldAtOnceAndShownInOneBatch();
    void rowArenaKeepsEveryRowAcrossChunks();
    void rowArenaDropsOldestAndFreesItsChunks();
    void messageIsLogged();
    void boundKeepsNewestMessageRowsAndStartUpRows_data();
    void boundKeepsNewestMessageRowsAndStartUpRows();
    void boundChangesOnConfigurationOk();
    void readingPositionStaysWhileRowsArrive_data();
    void readingPositionStaysWhileRowsArrive();
    void initialGeometry_data();
    void initialGeometry();
    void titleAndGeometryOnThisScreen();
    void commandsAndBars();
    void closingClosesLogFilesAndReleasesTheMainWindow();
    void helpIndex();
    void helpFileBesideTheProgramElseInstalled();
    void aboutDialog();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CMainFrame> m_frame;
    std::vector<std::string> m_boxes;
    MessageBoxHandler m_previousHandler;
};

void MainFrameTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    g_programDir = m_dir->path().toStdString() + "/";
    m_boxes.clear();
    m_previousHandler = SetMessageBoxHandler([this](const std::string& text) {
        m_boxes.push_back(text);
        return IDOK;
    });
    m_frame = std::make_unique<CMainFrame>();
}

void MainFrameTest::cleanup() {
    m_frame.reset();
    SetMessageBoxHandler(std::move(m_previousHandler));
    m_dir.reset();
}

void MainFrameTest::startUpRowsNewestAddressOnTop() {
    m_frame->GetActiveView()->AddStartupRows({"10.1.1.1", "10.2.2.2"});
    QCOMPARE(Column(*m_frame, 3), QStringList({kListening + "10.2.2.2", kListening + "10.1.1.1",
                                               "Marovind Version 1.0"}));
    QCOMPARE(Column(*m_frame, 1), QStringList({"local", "local", "local"}));
    QCOMPARE(Column(*m_frame, 2), QStringList({"user.info", "user.info", "user.info"}));
    for (const QString& time : Column(*m_frame, 0))
        QVERIFY2(kTimePattern.match(time).hasMatch(), qPrintable(time));
}

void MainFrameTest::startUpRowsOfThisHost() {
    m_frame->InitialUpdateFrame();
    QStringList expected;
    for (const std::string& address : HostIPv4Addresses())
        expected.prepend(kListening + QString::fromStdString(address));
    expected << "Marovind Version 1.0";
    QCOMPARE(Column(*m_frame, 3), expected);
}

void MainFrameTest::messageRowGoesAboveThePreviousOne() {
    m_frame->GetActiveView()->AddStartupRows({});
    QCOMPARE(Send(*m_frame, Record("10.0.0.1", "user", "notice", "first")), 1);
    QCOMPARE(Send(*m_frame, Record("10.0.0.2", "user", "notice", "second")), 1);
    m_frame->GetActiveView()->FlushPendingRows();
    QCOMPARE(Column(*m_frame, 3), QStringList({"second", "first", "Marovind Version 1.0"}));
    QCOMPARE(Column(*m_frame, 1).mid(0, 2), QStringList({"10.0.0.2", "10.0.0.1"}));
    QCOMPARE(Cell(*m_frame, 0, 0), QString("Mar 05 09:05:03"));
}

void MainFrameTest::messageCells_data() {
    QTest::addColumn<QByteArray>("facility"); // "-" stands for an absent name
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("shown");

    QTest::newRow("facility and severity")
        << QByteArray("auth") << QByteArray("su: failed") << "auth.err"
        << "su: failed";
    QTest::newRow("absent facility") << QByteArray("-") << QByteArray("x") << ".err"
                                     << "x";
    QTest::newRow("CR LF as blanks") << QByteArray("auth") << QByteArray("a\r\nb") << "auth.err"
                                     << "a  b";
    QTest::newRow("lone CR and LF") << QByteArray("auth") << QByteArray("\ra\nb\n") << "auth.err"
                                    << " a b ";
    QTest::newRow("markup stays text") << QByteArray("auth") << QByteArray("<b>x</b>") << "auth.err"
                                       << "<b>x</b>";
    QTest::newRow("valid UTF-8") << QByteArray("auth") << QByteArray("caf\xc3\xa9 \xe2\x82\xac")
                                 << "auth.err" << QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac");
    QTest::newRow("invalid UTF-8 as Latin-1") << QByteArray("auth") << QByteArray("caf\xe9 \xff")
                                              << "auth.err" << QString::fromLatin1("caf\xe9 \xff");
    QTest::newRow("mixed") << QByteArray("auth") << QByteArray("\xc3\xa9\xc3") << "auth.err"
                           << QString(QChar(0xE9)) + QChar(0xC3);
}

void MainFrameTest::messageCells() {
    QFETCH(QByteArray, facility);
    QFETCH(QByteArray, text);
    QFETCH(QString, type);
    QFETCH(QString, shown);
    const char* facilityName = facility == "-" ? nullptr : facility.constData();
    Send(*m_frame, Record("10.1.1.1", facilityName, "err", text.constData()));
    m_frame->GetActiveView()->FlushPendingRows();
    QCOMPARE(Cell(*m_frame, 0, 2), type);
    QCOMPARE(Cell(*m_frame, 0, 3), shown);
    const auto& model = m_frame->GetActiveView()->Model();
    QVERIFY(!model.data(model.index(0, 3), Qt::ToolTipRole).isValid());
}

void MainFrameTest::widthsFitHeadersAtStartUpAndCellsAfterAMessage() {
    CMyMarovindView& view = *m_frame->GetActiveView();
    QHeaderView& header = *view.horizontalHeader();
    view.AddStartupRows({});
    const QFontMetrics metrics(view.font());
    for (int column = 0; column < 3; ++column)
        QVERIFY(header.sectionSize(column) >= header.sectionSizeHint(column));
    QVERIFY(header.stretchLastSection());

    Send(*m_frame, Record("1.2.3.4", "user", "info", "hi"));
    view.FlushPendingRows();
    const int address = header.sectionSize(1);
    QVERIFY2(address < header.sectionSizeHint(1), "IP Address keeps the header's width");
    QVERIFY(address >= metrics.horizontalAdvance(QStringLiteral("1.2.3.4")));
    QVERIFY(address >= metrics.horizontalAdvance(QStringLiteral("local")));
    QVERIFY(!header.stretchLastSection());
    // The Message column fits its widest cell, the version row.
    const int message = header.sectionSize(3);
    QVERIFY(message >= metrics.horizontalAdvance(QStringLiteral("Marovind Version 1.0")));
    QVERIFY(message < metrics.horizontalAdvance(QStringLiteral("Marovind Version 1.0")) + 40);
}

void MainFrameTest::widthsOnlyGrow() {
    CMyMarovindView& view = *m_frame->GetActiveView();
    QHeaderView& header = *view.horizontalHeader();
    const QFontMetrics metrics(view.font());
    const std::string longText(200, 'W');
    const std::string accented = "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"
                                 "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9";
    const std::string wide = "\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad";

    Send(*m_frame, Record("255.255.255.255", "user", "info", longText.c_str()));
    view.FlushPendingRows();
    const int address = header.sectionSize(1);
    const int message = header.sectionSize(3);
    QVERIFY(message >= metrics.horizontalAdvance(QString::fromStdString(longText)));
    QVERIFY(address >= metrics.horizontalAdvance(QStringLiteral("255.255.255.255")));

    Send(*m_frame, Record("1.1.1.1", "user", "info", "short"));
    view.FlushPendingRows();
    QCOMPARE(header.sectionSize(1), address);
    QCOMPARE(header.sectionSize(3), message);

    // Text beyond ASCII is measured as shown.
    Send(*m_frame, Record(accented.c_str(), "user", "info", "x"));
    Send(*m_frame, Record("1.1.1.1", wide.c_str(), "info", "x"));
    view.FlushPendingRows();
    QVERIFY(header.sectionSize(1) >=
            metrics.horizontalAdvance(QString::fromUtf8(accented.c_str())));
    QVERIFY(header.sectionSize(2) >=
            metrics.horizontalAdvance(QString::fromUtf8(wide.c_str()) + ".info"));
}

void MainFrameTest::rowsAreHeldAtOnceAndShownInOneBatch() {
    CMyMarovindView& view = *m_frame->GetActiveView();
    LiveListModel& model = view.Model();
    view.AddStartupRows({});
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 5; ++i)
        Send(*m_frame, Record("10.0.0.1", "user", "info", "burst"));
    QCOMPARE(model.HeldRowCount(), std::size_t{6});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(Cell(*m_frame, 0, 3), QString("Marovind Version 1.0"));

    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 6, 2000); // the display tick
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 0);
    QCOMPARE(inserted.first().at(2).toInt(), 4);
    QCOMPARE(Cell(*m_frame, 5, 3), QString("Marovind Version 1.0"));

    // A flood lengthens the tick; the rows after it are still shown, newest on top.
    for (int i = 0; i < LiveListModel::kFloodRowsPerTick + 1; ++i)
        Send(*m_frame, Record("10.0.0.2", "user", "info", "flood"));
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 6 + LiveListModel::kFloodRowsPerTick + 1, 2000);
    Send(*m_frame, Record("10.0.0.3", "user", "info", "after"));
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 7 + LiveListModel::kFloodRowsPerTick + 1, 2000);
    QCOMPARE(Cell(*m_frame, 0, 3), QString("after"));
}

void MainFrameTest::rowArenaKeepsEveryRowAcrossChunks() {
    RowArena arena(3);
    const auto cellsOf = [](std::size_t row) {
        // Row 1500 alone is larger than a chunk; the others vary in length, some empty.
        const std::size_t size = row == 1500 ? RowArena::kChunkBytes + 10 : (row * 37) % 300;
        return std::vector<std::string>{
            std::to_string(row), std::string(size, char('a' + row % 26)), row % 3 ? "x" : ""};
    };
    const std::size_t rows = 4000; // several chunks
    for (std::size_t row = 0; row < rows; ++row) {
        const auto cells = cellsOf(row);
        const std::string_view views[] = {cells[0], cells[1], cells[2]};
        arena.Append(views);
    }
    QCOMPARE(arena.Size(), rows);
    for (std::size_t row = 0; row < rows; ++row) {
        const auto cells = cellsOf(row);
        for (std::size_t column = 0; column < 3; ++column)
            QVERIFY2(arena.Cell(row, column) == cells[column],
                     qPrintable(QString("row %1 column %2").arg(row).arg(column)));
    }
}

void MainFrameTest::rowArenaDropsOldestAndFreesItsChunks() {
    RowArena arena(1);
    const std::string filler(1000, 'x');
    const auto append = [&](std::size_t row) {
        const std::string text = std::to_string(row) + filler;
        const std::string_view cell = text;
        arena.Append(&cell);
    };
    const std::size_t rows = 3000; // about a dozen chunks
    for (std::size_t row = 0; row < rows; ++row)
        append(row);
    const std::size_t chunks = arena.ChunkCount();
    // Kept at 1000 rows while 3000 more arrive: the chunks in use stay as many as 1000 need.
    for (std::size_t row = rows; row < 2 * rows; ++row) {
        append(row);
        while (arena.Size() > 1000)
            arena.DropOldest();
    }
    QVERIFY(arena.ChunkCount() <= chunks / 2);
    for (std::size_t row = 0; row < arena.Size(); ++row)
        QCOMPARE(arena.Cell(row, 0), std::to_string(2 * rows - 1000 + row) + filler);
}

void MainFrameTest::messageIsLogged() {
    m_frame->OpenLogFiles();
    Send(*m_frame, Record("10.1.1.1", "user", "info", "a\r\nb"));
    QFile log(m_dir->filePath(QStringLiteral("syslog.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("Mar 05 09:05:03 10.1.1.1 a  b\r\n"));
    QVERIFY(m_boxes.empty());
}

void MainFrameTest::boundKeepsNewestMessageRowsAndStartUpRows_data() {
    QTest::addColumn<QByteArray>("line"); // LIST_ROWS in section Marovind
    QTest::addColumn<int>("kept");
    QTest::newRow("100") << QByteArray("LIST_ROWS = 100\r\n") << 100;
    QTest::newRow("0: no bound") << QByteArray("LIST_ROWS = 0\r\n") << 150;
    QTest::newRow("absent: a million") << QByteArray() << 150;
}

void MainFrameTest::boundKeepsNewestMessageRowsAndStartUpRows() {
    QFETCH(QByteArray, line);
    QFETCH(int, kept);
    const QString ini = m_dir->filePath(QStringLiteral("Marovind.ini"));
    WriteSettings(ini, "[Marovind]\r\n" + line);
    m_frame->OpenLogFiles();
    const QByteArray written = [&] {
        QFile file(ini);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    m_frame->ApplyListSettings();
    CMyMarovindView& view = *m_frame->GetActiveView();
    view.AddStartupRows({"10.9.9.9"});
    // Several ticks' worth, and more than the bound within one tick.
    SendNumbered(*m_frame, 0, 120);
    view.FlushPendingRows();
    SendNumbered(*m_frame, 120, 30);
    view.FlushPendingRows();

    const QStringList texts = Column(*m_frame, 3);
    QCOMPARE(texts.size(), kept + 2);
    for (int row = 0; row < kept; ++row)
        QCOMPARE(texts[row], QString::number(149 - row));
    QCOMPARE(texts.mid(kept), QStringList({kListening + "10.9.9.9", "Marovind Version 1.0"}));
    QCOMPARE(view.Model().HeldRowCount(), std::size_t(kept + 2));
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written); // the program never writes the key
}

void MainFrameTest::boundChangesOnConfigurationOk() {
    m_frame->OpenLogFiles();
    m_frame->ApplyListSettings();
    SendNumbered(*m_frame, 0, 50);
    m_frame->GetActiveView()->FlushPendingRows();
    QFile ini(m_dir->filePath(QStringLiteral("Marovind.ini")));
    QVERIFY(ini.open(QIODevice::Append));
    ini.write("LIST_ROWS = 20\r\n");
    ini.close();
    QTimer::singleShot(0, [] {
        if (auto* sheet = qobject_cast<CPropertySheet*>(QApplication::activeModalWidget()))
            sheet->accept();
    });
    m_frame->OnConfigure();
    QCOMPARE(m_frame->GetActiveView()->Model().rowCount(), 20);
    QCOMPARE(Cell(*m_frame, 0, 3), QString("49"));
}

void MainFrameTest::readingPositionStaysWhileRowsArrive_data() {
    QTest::addColumn<int>("topRow");
    QTest::addColumn<int>("expectedTop"); // the text of the top row afterwards
    QTest::newRow("scrolled to row 500") << 500 << 499;
    QTest::newRow("at the top") << 0 << 1099;
}

void MainFrameTest::readingPositionStaysWhileRowsArrive() {
    QFETCH(int, topRow);
    QFETCH(int, expectedTop);
    CMyMarovindView& view = *m_frame->GetActiveView();
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    SendNumbered(*m_frame, 0, 1000);
    view.FlushPendingRows();
    QApplication::processEvents(); // lays the rows out
    view.scrollTo(view.Model().index(topRow, 0), QAbstractItemView::PositionAtTop);
    QCOMPARE(view.rowAt(0), topRow);
    view.selectRow(topRow);
    SendNumbered(*m_frame, 1000, 100); // one batch
    view.FlushPendingRows();
    QApplication::processEvents();
    QCOMPARE(Cell(*m_frame, view.rowAt(0), 3), QString::number(expectedTop));
    QCOMPARE(view.selectionModel()->selectedRows().value(0).row(), topRow + 100);
}

void MainFrameTest::initialGeometry_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("window");
    QTest::newRow("640x480") << QSize(640, 480) << QRect(106, 80, 426, 320);
    QTest::newRow("800x600") << QSize(800, 600) << QRect(133, 100, 533, 400);
    QTest::newRow("1024x768") << QSize(1024, 768) << QRect(170, 128, 682, 512);
    QTest::newRow("1280x1024") << QSize(1280, 1024) << QRect(213, 170, 853, 682);
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(320, 180, 1280, 720);
}

void MainFrameTest::initialGeometry() {
    QFETCH(QSize, screen);
    QFETCH(QRect, window);
    QCOMPARE(CMainFrame::InitialGeometry(screen), window);
}

void MainFrameTest::titleAndGeometryOnThisScreen() {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const int width = available.width() * 2 / 3;
    const int height = available.height() * 2 / 3;
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QCOMPARE(m_frame->windowTitle(), QString("Marovind - Tesk Syslog Message Daemon"));
    QCOMPARE(m_frame->size(), QSize(width, height));
    QCOMPARE(m_frame->pos(), available.topLeft() + QPoint(width / 4, height / 4));
    QCOMPARE(AfxGetMainWnd(), static_cast<MessageTarget*>(m_frame.get()));
}

void MainFrameTest::commandsAndBars() {
    struct Expected {
        int id;
        bool enabled;
        QKeySequence keys;
        QString prompt;
    };
    const Expected commands[] = {
        {ID_FILE_CONFIGURE, true, QKeySequence("Ctrl+C"), "Configure this application."},
        {ID_FILE_OPEN, false, QKeySequence("Ctrl+O"), "Open an existing document"},
        {ID_FILE_PRINT, true, QKeySequence("Ctrl+P"), "Print the active document"},
        {ID_HELP_INDEX, true, QKeySequence("F1"), ""},
        {ID_APP_EXIT, true, QKeySequence(), "Quit the application; prompts to save documents"},
        {ID_APP_ABOUT, true, QKeySequence(),
         "Display program information, version number and copyright"},
    };
    for (const Expected& command : commands) {
        QAction* action = m_frame->CommandAction(command.id);
        QVERIFY2(action, qPrintable(QString::number(command.id)));
        QCOMPARE(action->isEnabled(), command.enabled);
        QCOMPARE(action->shortcut(), command.keys);
        QCOMPARE(action->statusTip(), command.prompt);
    }
    QStringList menus;
    for (QAction* menu : m_frame->menuBar()->actions())
        menus << menu->text();
    QCOMPARE(menus, QStringList({"&File", "&View", "&Tools", "&Help"}));

    QStringList tips;
    for (QAction* action : m_frame->ToolBar()->actions())
        tips << (action->isSeparator() ? QString("|") : action->toolTip());
    QCOMPARE(tips, QStringList({"Configure.", "Open", "|", "About"}));

    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QCOMPARE(m_frame->IdleStatusLabel()->text(), QString("Ready"));
    auto panes = [this] {
        QStringList texts;
        for (QLabel* label : m_frame->statusBar()->findChildren<QLabel*>())
            if (label->isVisibleTo(m_frame->statusBar()))
                texts << label->text();
        return texts;
    };
    QCOMPARE(panes(), QStringList({"Ready", "CAP", "NUM", "SCRL"}));
    // While TCP is on, its pane shows the connections.
    const NativeSocket probe = Sockets::Create(Sockets::Family::IPv4, Sockets::Kind::Stream);
    QVERIFY(Sockets::BindAny(probe, 0));
    const std::uint16_t port = Sockets::LocalPort(probe);
    Sockets::Close(probe);
    QVERIFY(g_tcpReceiver.Listen(port, false));
    QCOMPARE(panes(), QStringList({"Ready", "CAP", "NUM", "SCRL", "TCP: 0 connections"}));
    g_tcpReceiver.Close();
    QCOMPARE(panes(), QStringList({"Ready", "CAP", "NUM", "SCRL"}));
    // TLS has a pane of its own beside it, with the refused connections.
    QVERIFY(g_tlsReceiver.Listen(port, false));
    QCOMPARE(panes(),
             QStringList({"Ready", "CAP", "NUM", "SCRL", "TLS: 0 connections, 0 refused"}));
    g_tlsReceiver.Close();
    QCOMPARE(panes(), QStringList({"Ready", "CAP", "NUM", "SCRL"}));

    QAction* toolbar = m_frame->CommandAction(ID_VIEW_TOOLBAR);
    QAction* statusBar = m_frame->CommandAction(ID_VIEW_STATUS_BAR);
    QVERIFY(toolbar && statusBar);
    QVERIFY(toolbar->isChecked() && statusBar->isChecked());
    toolbar->trigger();
    statusBar->trigger();
    QVERIFY(!m_frame->ToolBar()->isVisible() && !m_frame->statusBar()->isVisible());
    QVERIFY(!toolbar->isChecked() && !statusBar->isChecked());
    toolbar->trigger();
    statusBar->trigger();
    QVERIFY(m_frame->ToolBar()->isVisible() && m_frame->statusBar()->isVisible());
}

void MainFrameTest::closingClosesLogFilesAndReleasesTheMainWindow() {
    m_frame->OpenLogFiles();
    QCOMPARE(m_frame->m_logFiles.size(), std::size_t{1});
    QSignalSpy destroyed(m_frame.get(), &CMainFrame::Destroyed);
    m_frame->show();
    m_frame->CommandAction(ID_APP_EXIT)->trigger();
    QCOMPARE(destroyed.count(), 1);
    QVERIFY(m_frame->IsDestroyed());
    QVERIFY(m_frame->m_logFiles.empty());
    QCOMPARE(AfxGetMainWnd(), nullptr);
}

void MainFrameTest::helpIndex() {
    const std::string path = g_programDir + "marovind.html";
    ShowHelpFinder(m_frame.get(), path);
    QCOMPARE(m_boxes.size(), std::size_t{1});
    QVERIFY2(m_boxes[0].find(path) != std::string::npos, m_boxes[0].c_str());

    QFile help(QString::fromStdString(path));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("<html><body><h1>Marovind help</h1></body></html>");
    help.close();
    ShowHelpFinder(m_frame.get(), path);
    QCOMPARE(m_boxes.size(), std::size_t{1});
    auto* browser = m_frame->findChild<QTextBrowser*>();
    QVERIFY(browser && browser->isVisible());
    QVERIFY(browser->toPlainText().contains("Marovind help"));

    // F1 shows the program's own help, which the build puts beside the executable.
    browser->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QString own = QFileInfo(QString::fromStdString(HelpFilePath())).absoluteFilePath();
    m_frame->OnHelpIndex();
    if (!QFileInfo(own).isFile()) {
        QCOMPARE(m_boxes.size(), std::size_t{2});
        QVERIFY2(m_boxes[1].find(HelpFilePath()) != std::string::npos, m_boxes[1].c_str());
        return;
    }
    QCOMPARE(m_boxes.size(), std::size_t{1});
    browser = m_frame->findChild<QTextBrowser*>();
    QVERIFY(browser && browser->isVisible());
    QCOMPARE(browser->source().toLocalFile(), own);
}

void MainFrameTest::helpFileBesideTheProgramElseInstalled() {
    const QString root = m_dir->path();
    QVERIFY(QDir(root).mkpath("bin") && QDir(root).mkpath("share/marovind"));
    const std::string bin = root.toStdString() + "/bin/";
    const std::string installed = root.toStdString() + "/share/marovind/";
    const auto place = [](const std::string& dir) {
        QFile file(QString::fromStdString(dir + "marovind.html"));
        return file.open(QIODevice::WriteOnly);
    };
    QCOMPARE(FindHelpFile(bin, installed), bin + "marovind.html"); // named when neither is
    QVERIFY(place(installed));
    QCOMPARE(FindHelpFile(bin, installed), installed + "marovind.html");
    QVERIFY(place(bin));
    QCOMPARE(FindHelpFile(bin, installed), bin + "marovind.html");
}

void MainFrameTest::aboutDialog() {
    CAboutDlg about(m_frame.get());
    QCOMPARE(about.windowTitle(), QString("About Marovind"));
    QStringList texts;
    for (QLabel* label : about.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    QVERIFY(texts.contains("Marovind Version 1.0"));
    QCOMPARE(texts.size(), 3);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* ok = about.findChild<QPushButton*>();
    QVERIFY(ok && ok->isDefault());
    QVERIFY(ok->geometry().top() < about.height() / 2);
    QVERIFY(ok->geometry().left() > about.width() / 2);
    auto* icon = about.findChildren<QLabel*>().first();
    QVERIFY(!icon->pixmap().isNull());
    QVERIFY(icon->geometry().left() < about.width() / 4);
    ok->click();
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
