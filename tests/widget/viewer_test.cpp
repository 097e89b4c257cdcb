#include <atomic>
#include <chrono>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "core/archive/GzipFile.h"
#include "core/platform/EventLoop.h"
#include "core/platform/MessageBox.h"
#include "core/platform/MessageTarget.h"
#include "core/platform/ProgramDir.h"
#include "core/platform/ShareFile.h"
#include "core/reception/SyslogRecord.h"
#include "core/reception/SyslogSocket.h"
#include "gui/framework/CommandIds.h"
#include "gui/framework/DisplayText.h"
#include "gui/framework/PrintDialogs.h"
#include "gui/mainframe/ListPrinter.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindView.h"
#include "gui/viewer/EditDoc.h"
#include "gui/viewer/EditWnd.h"
#include "gui/viewer/FindDialog.h"
#include "gui/viewer/LargeFileSearch.h"
#include "gui/viewer/LargeLogView.h"
#include "gui/viewer/LogFileLoader.h"
#include "gui/viewer/LogFileText.h"
#include "gui/viewer/LogViewerTemplate.h"
#include "gui/viewer/MyEditView.h"
#include "gui/viewer/TextSearch.h"
#include "support_udp.h"

namespace {
// A file that opens and then fails every read, for root too: the memory of this process at
// address 0, through Linux's procfs (under wine, drive Z: is the Linux root).
#ifdef _WIN32
constexpr const char* kUnreadableFile = "Z:\\proc\\self\\mem";
#else
constexpr const char* kUnreadableFile = "/proc/self/mem";
#endif

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Log lines as the server writes them, padded to exactly `size` bytes.
std::string LogOfSize(std::size_t size) {
    std::string text;
    text.reserve(size);
    for (int i = 0; text.size() + 120 < size; ++i)
        text += "Dec 08 04:37:41 10.1.1." + std::to_string(i % 250) +
                " daemon[1234]: some routine message of a typical length, number " +
                std::to_string(i) + "\r\n";
    text += "Dec 08 04:37:42 10.1.1.1 the last line";
    text.append(size - text.size(), 'x');
    return text;
}

int PdfPageCount(const std::string& path) {
    const QString pdf = QString::fromLatin1(ReadBytes(path));
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return static_cast<int>(pdf.count(page));
}

// Width and height of the first page, in points.
QSizeF PdfMediaBox(const std::string& path) {
    static const QRegularExpression box(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"));
    const auto match = box.match(QString::fromLatin1(ReadBytes(path)));
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble())
                            : QSizeF();
}

QList<CEditWnd*> ViewerWindows() {
    QList<CEditWnd*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<CEditWnd*>(widget))
            windows << window;
    return windows;
}

void DeletePending() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Counts the records the listener hands to the main window.
class CountingWindow : public MessageTarget {
public:
    std::intptr_t SendMessage(unsigned message, std::uintptr_t, std::intptr_t lParam) override {
        if (message == WM_SYSLOG_MESSAGE)
            texts.push_back(reinterpret_cast<const SyslogRecord*>(lParam)->messageText);
        return 1;
    }
    std::vector<std::string> texts;
};
} // namespace

class ViewerTest : public QObject {
    Q_OBJECT

private:
    std::string PathOf(const char* name) const { return m_dir->filePath(name).toStdString(); }
    std::string Make(const char* name, const std::string& bytes) const {
        const std::string path = PathOf(name);
        WriteBytes(path, bytes);
        return path;
    }
    CEditWnd* Viewer() const { return m_template->GetViewer(); }
    CMyEditView& View() const { return Viewer()->GetView(); }
    LargeLogView& Large() const { return Viewer()->GetLargeView(); }
    QString ViewText() const {
        if (!Viewer()->GetDocument().IsLarge())
            return View().toPlainText();
        return Large().Lines(0, Large().LineCount()).join(u'\n');
    }
    // Hits of Find Next until nothing more is found, as (line, column).
    QList<QPoint> LargeHits(const QString& what, QTextDocument::FindFlags flags) {
        QList<QPoint> hits;
        const std::size_t boxes = m_boxes.size();
        while (m_boxes.size() == boxes && hits.size() < 10'000) {
            if (!Large().FindText(what, flags) ||
                !PumpEventsUntil([this] { return !Large().Searching(); }, 10000))
                break;
            if (m_boxes.size() == boxes) {
                const auto at = Large().SelectionStart();
                hits << QPoint(static_cast<int>(at.line), static_cast<int>(at.column));
            }
        }
        return hits;
    }
    bool WaitLoaded() const {
        return PumpEventsUntil([this] { return !Viewer()->GetDocument().IsLoading(); }, 60000);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LogViewerTemplate> m_template;
    std::vector<std::string> m_boxes;
    bool m_boxUnderWaitCursor = false;

private slots:
    void initTestCase() {
        QVERIFY(Sockets::Startup()); // as the program does before it opens its socket
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_template = std::make_unique<LogViewerTemplate>();
        m_boxes.clear();
        m_boxUnderWaitCursor = false;
        SetMessageBoxHandler([this](const std::string& text) {
            m_boxes.push_back(text);
            m_boxUnderWaitCursor = QApplication::overrideCursor() != nullptr;
            return IDOK;
        });
    }

    void cleanup() {
        m_template.reset();
        DeletePending();
        QVERIFY(ViewerWindows().isEmpty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        SetMessageBoxHandler({});
        PrintDialogs::SetPrintDialog({});
        PrintDialogs::SetPageSetupDialog({});
        SetOpenLogDialog({});
        CEditDoc::SetLargeFileLimit(CEditDoc::kLargeFileLimit);
        LargeFileSearch::SetBlockSize(std::int64_t{4} << 20);
    }

    void firstOpenShowsFileInHalfScreenWindow() {
        const std::string path = Make("syslog.log", "Dec 08 04:37:41 10.1.1.1 one\r\n"
                                                    "Dec 08 04:37:42 10.1.1.1 two\r\n");
        QVERIFY(m_template->OpenDocumentFile(path) != nullptr);
        QVERIFY(m_boxes.empty());
        QVERIFY(Viewer()->isVisible());
        QCOMPARE(Viewer()->windowTitle(), QString("log - syslog.log"));
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(Viewer()->size(), QSize(screen.width() / 2, screen.height() / 2));
        QCOMPARE(View().blockCount(), 3); // CR LF ends each line; the last is empty
        QCOMPARE(View().document()->findBlockByNumber(1).text(),
                 QString("Dec 08 04:37:42 10.1.1.1 two"));
        QVERIFY(!Viewer()->GetDocument().IsModified());
        QCOMPARE(Viewer()->GetDocument().GetPathName(), path);
        QVERIFY(!View().isReadOnly());
    }

    void menuItemsInOrderWithPrompts() {
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", "x")));
        QStringList items;
        for (QAction* menu : Viewer()->menuBar()->actions()) {
            items << menu->text();
            for (QAction* item : menu->menu()->actions())
                items << "  " + item->text() + " | " + item->statusTip() + " | " + item->toolTip();
        }
        const QStringList expected = {
            "&File",
            "  Print Set&up | Change the printer and printing options | Print Setup",
            "  &Print | Print the active document | Print",
            "  &Close this window | Quit this document | Quit.",
            "&Edit",
            "  &Select All | Select the entire document | Select All",
            "  &Copy | Copy the selection and put it on the Clipboard | Copy",
            "  &Find | Find the specified text | Find",
            "&View",
            "  &WordWrap | WordWrap | WordWrap",
            "&Help",
            "  &About | Display program information, version number and copyright | About",
        };
        QCOMPARE(items, expected);
        QVERIFY(Viewer()->findChildren<QStatusBar*>().isEmpty());
        QVERIFY(Viewer()->findChildren<QToolBar*>().isEmpty());
    }

    void aboutGoesToTheApplication() {
        QWidget* parent = nullptr;
        m_template->m_showAbout = [&](QWidget* p) { parent = p; };
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", "x")));
        Viewer()->AboutAction()->trigger();
        QCOMPARE(parent, static_cast<QWidget*>(Viewer()));
    }

    void opensFileThatAWriterHolds() {
        const std::string path = PathOf("syslog.log");
        ShareFile writer;
        QVERIFY(writer.OpenForAppend(path));
        const std::string first = "Dec 08 04:37:41 10.1.1.1 held open\r\n";
        QVERIFY(writer.Write(first.data(), first.size()));
        QVERIFY(m_template->OpenDocumentFile(path));
        QVERIFY(m_boxes.empty());
        QCOMPARE(ViewText(), QString("Dec 08 04:37:41 10.1.1.1 held open\n"));
        // The writer goes on; the viewer keeps the file as it was loaded.
        QVERIFY(writer.Write(first.data(), first.size()));
        QCOMPARE(ReadBytes(path), first + first);
        QCOMPARE(View().blockCount(), 2);
    }

    void emptyFileGivesEmptyView() {
        QVERIFY(m_template->OpenDocumentFile(Make("empty.log", "")));
        QVERIFY(m_boxes.empty());
        QVERIFY(View().document()->isEmpty());
        QVERIFY(!Viewer()->SelectAllAction()->isEnabled());
        QVERIFY(!Viewer()->FindAction()->isEnabled());
        QVERIFY(!Viewer()->CopyAction()->isEnabled());
    }

    void secondOpenReloadsTheSameWindow() {
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", "first file\r\n")));
        CEditWnd* first = Viewer();
        QVERIFY(m_template->OpenDocumentFile(Make("b.log", "second file\r\n")));
        QCOMPARE(Viewer(), first);
        QCOMPARE(ViewerWindows().size(), 1);
        QCOMPARE(ViewText(), QString("second file\n"));
        QCOMPARE(Viewer()->windowTitle(), QString("log - b.log"));
        QCOMPARE(Viewer()->GetDocument().GetPathName(), PathOf("b.log"));
    }

    void bytesShownUnchanged_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ascii") << QByteArray("a b\tc") << QString("a b\tc");
        QTest::newRow("utf8") << QByteArray("caf\xc3\xa9 \xe2\x82\xac")
                              << QString::fromUtf16(u"café €");
        QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x98\x80") << QString::fromUtf16(u"😀");
        QTest::newRow("latin1 byte") << QByteArray("caf\xe9!") << QString::fromUtf16(u"café!");
        QTest::newRow("mixed") << QByteArray("\xc3\xa9\xe9") << QString::fromUtf16(u"éé");
        QTest::newRow("overlong") << QByteArray("\xc0\x80") << QString::fromUtf16(u"\u00c0\u0080");
        QTest::newRow("surrogate")
            << QByteArray("\xed\xa0\x80") << QString::fromUtf16(u"\u00ed\u00a0\u0080");
        QTest::newRow("cut at end")
            << QByteArray("ok\xe2\x82") << QString::fromUtf16(u"ok\u00e2\u0082");
        QTest::newRow("bom kept") << QByteArray("\xef\xbb\xbfx") << QString(QChar(0xFEFF)) + "x";
        QTest::newRow("zero byte") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
    }

    void bytesShownUnchanged() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(DecodeLogBytes(bytes), shown);
        QVERIFY(m_template->OpenDocumentFile(Make("x.log", bytes.toStdString())));
        QCOMPARE(View().document()->firstBlock().text(), shown);
    }

    void wordWrapFollowsToggleAndSurvivesReload() {
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", "text\r\n")));
        QAction* wrap = Viewer()->WordWrapAction();
        const auto expect = [&](bool on) {
            QCOMPARE(wrap->isChecked(), on);
            QCOMPARE(View().WordWrapMode(), on ? CMyEditView::WrapToWindow : CMyEditView::WrapNone);
            QCOMPARE(View().lineWrapMode(),
                     on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        };
        expect(true);
        wrap->trigger();
        expect(false);
        QVERIFY(m_template->OpenDocumentFile(Make("b.log", "other\r\n")));
        expect(false);
        wrap->trigger();
        expect(true);
        wrap->trigger();
        expect(false);
        // A new viewer starts wrapped again.
        Viewer()->CloseAction()->trigger();
        DeletePending();
        QVERIFY(m_template->OpenDocumentFile(PathOf("a.log")));
        wrap = Viewer()->WordWrapAction();
        expect(true);
    }

    void editCommandsFollowTextAndSelection() {
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", "alpha beta\r\ngamma\r\n")));
        CEditWnd& window = *Viewer();
        const auto expect = [&](bool selectAll, bool copy, bool find) {
            QCOMPARE(window.SelectAllAction()->isEnabled(), selectAll);
            QCOMPARE(window.CopyAction()->isEnabled(), copy);
            QCOMPARE(window.FindAction()->isEnabled(), find);
        };
        expect(true, false, true);
        window.SelectAllAction()->trigger();
        expect(true, true, true);
        window.CopyAction()->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("alpha beta\ngamma\n"));
        QTextCursor cursor = View().textCursor();
        cursor.clearSelection();
        View().setTextCursor(cursor);
        expect(true, false, true);
        // Deleting all the text greys the commands that need it.
        window.SelectAllAction()->trigger();
        QTest::keyClick(&View(), Qt::Key_Delete);
        expect(false, false, false);
        QTest::keyClicks(&View(), "z");
        expect(true, false, true);
    }

    void typingThenClosingLeavesFileUnchanged_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("Close this window") << true;
        QTest::newRow("close box") << false;
    }

    void typingThenClosingLeavesFileUnchanged() {
        QFETCH(bool, byMenu);
        const std::string bytes = "Dec 08 04:37:41 10.1.1.1 keep me\r\n\xe9\r\n";
        const std::string path = Make("keep.log", bytes);
        QVERIFY(m_template->OpenDocumentFile(path));
        QTest::keyClicks(&View(), "typed over");
        QTest::keyClick(&View(), Qt::Key_Backspace);
        QVERIFY(Viewer()->GetDocument().IsModified());
        if (byMenu)
            Viewer()->CloseAction()->trigger();
        else
            QVERIFY(Viewer()->close());
        QVERIFY(Viewer() == nullptr);
        DeletePending();
        QVERIFY(ViewerWindows().isEmpty());
        QVERIFY(m_boxes.empty());
        QCOMPARE(ReadBytes(path), bytes);
    }

    void closeAllDocumentsClosesTheViewer() {
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", "x")));
        QTest::keyClicks(&View(), "unsaved");
        m_template->CloseAllDocuments();
        QVERIFY(Viewer() == nullptr);
        QVERIFY(ViewerWindows().isEmpty());
        QVERIFY(m_boxes.empty());
        QCOMPARE(ReadBytes(PathOf("a.log")), std::string("x"));
    }

    void failedOpen_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing.log"
                                 << "%1 was not found.";
        QTest::newRow("missing directory") << "no/such.log"
                                           << "%1 was not found.";
        QTest::newRow("directory") << "dir.log"
                                   << "Access to %1 was denied.";
        // The open succeeds and the read fails, for root too.
        QTest::newRow("read error")
            << kUnreadableFile << "A hardware I/O error was reported while accessing %1.";
        // A pipe would block the load until a writer came.
        QTest::newRow("pipe") << "fifo.log"
                              << "Failed to open document.";
    }

    void failedOpen() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        if (name == kUnreadableFile && !QFileInfo::exists(name))
            QSKIP("no procfs behind drive Z: (Windows itself, not wine): no other file opens "
                  "and then fails every read, whoever runs the tests");
#ifdef _WIN32
        if (name == "fifo.log")
            QSKIP("Windows has no pipe among files: its named pipes live under \\\\.\\pipe\\ only");
#endif
        const std::string path =
            QDir::isAbsolutePath(name) ? name.toStdString() : PathOf(qPrintable(name));
        if (name == "dir.log")
            QVERIFY(QDir().mkdir(QString::fromStdString(path)));
#ifndef _WIN32
        if (name == "fifo.log")
            QCOMPARE(mkfifo(path.c_str(), 0600), 0);
#endif
        const std::vector<std::string> expected{
            message.arg(QString::fromStdString(path)).toStdString()};
        // First open: the message, and no window remains.
        QVERIFY(m_template->OpenDocumentFile(path) == nullptr);
        QCOMPARE(m_boxes, expected);
        QVERIFY(!m_boxUnderWaitCursor);
        QVERIFY(Viewer() == nullptr);
        DeletePending();
        QVERIFY(ViewerWindows().isEmpty());
        // Reload: the viewer keeps its file, its text and its caption.
        QVERIFY(m_template->OpenDocumentFile(Make("good.log", "good text\r\n")));
        CEditWnd* window = Viewer();
        m_boxes.clear();
        QVERIFY(m_template->OpenDocumentFile(path) == nullptr);
        QCOMPARE(m_boxes, expected);
        QCOMPARE(Viewer(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(ViewText(), QString("good text\n"));
        QCOMPARE(window->windowTitle(), QString("log - good.log"));
        QCOMPARE(window->GetDocument().GetPathName(), PathOf("good.log"));
    }

    // A file of the text view's capacity is shown read-only in the large view until typed
    // into; then the text view takes over with all of it, the key typed at the end.
    void showsFullSizeFile() {
        constexpr std::size_t kCapacity = CEditDoc::kEditableLimit;
        const std::string path = Make("big.log", LogOfSize(kCapacity));
        QVERIFY(m_template->OpenDocumentFile(path));
        QVERIFY(WaitLoaded());
        QVERIFY(Viewer()->GetDocument().IsLarge());
        Large().SelectAll();
        Large().SetSelection(Large().SelectionEnd(), Large().SelectionEnd());
        QTest::keyClick(&Large(), '!');
        QVERIFY(Viewer()->GetDocument().IsLoading());
        QVERIFY(WaitLoaded());
        QVERIFY(!Viewer()->GetDocument().IsLarge() && !View().isReadOnly());
        QTextDocument& document = *View().document();
        QCOMPARE(document.characterCount() - 1,
                 static_cast<int>(kCapacity - document.blockCount() + 1) + 1);
        QVERIFY(document.lastBlock().text().startsWith("Dec 08 04:37:42 10.1.1.1 the last line"));
        QVERIFY(document.lastBlock().text().endsWith("!"));
        QCOMPARE(document.lastBlock().text().size(),
                 static_cast<qsizetype>(kCapacity - LogOfSize(kCapacity).rfind('\n') - 1) + 1);
        QCOMPARE(ReadBytes(path), LogOfSize(kCapacity));
        View().moveCursor(QTextCursor::Start);
        QVERIFY(View().FindText("the last line", {}));
        QCOMPARE(View().textCursor().blockNumber(), document.blockCount() - 1);
    }

    void findDialogSearchesTheText() {
        QVERIFY(m_template->OpenDocumentFile(
            Make("a.log", "Error one\r\nerror two\r\nterror three\r\nERROR four\r\n")));
        Viewer()->FindAction()->trigger();
        FindDialog* dialog = View().GetFindDialog();
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        const auto findNext = [&] {
            dialog->FindNextButton()->click();
            return View().textCursor().blockNumber();
        };
        dialog->FindWhatEdit()->setText("error");
        QCOMPARE(findNext(), 0);
        QCOMPARE(findNext(), 1);
        QCOMPARE(findNext(), 2); // inside "terror"
        QCOMPARE(findNext(), 3);
        QVERIFY(m_boxes.empty());
        findNext();
        QCOMPARE(m_boxes, std::vector<std::string>{"Cannot find the string 'error'."});
        QCOMPARE(View().textCursor().blockNumber(), 3); // the last hit stays selected

        dialog->UpButton()->setChecked(true);
        dialog->MatchCaseBox()->setChecked(true);
        QCOMPARE(findNext(), 2);
        QCOMPARE(findNext(), 1);
        dialog->WholeWordBox()->setChecked(true);
        dialog->MatchCaseBox()->setChecked(false);
        dialog->DownButton()->setChecked(true);
        View().moveCursor(QTextCursor::Start);
        QCOMPARE(findNext(), 0);
        QCOMPARE(findNext(), 1);
        QCOMPARE(findNext(), 3); // "terror" is not the whole word
        QCOMPARE(View().textCursor().selectedText(), QString("ERROR"));
        QCOMPARE(m_boxes.size(), std::size_t{1});
        // A new Find starts from the selection.
        Viewer()->FindAction()->trigger();
        QCOMPARE(dialog->FindWhat(), QString("ERROR"));
        QCOMPARE(View().GetFindDialog(), dialog);
    }

    void searchRules_data() {
        using F = QTextDocument;
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("found");
        QTest::newRow("forward") << "xxabxxab"
                                 << "ab" << 0 << 0 << 2;
        QTest::newRow("forward past a hit") << "xxabxxab"
                                            << "ab" << 3 << 0 << 6;
        QTest::newRow("forward at the end") << "xxabxxab"
                                            << "ab" << 7 << 0 << -1;
        QTest::newRow("backward from the end") << "xxabxxab"
                                               << "ab" << 8 << int(F::FindBackward) << 6;
        QTest::newRow("backward before the selection") << "xxabxxab"
                                                       << "ab" << 6 << int(F::FindBackward) << 2;
        QTest::newRow("backward at the start") << "xxabxxab"
                                               << "ab" << 2 << int(F::FindBackward) << -1;
        QTest::newRow("whole word") << "abc cab ab"
                                    << "ab" << 0 << int(F::FindWholeWords) << 8;
        QTest::newRow("whole word backward")
            << "ab abc cab"
            << "ab" << 10 << int(F::FindWholeWords | F::FindBackward) << 0;
        QTest::newRow("word ends at punctuation") << "[ab]"
                                                  << "ab" << 0 << int(F::FindWholeWords) << 1;
        QTest::newRow("any case") << "ab AB"
                                  << "AB" << 0 << 0 << 0;
        QTest::newRow("matching case") << "ab AB"
                                       << "AB" << 0 << int(F::FindCaseSensitively) << 3;
        QTest::newRow("empty") << "abc"
                               << "" << 0 << 0 << -1;
    }

    void searchRules() {
        QFETCH(QString, text);
        QFETCH(QString, what);
        QFETCH(int, from);
        QFETCH(int, flags);
        QFETCH(int, found);
        QCOMPARE(FindInText(text, what, from, QTextDocument::FindFlags(flags)), qsizetype(found));
    }

    void printsToPdfWithHalfInchMargins() {
        std::string text;
        for (int i = 0; i < 300; ++i)
            text += "Dec 08 04:37:41 10.1.1.1 line " + std::to_string(i) + "\r\n";
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", text)));
        const QString pdf = m_dir->filePath("out.pdf");
        int asked = 0;
        PrintDialogs::SetPrintDialog([&](QPrinter& printer, QWidget* parent) {
            ++asked;
            if (parent != Viewer())
                return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        Viewer()->PrintAction()->trigger();
        QCOMPARE(asked, 1);
        QVERIFY(QFileInfo::exists(pdf));
        QVERIFY(PdfPageCount(pdf.toStdString()) > 1);
        const QMarginsF margins = m_template->Printer().pageLayout().margins(QPageLayout::Inch);
        QCOMPARE(margins, QMarginsF(0.5, 0.5, 0.5, 0.5));

        // A cancelled print dialog prints nothing.
        QFile::remove(pdf);
        PrintDialogs::SetPrintDialog([](QPrinter&, QWidget*) { return false; });
        Viewer()->PrintAction()->trigger();
        QVERIFY(!QFileInfo::exists(pdf));
    }

    void printSetupAppliesToLaterViewers() {
        QVERIFY(m_template->OpenDocumentFile(Make("a.log", "text\r\n")));
        PrintDialogs::SetPageSetupDialog([](QPrinter& printer, QWidget*) {
            printer.setPageOrientation(QPageLayout::Landscape);
            return true;
        });
        Viewer()->PrintSetupAction()->trigger();
        Viewer()->CloseAction()->trigger();
        QVERIFY(m_template->OpenDocumentFile(PathOf("a.log")));
        const QString pdf = m_dir->filePath("landscape.pdf");
        PrintDialogs::SetPrintDialog([&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        Viewer()->PrintAction()->trigger();
        const QSizeF page = PdfMediaBox(pdf.toStdString());
        QVERIFY(page.width() > page.height());
    }

    void listPrinterPrintsRows() {
        const auto print = [&](int rows, int messageLength) {
            QStandardItemModel model(0, 4);
            model.setHorizontalHeaderLabels({"Time", "IP Address", "Msg Type", "Message"});
            for (int row = 0; row < rows; ++row)
                model.appendRow({new QStandardItem("Dec 08 04:37:41"),
                                 new QStandardItem("10.1.1.1"), new QStandardItem("user.info"),
                                 new QStandardItem(QString(messageLength, 'm'))});
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            const QString pdf = m_dir->filePath(QString("list%1.pdf").arg(rows));
            printer.setOutputFileName(pdf);
            const int pages = PrintListRows(model, printer);
            if (PdfPageCount(pdf.toStdString()) != pages)
                return -1;
            return pages;
        };
        QCOMPARE(print(0, 10), 1);
        QCOMPARE(print(10, 10), 1);
        const int many = print(300, 10);
        QVERIFY(many > 2);
        // Long messages wrap inside their column instead of being cut off.
        QVERIFY(print(300, 2000) > many);
    }

    void printLiveListAsksFirst() {
        QStandardItemModel model(0, 4);
        model.appendRow({new QStandardItem("t"), new QStandardItem("a"), new QStandardItem("."),
                         new QStandardItem("m")});
        QPrinter printer;
        const QString pdf = m_dir->filePath("live.pdf");
        bool confirm = false;
        PrintDialogs::SetPrintDialog([&](QPrinter& p, QWidget*) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
            return confirm;
        });
        PrintLiveList(model, printer, nullptr);
        QVERIFY(!QFileInfo::exists(pdf));
        confirm = true;
        PrintLiveList(model, printer, nullptr);
        QCOMPARE(PdfPageCount(pdf.toStdString()), 1);
    }

    void openCommandAsksForALogFile() {
        QWidget mainWindow;
        const std::string path = Make("syslog.log", "chosen\r\n");
        std::string askedDir;
        QWidget* askedParent = nullptr;
        std::string answer;
        SetOpenLogDialog([&](QWidget* parent, const std::string& dir) {
            askedParent = parent;
            askedDir = dir;
            return answer;
        });
        OpenLogFileForViewing(&mainWindow, m_dir->path().toStdString() + "/", *m_template);
        QCOMPARE(askedParent, &mainWindow);
        QCOMPARE(askedDir, m_dir->path().toStdString() + "/");
        QVERIFY(Viewer() == nullptr); // cancelled: nothing happens
        QVERIFY(m_boxes.empty());
        answer = path;
        OpenLogFileForViewing(&mainWindow, askedDir, *m_template);
        QVERIFY(Viewer() && Viewer()->isVisible());
        QCOMPARE(ViewText(), QString("chosen\n"));
    }

    // A rotated, compressed log: unpacked on a worker with progress in the title, shown by the
    // large-file view, its temporary file gone once another file shows or the viewer closes.
    void compressedLogShowsUnpackedAndLeavesNothingBehind() {
        std::string text;
        for (int i = 0; i < 40000; ++i)
            text += "Dec 10 12:00:00 10.1.1.1 line " + std::to_string(i) + "\r\n";
        const std::string plain = Make("plain", text);
        const std::string gz = PathOf("syslog.2026-12-10.log.gz");
        const std::atomic<bool> go{false};
        QVERIFY(CompressFile(plain, gz, go).ok);
        Make("damaged.log.gz", ReadBytes(gz).substr(0, 5000));

        QVERIFY(m_template->OpenDocumentFile(gz));
        QVERIFY(Viewer()->windowTitle().startsWith("log - syslog.2026-12-10.log.gz (loading "));
        QVERIFY(WaitLoaded());
        QVERIFY(m_boxes.empty());
        QVERIFY(Viewer()->GetDocument().IsLarge());
        QCOMPARE(Viewer()->windowTitle(), QString("log - syslog.2026-12-10.log.gz"));
        QCOMPARE(Large().LineCount(), std::int64_t{40001});
        QCOMPARE(Large().Lines(39999, 1).constFirst(),
                 QString("Dec 10 12:00:00 10.1.1.1 line 39999"));
        const std::string unpacked = Large().Path();
        QVERIFY(unpacked != gz && QFileInfo::exists(QString::fromStdString(unpacked)));

        // A damaged one says why; the temporary file of the last goes when the next shows.
        QVERIFY(m_template->OpenDocumentFile(PathOf("damaged.log.gz")));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(unpacked)));
        QVERIFY(WaitLoaded());
        QCOMPARE(m_boxes.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(m_boxes[0]).contains("not a complete gzip file"));

        QVERIFY(m_template->OpenDocumentFile(gz));
        QVERIFY(WaitLoaded());
        const std::string second = Large().Path();
        QVERIFY(QFileInfo::exists(QString::fromStdString(second)));
        m_template->CloseAllDocuments();
        DeletePending();
        QVERIFY(!QFileInfo::exists(QString::fromStdString(second)));
    }

    void openDialogAddsLogSuffix() {
        Make("syslog.log", "x");
        QWidget mainWindow;
        const auto dialog = CreateOpenLogDialog(&mainWindow, m_dir->path().toStdString() + "/");
        QCOMPARE(dialog->parentWidget(), &mainWindow);
        QCOMPARE(dialog->nameFilters(), QStringList{"LOG Files (*.log *.log.gz)"});
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog->directory().absolutePath(), m_dir->path());
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->selectFile("syslog");
        QCOMPARE(dialog->selectedFiles(), QStringList{m_dir->filePath("syslog.log")});
    }

    void mainWindowOpensAndClosesTheViewer() {
        g_programDir = m_dir->path().toStdString() + "/";
        CMainFrame frame;
        QVERIFY(!frame.CommandAction(ID_FILE_OPEN)->isEnabled()); // no viewer attached
        frame.SetLogViewerTemplate(m_template.get());
        frame.m_logDir = m_dir->path().toStdString() + "/";
        frame.GetActiveView()->AddStartupRows({"10.1.1.1"});
        frame.GetActiveView()->FlushPendingRows();
        const int rows = frame.GetActiveView()->Model().rowCount();
        const std::string path = Make("syslog.log", "from the main window\r\n");
        SetOpenLogDialog([&](QWidget* parent, const std::string& dir) {
            return parent == &frame && dir == frame.m_logDir ? path : std::string();
        });
        QAction* open = frame.CommandAction(ID_FILE_OPEN);
        QVERIFY(open->isEnabled());
        QCOMPARE(open->shortcut(), QKeySequence("Ctrl+O"));
        open->trigger();
        QVERIFY(Viewer() && Viewer()->isVisible());
        QCOMPARE(ViewText(), QString("from the main window\n"));
        open->trigger(); // a second open reuses the window
        QCOMPARE(ViewerWindows().size(), 1);
        QCOMPARE(frame.GetActiveView()->Model().rowCount(), rows);
        QCOMPARE(frame.GetActiveView()->Model().columnCount(), 4);
        QTest::keyClicks(&View(), "unsaved typing");
        frame.close();
        QVERIFY(Viewer() == nullptr);
        QVERIFY(ViewerWindows().isEmpty());
        QVERIFY(m_boxes.empty());
        QCOMPARE(ReadBytes(path), std::string("from the main window\r\n"));
    }

    void mainWindowPrintsTheListRows() {
        g_programDir = m_dir->path().toStdString() + "/";
        CMainFrame frame;
        frame.SetLogViewerTemplate(m_template.get());
        const QString pdf = m_dir->filePath("list.pdf");
        PrintDialogs::SetPrintDialog([&](QPrinter& printer, QWidget* parent) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return parent == &frame;
        });
        QAction* print = frame.CommandAction(ID_FILE_PRINT);
        QCOMPARE(print->shortcut(), QKeySequence("Ctrl+P"));
        print->trigger();
        QCOMPARE(PdfPageCount(pdf.toStdString()), 1); // the header alone
        SyslogRecord record;
        record.receiveTime = "Dec 08 04:37:41";
        record.sourceAddress = "10.1.1.1";
        record.facilityName = "user";
        record.severityName = "info";
        record.messageText = "a message row";
        for (int i = 0; i < 300; ++i)
            frame.SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
        print->trigger(); // rows not yet on screen are printed too
        QVERIFY(PdfPageCount(pdf.toStdString()) > 2);
    }

    void datagramsDuringLoadAreAllHandledAfterwards() {
        const std::string path = Make("big.log", LogOfSize(16'000'000));
        CountingWindow window;
        AfxSetMainWnd(&window);
        QVERIFY(g_listener.Open(0));
        g_listener.m_suspended = 0;
        const std::uint16_t port = Sockets::LocalPort(g_listener.m_hSocket);
        constexpr int kCount = 200;
        std::atomic<bool> started{false};
        std::thread sender([&] {
            const LoopbackSender socket;
            while (!started)
                std::this_thread::yield();
            for (int i = 0; i < kCount; ++i) {
                socket.Send(port, "<14>during load " + std::to_string(i));
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
        started = true;
        const bool loaded = m_template->OpenDocumentFile(path) != nullptr;
        sender.join();
        const std::size_t handledDuringLoad = window.texts.size();
        PumpEventsUntil([&] { return window.texts.size() >= kCount; }, 10000);
        PumpEventsFor(50);
        g_listener.ShutDownForExit();
        AfxSetMainWnd(nullptr);
        QVERIFY(loaded);
        QCOMPARE(handledDuringLoad, std::size_t{0});
        QCOMPARE(window.texts.size(), std::size_t{kCount});
        for (int i = 0; i < kCount; ++i)
            QCOMPARE(window.texts[i], "during load " + std::to_string(i));
    }

    // Loaded in steps, a file shows exactly what loading it at once shows, whatever falls
    // on the boundaries of the pieces.
    void stepwiseLoadShowsTheSameText_data() {
        QTest::addColumn<QByteArray>("bytes");
        const auto block = LogFileLoader::kBlockSize;
        QByteArray mixed;
        while (mixed.size() < 3 * block) // sequences of 1 to 4 bytes and stray bytes
            mixed += "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF\xC3 \xE2\x82\r\n";
        QByteArray crAtEdge(block - 1, 'x');
        crAtEdge += "\r\nnext\r\n";
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("LF only") << QByteArray("line\n").repeated(200'000);
        QTest::newRow("CR only") << QByteArray("line\r").repeated(200'000);
        QTest::newRow("CR LF") << QByteArray("line\r\n").repeated(200'000);
        QTest::newRow("CR LF on a block edge") << crAtEdge;
        QTest::newRow("CR only, no LF to cut at") << QByteArray(block - 1, 'y') + "\r\rz";
        QTest::newRow("invalid UTF-8 across blocks") << mixed;
        QTest::newRow("line over 1 MB")
            << "\xC3\xA9" + QByteArray(3 * block, 'w') + "\xF0\x9F\x98\x80\r\nend";
    }

    // Typed into, the large view hands over to the text view filled in steps, which holds
    // exactly what loading the file at once gives, with the key typed at the top.
    void stepwiseLoadShowsTheSameText() {
        QFETCH(QByteArray, bytes);
        CEditDoc::SetLargeFileLimit(-1);
        const std::string path = Make("steps.log", bytes.toStdString());
        QVERIFY(m_template->OpenDocumentFile(path));
        QVERIFY(WaitLoaded() && Viewer()->GetDocument().IsLarge());
        QVERIFY(!Viewer()->GetDocument().IsModified());
        QTest::keyClick(&Large(), 'Z');
        QVERIFY(WaitLoaded());
        QVERIFY(!Viewer()->GetDocument().IsLarge());
        QPlainTextEdit atOnce;
        atOnce.setPlainText(DecodeLogBytes(bytes));
        QCOMPARE(ViewText(), "Z" + atOnce.toPlainText());
        QCOMPARE(View().textCursor().position(), 1);
        QVERIFY(!View().isReadOnly());
        QVERIFY(Viewer()->GetDocument().IsModified());
        QVERIFY(View().hasFocus() || !Viewer()->isActiveWindow());
        QVERIFY(m_boxes.empty());
        QCOMPARE(ReadBytes(path), bytes.toStdString());
    }

    // Keys that edit, typed into the large view, act in the text view at the large view's
    // selection; keys that do not edit leave the large view as it is.
    void typingActsAtTheLargeViewsSelection_data() {
        QTest::addColumn<QPoint>("anchor");
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expected");
        const int end = std::numeric_limits<int>::max();
        QTest::newRow("caret inside a line")
            << QPoint(1, 1) << QPoint(1, 1) << "X" << 0 << "one\ntXwo\nthree\n";
        QTest::newRow("across lines, typed over")
            << QPoint(0, 2) << QPoint(2, 1) << "Y" << 0 << "onYhree\n";
        QTest::newRow("backwards, Backspace")
            << QPoint(2, 1) << QPoint(0, 2) << "" << int(Qt::Key_Backspace) << "onhree\n";
        QTest::newRow("Delete at a caret")
            << QPoint(0, 0) << QPoint(0, 0) << "" << int(Qt::Key_Delete) << "ne\ntwo\nthree\n";
        QTest::newRow("Enter") << QPoint(2, 2) << QPoint(2, 2) << "" << int(Qt::Key_Return)
                               << "one\ntwo\nth\nree\n";
        QTest::newRow("everything, typed over")
            << QPoint(0, 0) << QPoint(end, end) << "ab" << 0 << "ab";
        QTest::newRow("column past the line's end")
            << QPoint(1, 99) << QPoint(1, 99) << "!" << 0 << "one\ntwo!\nthree\n";
        QTest::newRow("paste over a word")
            << QPoint(0, 0) << QPoint(0, 3) << "" << int(Qt::Key_V) << "pasted\ntwo\nthree\n";
        QTest::newRow("arrows and pages edit nothing")
            << QPoint(0, 0) << QPoint(0, 0) << "" << int(Qt::Key_PageDown) << "";
    }

    void typingActsAtTheLargeViewsSelection() {
        QFETCH(QPoint, anchor);
        QFETCH(QPoint, cursor);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, expected);
        CEditDoc::SetLargeFileLimit(0);
        const std::string bytes = "one\r\ntwo\r\nthree\r\n";
        const std::string path = Make("typed.log", bytes);
        QVERIFY(m_template->OpenDocumentFile(path));
        QVERIFY(WaitLoaded());
        const auto at = [](QPoint p) { return LargeLogView::Position{p.x(), p.y()}; };
        Large().SetSelection(at(anchor), at(cursor));
        QApplication::clipboard()->setText("pasted");
        QTest::keyClicks(&Large(), typed);
        if (key == Qt::Key_V)
            QTest::keyClick(&Large(), Qt::Key_V, Qt::ControlModifier);
        else if (key != 0)
            QTest::keyClick(&Large(), Qt::Key(key));
        QVERIFY(WaitLoaded());
        QCOMPARE(Viewer()->GetDocument().IsLarge(), expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(ViewText(), expected);
        QCOMPARE(ReadBytes(path), bytes);
        QVERIFY(m_boxes.empty());
    }

    void growingFileShownAsWhenOpened_data() {
        QTest::addColumn<bool>("typed");
        QTest::newRow("typed into") << true;
        QTest::newRow("large-file view") << false;
    }

    void growingFileShownAsWhenOpened() {
        QFETCH(bool, typed);
        const std::string first = LogOfSize(16'000'000);
        const std::string path = Make("growing.log", first);
        QVERIFY(m_template->OpenDocumentFile(path));
        QVERIFY(Viewer()->GetDocument().IsLarge());
        if (typed) { // indexing may well be over by now, the text view's fill is not
            QTest::keyClick(&Large(), 'Z');
            QVERIFY(Viewer()->GetDocument().IsLoading());
            QVERIFY(Viewer()->windowTitle().contains(QRegularExpression(" \\(loading \\d+%\\)$")));
        }
        std::ofstream(path, std::ios::binary | std::ios::app) << "\r\nwritten after the open\r\n";
        QVERIFY(WaitLoaded());
        QCOMPARE(Viewer()->GetDocument().IsLarge(), !typed);
        QCOMPARE(ViewText(),
                 (typed ? "Z" : "") + QString::fromStdString(first).replace("\r\n", "\n"));
        QCOMPARE(Viewer()->windowTitle(), QString("log - growing.log"));
    }

    void secondOpenAbandonsTheFirstLoad_data() {
        QTest::addColumn<std::size_t>("secondSize");
        QTest::addColumn<bool>("typed");
        QTest::newRow("typed into, second large") << std::size_t{700'000} << true;
        QTest::newRow("typed into, second at once") << std::size_t{5'000} << true;
        QTest::newRow("large, second large") << std::size_t{700'000} << false;
        QTest::newRow("large, second at once") << std::size_t{5'000} << false;
    }

    void secondOpenAbandonsTheFirstLoad() {
        QFETCH(std::size_t, secondSize);
        QFETCH(bool, typed);
        const std::int64_t largeLimit = 500'000;
        CEditDoc::SetLargeFileLimit(largeLimit);
        QVERIFY(m_template->OpenDocumentFile(Make("first.log", LogOfSize(3'000'000))));
        QVERIFY(Viewer()->GetDocument().IsLarge());
        if (typed) {
            QTest::keyClicks(&Large(), "typed");
            QVERIFY(Viewer()->GetDocument().IsLoading());
        }
        std::string second = LogOfSize(secondSize);
        QVERIFY(m_template->OpenDocumentFile(Make("second.log", second)));
        QVERIFY(WaitLoaded());
        PumpEventsFor(50);
        QCOMPARE(ViewText(), QString::fromStdString(second).replace("\r\n", "\n"));
        QCOMPARE(Viewer()->GetDocument().IsLarge(),
                 static_cast<std::int64_t>(secondSize) > largeLimit);
        QCOMPARE(Viewer()->windowTitle(), QString("log - second.log"));
        QCOMPARE(ViewerWindows().size(), 1);
    }

    void receptionGoesOnDuringALoad_data() {
        QTest::addColumn<bool>("typed");
        QTest::newRow("typed into") << true;
        QTest::newRow("large-file view") << false;
    }

    void receptionGoesOnDuringALoad() {
        QFETCH(bool, typed);
        g_programDir = m_dir->path().toStdString() + "/";
        CMainFrame frame;
        frame.OpenLogFiles();
        frame.SetLogViewerTemplate(m_template.get());
        const std::string path = Make("big.log", LogOfSize(16'000'000));
        AfxSetMainWnd(&frame);
        QVERIFY(g_listener.Open(0));
        g_listener.m_suspended = 0;
        const std::uint16_t port = Sockets::LocalPort(g_listener.m_hSocket);
        const int rowsBefore = frame.GetActiveView()->Model().rowCount();
        constexpr int kCount = 500;
        std::atomic<bool> started{false};
        std::thread sender([&] {
            const LoopbackSender socket;
            while (!started)
                std::this_thread::yield();
            for (int i = 0; i < kCount; ++i) {
                socket.Send(port, "<14>during load " + std::to_string(i));
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        QVERIFY(m_template->OpenDocumentFile(path));
        if (typed)
            QTest::keyClick(&Large(), 'Z');
        started = true;
        // Sampled by a timer: a platform's dispatcher may run the whole load, with the
        // datagrams between its steps, inside one call to process events.
        int rowsWhileLoading = 0;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, [&] {
            frame.GetActiveView()->FlushPendingRows();
            if (Viewer()->GetDocument().IsLoading())
                rowsWhileLoading = frame.GetActiveView()->Model().rowCount() - rowsBefore;
        });
        sample.start(5);
        PumpEventsUntil([&] { return !Viewer()->GetDocument().IsLoading(); }, 60000);
        sample.stop();
        sender.join();
        PumpEventsFor(100);
        frame.GetActiveView()->FlushPendingRows();
        g_listener.ShutDownForExit();
        AfxSetMainWnd(nullptr);
        if (typed) // indexing runs off this thread and may end before the first datagram
            QVERIFY2(rowsWhileLoading > 0, "nothing was received while the file loaded");
        QCOMPARE(frame.GetActiveView()->Model().rowCount() - rowsBefore, kCount);
        frame.close();
        const std::string log = ReadBytes(PathOf("syslog.log"));
        for (int i = 0; i < kCount; ++i)
            QVERIFY(log.find(" during load " + std::to_string(i) + "\r\n") != std::string::npos);
    }
    // The large-file view shows the same lines as the text view for the same bytes, and
    // Select All with Copy gives the same text.
    void largeViewShowsTheSameText_data() {
        stepwiseLoadShowsTheSameText_data();
    }

    void largeViewShowsTheSameText() {
        QFETCH(QByteArray, bytes);
        CEditDoc::SetLargeFileLimit(-1);
        const std::string path = Make("large.log", bytes.toStdString());
        QVERIFY(m_template->OpenDocumentFile(path));
        QVERIFY(WaitLoaded());
        QVERIFY(Viewer()->GetDocument().IsLarge());
        QPlainTextEdit atOnce;
        atOnce.setPlainText(DecodeLogBytes(bytes));
        const QTextDocument& expected = *atOnce.document();
        QCOMPARE(Large().LineCount(), std::int64_t{expected.blockCount()});
        const QStringList lines = Large().Lines(0, Large().LineCount());
        for (QTextBlock block = expected.begin(); block.isValid(); block = block.next())
            QCOMPARE(lines[block.blockNumber()], block.text());
        // Lines read one by one start from the index's marks, not from the top.
        for (int line = 0; line < expected.blockCount(); line += 997)
            QCOMPARE(Large().Lines(line, 1), QStringList{lines[line]});
        QCOMPARE(Viewer()->SelectAllAction()->isEnabled(), !bytes.isEmpty());
        QCOMPARE(Viewer()->FindAction()->isEnabled(), !bytes.isEmpty());
        if (!bytes.isEmpty()) {
            QApplication::clipboard()->clear();
            Viewer()->SelectAllAction()->trigger();
            QVERIFY(Viewer()->CopyAction()->isEnabled());
            Viewer()->CopyAction()->trigger();
            QCOMPARE(QApplication::clipboard()->text(), atOnce.toPlainText());
        }
        QVERIFY(m_boxes.empty());
        QCOMPARE(ReadBytes(path), bytes.toStdString());
    }

    // Find in the large-file view finds what Find over the whole text finds, in order, with
    // hits on and across the edges of the blocks it reads.
    void largeViewFindAcrossBlockEdges_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("flags");
        QTest::addColumn<qint64>("blockSize");
        using F = QTextDocument;
        const QByteArray edges = QByteArray("xxab\r\nabab\rab\nab ab\r\n").repeated(40);
        QTest::newRow("forward, tiny blocks") << edges << "ab" << 0 << qint64{5};
        QTest::newRow("backward, tiny blocks")
            << edges << "AB" << int(F::FindBackward) << qint64{7};
        QTest::newRow("line longer than a block")
            << QByteArray(100, 'x') + "needle" + QByteArray(100, 'y') + "\r\nneedle\n"
            << "needle" << 0 << qint64{16};
        QTest::newRow("long line backward")
            << "needle\r" + QByteArray(100, 'x') + "needle" + QByteArray(100, 'y') << "needle"
            << int(F::FindBackward) << qint64{16};
        QTest::newRow("whole word, case, backward")
            << QByteArray("Ab ab AB xAB AB\r\n").repeated(30) << "AB"
            << int(F::FindWholeWords | F::FindCaseSensitively | F::FindBackward) << qint64{9};
        QTest::newRow("invalid UTF-8")
            << QByteArray("\xC3\xA9t\xE9 T\xC3\x89t\xFF\r\n").repeated(30)
            << QString::fromUtf16(u"té") << 0 << qint64{6};
    }

    void largeViewFindAcrossBlockEdges() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, what);
        QFETCH(int, flags);
        QFETCH(qint64, blockSize);
        CEditDoc::SetLargeFileLimit(-1);
        LargeFileSearch::SetBlockSize(blockSize);
        QVERIFY(m_template->OpenDocumentFile(Make("find.log", bytes.toStdString())));
        QVERIFY(WaitLoaded());
        const auto options = QTextDocument::FindFlags(flags);
        const bool backward = options.testFlag(QTextDocument::FindBackward);
        QPlainTextEdit atOnce;
        atOnce.setPlainText(DecodeLogBytes(bytes));
        const QString text = atOnce.toPlainText();
        QList<QPoint> expected;
        for (qsizetype at = FindInText(text, what, backward ? text.size() : 0, options); at >= 0;
             at = FindInText(text, what, backward ? at : at + what.size(), options)) {
            const QTextBlock block = atOnce.document()->findBlock(static_cast<int>(at));
            expected << QPoint(block.blockNumber(), static_cast<int>(at - block.position()));
        }
        QVERIFY(!expected.isEmpty());
        if (backward) {
            Large().SelectAll();
            Large().SetSelection(Large().SelectionEnd(), Large().SelectionEnd());
        }
        QCOMPARE(LargeHits(what, options), expected);
        QCOMPARE(m_boxes,
                 std::vector<std::string>{"Cannot find the string '" + what.toStdString() + "'."});
        const auto last = Large().SelectionStart();
        QCOMPARE(QPoint(int(last.line), int(last.column)), expected.last()); // the last hit stays
    }

    void largeViewCopiesUpToItsBound() {
        CEditDoc::SetLargeFileLimit(0);
        const std::string bytes = LogOfSize(LargeLogView::kCopyLimit + 1'000'000);
        QVERIFY(m_template->OpenDocumentFile(Make("huge.log", bytes)));
        QVERIFY(WaitLoaded());
        QApplication::clipboard()->setText("before");
        Viewer()->SelectAllAction()->trigger();
        Viewer()->CopyAction()->trigger();
        QCOMPARE(m_boxes.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(m_boxes[0])
                    .startsWith("The selection is too large to copy: 16 MB"));
        QCOMPARE(QApplication::clipboard()->text(), QString("before"));
        QTest::keyClick(&Large(), 'Z'); // over the text view's capacity: read-only
        QVERIFY(!Viewer()->GetDocument().IsLoading() && Viewer()->GetDocument().IsLarge());
        // A part of some lines copies as the text view would copy it.
        Large().SetSelection({2, 7}, {0, 4});
        Viewer()->CopyAction()->trigger();
        const QString all = QString::fromStdString(bytes.substr(0, 2000)).replace("\r\n", "\n");
        const qsizetype third = all.indexOf('\n', all.indexOf('\n') + 1) + 1;
        QCOMPARE(QApplication::clipboard()->text(), all.mid(4, third + 7 - 4));
        QCOMPARE(m_boxes.size(), std::size_t{1});
        QCOMPARE(ReadBytes(PathOf("huge.log")), bytes);
    }

    void largeViewWrapsAndPrintsAPageRange() {
        CEditDoc::SetLargeFileLimit(0);
        std::string text;
        for (int i = 0; i < 2000; ++i)
            text += "Dec 08 04:37:41 10.1.1.1 line " + std::to_string(i) + "\r\n";
        QVERIFY(m_template->OpenDocumentFile(Make("pages.log", text)));
        QVERIFY(WaitLoaded());
        QVERIFY(Large().WordWrap());
        Viewer()->WordWrapAction()->trigger();
        QVERIFY(!Large().WordWrap() && !Viewer()->WordWrapAction()->isChecked());
        const QString pdf = m_dir->filePath("range.pdf");
        int from = 0;
        PrintDialogs::SetPrintDialog([&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setFromTo(from, from ? from + 1 : 0);
            return true;
        });
        const auto print = [&] {
            Viewer()->PrintAction()->trigger();
            QVERIFY(Large().Printing()); // in steps: the event loop goes on meanwhile
            QVERIFY(PumpEventsUntil([&] { return !Large().Printing(); }, 30000));
        };
        print();
        const int all = PdfPageCount(pdf.toStdString());
        QVERIFY(all > 10);
        from = 3;
        print();
        QCOMPARE(PdfPageCount(pdf.toStdString()), 2);
        QCOMPARE(m_template->Printer().pageLayout().margins(QPageLayout::Inch),
                 QMarginsF(0.5, 0.5, 0.5, 0.5));
    }

    // A line taller than a page goes on over the next pages, all of it printed.
    void largeViewPrintsALineTallerThanAPage() {
        CEditDoc::SetLargeFileLimit(0);
        std::string line;
        for (int i = 0; i < 20'000; ++i)
            line += QString::asprintf("%07d ", i).toStdString();
        QVERIFY(m_template->OpenDocumentFile(Make("tall.log", "first\r\n" + line + "\r\nlast")));
        QVERIFY(WaitLoaded());
        const QString pdf = m_dir->filePath("tall.pdf");
        PrintDialogs::SetPrintDialog([&](QPrinter& printer, QWidget*) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        Viewer()->PrintAction()->trigger();
        QVERIFY(PumpEventsUntil([&] { return !Large().Printing(); }, 60000));
        // 160,000 characters at well under 200 to a row and 80 rows to a page.
        QVERIFY2(PdfPageCount(pdf.toStdString()) > 10,
                 qPrintable(QString::number(PdfPageCount(pdf.toStdString()))));
    }

    // A line far longer than the window is all shown: scrolled down row by row when wrapped
    // and across when not, every word of it comes on screen, and so does a hit at its end.
    void largeViewShowsAllOfALongLine_data() {
        QTest::addColumn<bool>("wrap");
        QTest::newRow("wrapped") << true;
        QTest::newRow("unwrapped") << false;
    }

    void largeViewShowsAllOfALongLine() {
        QFETCH(bool, wrap);
        CEditDoc::SetLargeFileLimit(0);
        constexpr int kWords = 5'000; // 40,000 characters
        std::string line;
        for (int i = 0; i < kWords; ++i)
            line += QString::asprintf("%07d ", i).toStdString();
        QVERIFY(m_template->OpenDocumentFile(
            Make("long.log", "first\r\n" + line + "needle\r\nlast\r\n")));
        QVERIFY(WaitLoaded());
        if (!wrap)
            Viewer()->WordWrapAction()->trigger();
        // Only a window on screen paints; some platforms show it a few events after show().
        QVERIFY(QTest::qWaitForWindowExposed(Viewer()));
        QSet<QString> seen;
        const auto look = [&] {
            Large().viewport()->repaint();
            for (const QString& row : Large().TextOnScreen())
                for (const QString& word : row.split(' '))
                    seen << word;
        };
        QScrollBar& across = *Large().horizontalScrollBar();
        for (int step = 0; step < 20'000 && Large().TopLine() < 2; ++step) {
            look();
            if (wrap)
                QTest::keyClick(&Large(), Qt::Key_Down);
            else if (across.value() < across.maximum())
                across.setValue(across.value() + Large().viewport()->width() / 2);
            else
                break;
        }
        for (int i = 0; i < kWords; ++i)
            QVERIFY2(seen.contains(QString::asprintf("%07d", i)), qPrintable(QString::number(i)));
        Large().SetSelection({}, {});
        across.setValue(0);
        Large().verticalScrollBar()->setValue(0);
        QVERIFY(Large().FindText("needle", {}));
        QVERIFY(PumpEventsUntil([this] { return !Large().Searching(); }, 10000));
        Large().viewport()->repaint();
        QVERIFY(Large().TextOnScreen().join(' ').contains("needle"));
    }
};

QTEST_MAIN(ViewerTest)
#include "viewer_test.moc"
