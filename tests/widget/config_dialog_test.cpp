#include "core/forward/Forwarding.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogSocket.h"
#include "core/storage/LogFileEntry.h"
#include "core/storage/LogFileSet.h"
#include "core/tls/Fingerprint.h"
#include "core/transport/TcpReceiver.h"
#include "gui/config/CfgLogFiles.h"
#include "gui/config/CfgNetwork.h"
#include "gui/config/ConfigureCommand.h"
#include "gui/config/FingerprintDialog.h"
#include "gui/framework/CommandIds.h"
#include "gui/framework/PropertyPage.h"
#include "gui/framework/PropertySheet.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindView.h"
#include "support_udp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <tuple>

#include <openssl/pem.h>

namespace {

constexpr const char* kNoAddressesMessage =
    "You have specified that you want to filter messages by IP address.\n However, you have "
    "not specified any IP addresses.\n Please try again...";
constexpr const char* kEmptyDirectoryMessage =
    "Directory field cannot be empty.\r\nPlease select a directory!";
constexpr const char* kUnwritableMessage =
    "Cannot write to this directory.\r\nPlease select a different directory!";
constexpr const char* kNoFilterWarning =
    "Warning! You have requested to log info via IP ADDRESS,\n but you have not selected IP "
    "ADDRESS security.\n This means that no packets would be logged!\n Setting logging to "
    "syslog.log instead.\n Rerun the configuration to correct this error!";

enum Leave { ByTab, ByOk };

QByteArray ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return QByteArray::fromStdString(bytes.str());
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary) << bytes.toStdString();
}

// The settings file as a first start writes it.
// Directories are typed, shown and stored with the platform's own separator, which the
// program appends when one is missing: a backslash on Windows.
const QChar kSep = QDir::separator();

QByteArray SettingsText(int logType, const QString& logDir, bool security) {
    return "[Marovind]\r\nLOG_TYPE = " + QByteArray::number(logType) +
           "\r\nLOG_DIR = " + logDir.toUtf8() +
           "\r\nLOG_SECURITY = " + (security ? "true" : "false") + "\r\n";
}

QStringList LogNames(const LogFileSet& set) {
    QStringList names;
    for (const auto& entry : set.m_logFiles)
        names << QString::fromStdString(entry->Name());
    return names;
}

QStringList Permitted() {
    QStringList list;
    for (const std::string& address : g_listener.m_permittedAddresses)
        list << QString::fromStdString(address);
    return list;
}

// The open sheet and its controls, driven the way the operator would.
class Sheet {
public:
    explicit Sheet(CPropertySheet& sheet) : m_sheet(sheet) {}

    CPropertySheet& Widget() { return m_sheet; }
    QTabWidget* Tabs() { return m_sheet.findChild<QTabWidget*>(); }
    int CurrentTab() { return Tabs()->currentIndex(); }
    bool IsOpen() { return m_sheet.isVisible(); }

    template <class T> T* Control(const char* name) {
        T* control = m_sheet.findChild<T*>(QLatin1String(name));
        if (!control)
            qWarning("no control %s", name);
        return control;
    }
    QPlainTextEdit* AddressBox() { return Control<QPlainTextEdit>("addressBox"); }
    QLineEdit* DirectoryBox() { return Control<QLineEdit>("directoryBox"); }
    QAbstractButton* Scheme(int index) {
        return Control<QAbstractButton>(QStringLiteral("scheme%1").arg(index).toLatin1());
    }
    QAbstractButton* Button(QDialogButtonBox::StandardButton which) {
        return m_sheet.findChild<QDialogButtonBox*>()->button(which);
    }

    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void ClickAnybody() { Click(Control<QAbstractButton>("anybody")); }
    void ClickListedOnly() { Click(Control<QAbstractButton>("listedOnly")); }
    void ClickOk() { Click(Button(QDialogButtonBox::Ok)); }
    void ClickCancel() { Click(Button(QDialogButtonBox::Cancel)); }
    void ClickTab(int index) {
        QTabBar* bar = Tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    void Leave(enum Leave how) {
        if (how == ByOk)
            ClickOk();
        else
            ClickTab(1 - CurrentTab());
    }

    // Replaces the box's text by typing; "\n" is the Enter key.
    void TypeAddresses(const QString& text) {
        QPlainTextEdit* box = AddressBox();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClicks(box, lines[i]);
        }
    }
    void TypeDirectory(const QString& text) {
        QLineEdit* box = DirectoryBox();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }

private:
    CPropertySheet& m_sheet;
};

struct Shown {
    std::string text;
    bool sheetOpen;
    int suspended;
};

// A main window for the listener: it logs what arrives, as the frame does.
class LoggingTarget : public MessageTarget {
public:
    explicit LoggingTarget(LogFileSet& set) : m_set(set) {}
    std::intptr_t SendMessage(unsigned message, std::uintptr_t, std::intptr_t lParam) override {
        if (message != WM_SYSLOG_MESSAGE)
            return 0;
        const auto& record = *reinterpret_cast<const SyslogRecord*>(lParam);
        m_texts << QString::fromLatin1(record.messageText);
        m_set.WriteLogLine(record);
        return 1;
    }
    QStringList m_texts;

private:
    LogFileSet& m_set;
};

// An existing directory that refuses new files to every user, root and administrators
// too, unlike one without write permission: Linux's procfs, which wine shows on drive Z:.
// Empty where there is none.
QString RefusingDirectory() {
#ifdef _WIN32
    const QString procfs = QStringLiteral("Z:\\proc");
#else
    const QString procfs = QStringLiteral("/proc");
#endif
    return QFileInfo(procfs).isDir() ? procfs : QString();
}

constexpr const char* kNoRefusingDirectory =
    "no procfs here (Windows itself, not wine): no other directory refuses new files to "
    "every user, administrators too";

} // namespace

class ConfigDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void sheetHasItsPagesInOrder();
    void addressList_data();
    void addressList();
    void addressBoxReadOnlyFollowsChoice();
    void firstLineCheck_data();
    void firstLineCheck();
    void directoryCheck_data();
    void directoryCheck();
    void browse_data();
    void browse();
    void schemeAndFilter_data();
    void schemeAndFilter();
    void onlyFirstPageShown_data();
    void onlyFirstPageShown();
    void schemeOutOfRange_data();
    void schemeOutOfRange();
    void missingKeysShowWhatIsInForce();
    void closingWithoutOkChangesNothing_data();
    void closingWithoutOkChangesNothing();
    void fullApply();
    void receptionGoesOnWhileOpenAndFollowsNewScheme();
    void datagramsWaitWhileApplying();
    void networkGroupAppliesAtOnceAndWritesOnlyChanges();
    void archiveGroupWritesOnlyChangesAndAppliesAtOnce();
    void tlsControlsWriteOnlyChangesAndCreateCertificates();
    void certificateInAnUnwritableDirectory();
    void fingerprintCanBeCopied();
    void forwardPageWritesOnlyChangedTargets();
    void screenshots();

private:
    QString ProgramFile(const char* name) const { return m_programDir.filePath(name); }
    QString ProgramDirText() const { return QString::fromStdString(g_programDir); }
    QString NewDirectory(const char* name) {
        QDir(m_programDir.path()).mkdir(name);
        return QDir::toNativeSeparators(m_programDir.filePath(name));
    }
    // The state a start-up leaves: settings and address list on disk, the set open and
    // the filter loaded.
    void Start(const QByteArray& settings, const QByteArray* addresses);
    // Has `script` act on the next sheet that opens. A sheet the script leaves open is
    // cancelled (and m_leftOpen set), so a failing script cannot hang the test.
    void DriveNextSheet(const std::function<void(Sheet&)>& script, bool& ran);
    // Runs the command with `script` acting on the open sheet.
    void Configure(const std::function<void(Sheet&)>& script);
    QStringList Texts() const {
        QStringList texts;
        for (const Shown& shown : m_shown)
            texts << QString::fromStdString(shown.text);
        return texts;
    }

    QTemporaryDir m_programDir;
    LogFileSet m_frame;
    std::vector<Shown> m_shown;
    QStringList m_fingerprints; // shown after "Create Certificate..."
    QStringList m_asked;        // questions, answered with m_answer
    int m_answer = IDNO;
    std::function<void()> m_onMessage;
    bool m_leftOpen = false;
    QWidget* m_owner = nullptr;
};

void ConfigDialogTest::initTestCase() {
    QVERIFY(m_programDir.isValid());
    g_programDir = QDir::toNativeSeparators(m_programDir.path() + '/').toStdString();
    // An empty LOG_DIR opens the log files relative to the working directory.
    QVERIFY(QDir::setCurrent(m_programDir.path()));
    Q_INIT_RESOURCE(marovind);
    QVERIFY(Sockets::Startup()); // as the program does before it opens its socket
    SetMessageBoxHandler([this](const std::string& text) {
        m_shown.push_back({text, QApplication::activeModalWidget() != nullptr,
                           static_cast<int>(g_listener.m_suspended)});
        if (m_onMessage)
            m_onMessage();
        return IDOK;
    });
}

void ConfigDialogTest::cleanupTestCase() {
    // Windows cannot remove the working directory of a running process.
    QVERIFY(QDir::setCurrent(QCoreApplication::applicationDirPath()));
}

void ConfigDialogTest::init() {
    QDir dir(m_programDir.path());
    for (const QString& name : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        QFileInfo(dir.filePath(name)).isDir() ? (void)QDir(dir.filePath(name)).removeRecursively()
                                              : (void)dir.remove(name);
    m_leftOpen = false;
    m_onMessage = nullptr;
    CCfgLogFiles::s_chooseFolder = nullptr;
    CCfgNetwork::s_chooseFile = nullptr;
    CCfgNetwork::s_showFingerprint = [this](QWidget*, const QString& fingerprint) {
        m_fingerprints << fingerprint;
    };
    SetQuestionBoxHandler([this](const std::string& text) {
        m_asked << QString::fromStdString(text);
        return m_answer;
    });
}

void ConfigDialogTest::cleanup() {
    m_frame.CloseLogFiles();
    m_shown.clear();
    m_fingerprints.clear();
    m_asked.clear();
    m_answer = IDNO;
}

void ConfigDialogTest::Start(const QByteArray& settings, const QByteArray* addresses) {
    WriteFile(ProgramFile("Marovind.ini"), settings);
    if (addresses)
        WriteFile(ProgramFile("ipaddr.flt"), *addresses);
    m_frame.OpenLogFiles();
    g_listener.ReloadSourceFilter();
    m_shown.clear();
}

void ConfigDialogTest::DriveNextSheet(const std::function<void(Sheet&)>& script, bool& ran) {
    auto drive = std::make_shared<std::function<void()>>();
    *drive = [this, script, &ran, drive] {
        auto* sheet = qobject_cast<CPropertySheet*>(QApplication::activeModalWidget());
        if (!sheet) {
            QTimer::singleShot(10, *drive);
            return;
        }
        *drive = nullptr; // breaks the cycle once the sheet is found
        ran = true;
        // Keyboard focus needs the sheet to be the active window.
        sheet->activateWindow();
        if (!QTest::qWaitForWindowActive(sheet))
            qWarning("the sheet did not become the active window");
        Sheet driver(*sheet);
        script(driver);
        if (sheet->isVisible()) {
            m_leftOpen = true;
            sheet->reject();
        }
    };
    QTimer::singleShot(0, *drive);
}

void ConfigDialogTest::Configure(const std::function<void(Sheet&)>& script) {
    bool ran = false;
    DriveNextSheet(script, ran);
    RunConfigureCommand(m_frame, m_owner);
    QVERIFY(ran);
}

void ConfigDialogTest::sheetHasItsPagesInOrder() {
    Start(SettingsText(0, ProgramDirText(), false), nullptr);
    QWidget owner;
    m_owner = &owner;
    Configure([&](Sheet& sheet) {
        QCOMPARE(sheet.Widget().windowTitle(), QStringLiteral("Marovind Configuration"));
        QCOMPARE(sheet.Widget().parentWidget(), &owner);
        QVERIFY(sheet.Widget().isModal());
        QCOMPARE(sheet.Tabs()->count(), 5);
        QCOMPARE(sheet.Tabs()->tabText(0), QStringLiteral("Security Settings"));
        QCOMPARE(sheet.Tabs()->tabText(1), QStringLiteral("Log File Destinations"));
        QCOMPARE(sheet.Tabs()->tabText(2), QStringLiteral("Network Settings"));
        QCOMPARE(sheet.Tabs()->tabText(3), QStringLiteral("Archive Settings"));
        QCOMPARE(sheet.Tabs()->tabText(4), QStringLiteral("Forward"));
        QCOMPARE(sheet.CurrentTab(), 0);
        QVERIFY(sheet.Button(QDialogButtonBox::Ok)->isEnabled());
        QVERIFY(sheet.Button(QDialogButtonBox::Cancel)->isEnabled());
        QVERIFY(!sheet.Button(QDialogButtonBox::Apply)->isEnabled());

        // Tab order is template order: the focus chain of each page, from its first control.
        auto chain = [](QWidget* first) {
            QStringList names;
            for (QWidget* w = first; names.size() < 8; w = w->nextInFocusChain()) {
                if (w->focusPolicy() & Qt::TabFocus && w->parentWidget() == first->parentWidget())
                    names << w->objectName();
                if (w->nextInFocusChain() == first)
                    break;
            }
            return names;
        };
        QCOMPARE(chain(sheet.Control<QWidget>("anybody")),
                 QStringList({"anybody", "listedOnly", "addressBox"}));
        QCOMPARE(chain(sheet.DirectoryBox()), QStringList({"directoryBox", "browse", "scheme0",
                                                           "scheme1", "scheme2", "scheme3"}));
        // Every control lies inside its page.
        for (QWidget* page : {sheet.Tabs()->widget(0), sheet.Tabs()->widget(1),
                              sheet.Tabs()->widget(2), sheet.Tabs()->widget(3)})
            for (QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                QVERIFY2(page->rect().contains(control->geometry()),
                         qPrintable(control->objectName()));
        // Labels show their whole text and keep clear of the directory box.
        for (QLabel* label : sheet.Widget().findChildren<QLabel*>())
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
        const QLabel* directoryLabel = sheet.Tabs()->widget(1)->findChild<QLabel*>();
        QString places;
        QDebug(&places) << directoryLabel->geometry() << sheet.DirectoryBox()->geometry()
                        << directoryLabel->font();
        QVERIFY2(!directoryLabel->geometry().intersects(sheet.DirectoryBox()->geometry()),
                 qPrintable(places));
        sheet.ClickCancel();
    });
    m_owner = nullptr;
    QVERIFY(!m_leftOpen);
}

void ConfigDialogTest::addressList_data() {
    QTest::addColumn<QByteArray>("fileBefore");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("filterOn");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typed"); // "-" leaves the box alone
    QTest::addColumn<int>("click");     // -1 none, 0 Anybody, 1 Just the addresses
    QTest::addColumn<QByteArray>("fileAfter");

    const QByteArray two = "10.1.1.1\r\n10.1.1.2\r\n";
    QTest::newRow("two lines shown and rewritten unchanged")
        << two << false << true << "10.1.1.1\n10.1.1.2\n"
        << "-" << -1 << two;
    QTest::newRow("empty line in the middle is dropped") << QByteArray() << false << true << ""
                                                         << "10.1.1.1\n\n10.1.1.2" << -1 << two;
    QTest::newRow("LF lines and an empty line are shown, written with CR LF")
        << QByteArray("10.1.1.1\n\n10.1.1.2") << false << false << "10.1.1.1\n\n10.1.1.2\n"
        << "-" << -1 << two;
    QTest::newRow("Anybody with an empty box writes an empty file")
        << two << false << true << "10.1.1.1\n10.1.1.2\n"
        << "" << 0 << QByteArray();
    QTest::newRow("missing file opens empty and is written empty")
        << QByteArray() << true << false << ""
        << "-" << -1 << QByteArray();
    QTest::newRow("pieces are written verbatim, duplicates and blanks kept")
        << QByteArray() << false << true << ""
        << " 10.1.1.1 \n10.1.1.1\n\n\n010.001.001.001" << -1
        << QByteArray(" 10.1.1.1 \r\n10.1.1.1\r\n010.001.001.001\r\n");
    QTest::newRow("read-only box under Anybody keeps and saves its text")
        << two << false << true << "10.1.1.1\n10.1.1.2\n"
        << "-" << 0 << two;
}

void ConfigDialogTest::addressList() {
    QFETCH(QByteArray, fileBefore);
    QFETCH(bool, missing);
    QFETCH(bool, filterOn);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(int, click);
    QFETCH(QByteArray, fileAfter);

    Start(SettingsText(0, ProgramDirText(), filterOn), missing ? nullptr : &fileBefore);
    Configure([&](Sheet& sheet) {
        QCOMPARE(sheet.AddressBox()->toPlainText(), shown);
        if (typed != QLatin1String("-")) {
            sheet.ClickListedOnly();
            sheet.TypeAddresses(typed);
        }
        if (click == 0)
            sheet.ClickAnybody();
        else if (click == 1)
            sheet.ClickListedOnly();
        sheet.ClickOk();
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(Texts(), QStringList());
    QCOMPARE(ReadFile(ProgramFile("ipaddr.flt")), fileAfter);
    const bool filterAfter = click == -1 ? filterOn : click == 1;
    QCOMPARE(g_listener.m_filterOn, filterAfter);
    QVERIFY(ReadFile(ProgramFile("Marovind.ini"))
                .contains(filterAfter ? "LOG_SECURITY = true\r\n" : "LOG_SECURITY = false\r\n"));
}

void ConfigDialogTest::addressBoxReadOnlyFollowsChoice() {
    const QByteArray one = "10.1.1.1\r\n";
    Start(SettingsText(0, ProgramDirText(), false), &one);
    Configure([&](Sheet& sheet) {
        QPlainTextEdit* box = sheet.AddressBox();
        QVERIFY(box->isReadOnly());
        sheet.TypeAddresses("typed");
        QCOMPARE(box->toPlainText(), QStringLiteral("10.1.1.1\n"));
        sheet.ClickListedOnly();
        QVERIFY(!box->isReadOnly());
        sheet.TypeAddresses("10.2.2.2");
        sheet.ClickAnybody();
        QVERIFY(box->isReadOnly());
        QCOMPARE(box->toPlainText(), QStringLiteral("10.2.2.2"));
        sheet.ClickCancel();
    });
    QVERIFY(!m_leftOpen);
}

void ConfigDialogTest::firstLineCheck_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("leave");
    QTest::addColumn<bool>("refused");

    QTest::newRow("address only on the second line, by tab") << "\n10.1.1.1" << int(ByTab) << true;
    QTest::newRow("address only on the second line, by OK") << "\n10.1.1.1" << int(ByOk) << true;
    QTest::newRow("empty box, by OK") << "" << int(ByOk) << true;
    QTest::newRow("a first line of blanks passes") << " \n" << int(ByOk) << false;
    QTest::newRow("an address on the first line passes, by tab")
        << "10.1.1.1" << int(ByTab) << false;
}

void ConfigDialogTest::firstLineCheck() {
    QFETCH(QString, typed);
    QFETCH(int, leave);
    QFETCH(bool, refused);

    const QByteArray settings = SettingsText(0, ProgramDirText(), false);
    Start(settings, nullptr);
    Configure([&](Sheet& sheet) {
        sheet.ClickListedOnly();
        sheet.TypeAddresses(typed);
        sheet.Leave(Leave(leave));
        QCOMPARE(Texts(), refused ? QStringList{kNoAddressesMessage} : QStringList());
        if (refused) {
            QVERIFY(sheet.IsOpen());
            QVERIFY(m_shown.front().sheetOpen);
            QCOMPARE(sheet.CurrentTab(), 0);
            QCOMPARE(sheet.AddressBox()->toPlainText(), typed);
        } else if (leave == ByTab) {
            QCOMPARE(sheet.CurrentTab(), 1);
            sheet.ClickOk();
        }
        QCOMPARE(sheet.IsOpen(), refused);
    });
    QCOMPARE(m_leftOpen, refused);
    if (refused) {
        // Nothing was applied: the file written by start-up is untouched.
        QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), settings);
        QCOMPARE(ReadFile(ProgramFile("ipaddr.flt")), QByteArray());
        QVERIFY(!g_listener.m_filterOn);
    } else {
        QVERIFY(g_listener.m_filterOn);
        QVERIFY(ReadFile(ProgramFile("Marovind.ini")).contains("LOG_SECURITY = true\r\n"));
    }
}

void ConfigDialogTest::directoryCheck_data() {
    // "@" stands for a fresh writable directory, "!" for one that refuses new files
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("leave");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty, by tab") << "" << int(ByTab) << kEmptyDirectoryMessage;
    QTest::newRow("empty, by OK") << "" << int(ByOk) << kEmptyDirectoryMessage;
    QTest::newRow("below a regular file") << "#/sub" << int(ByOk) << kUnwritableMessage;
    QTest::newRow("missing directory, by tab") << "@/missing" << int(ByTab) << kUnwritableMessage;
    QTest::newRow("refuses new files") << "!" << int(ByOk) << kUnwritableMessage;
    QTest::newRow("writable, typed without separator") << "@" << int(ByOk) << "";
    QTest::newRow("writable, typed with separator, by tab") << "@/" << int(ByTab) << "";
}

void ConfigDialogTest::directoryCheck() {
    QFETCH(QString, typed);
    QFETCH(int, leave);
    QFETCH(QString, message);

    if (typed == "!") {
        typed = RefusingDirectory();
        if (typed.isEmpty())
            QSKIP(kNoRefusingDirectory);
    }
    const QString good = NewDirectory("logs");
    WriteFile(ProgramFile("plain"), "x");
    typed = QDir::toNativeSeparators(
        typed.replace(QLatin1Char('@'), good).replace(QLatin1Char('#'), ProgramFile("plain")));
    const QByteArray settings = SettingsText(0, ProgramDirText(), false);
    Start(settings, nullptr);
    const bool refused = !message.isEmpty();
    Configure([&](Sheet& sheet) {
        sheet.ClickTab(1);
        QCOMPARE(sheet.CurrentTab(), 1);
        sheet.TypeDirectory(typed);
        sheet.Leave(Leave(leave));
        QCOMPARE(Texts(), refused ? QStringList{message} : QStringList());
        if (!refused) {
            if (sheet.IsOpen())
                sheet.ClickOk();
            return;
        }
        QVERIFY(sheet.IsOpen());
        QCOMPARE(sheet.CurrentTab(), 1);
        QCOMPARE(QApplication::focusWidget(), sheet.DirectoryBox());
        QCOMPARE(sheet.DirectoryBox()->text(), typed);
        // Corrected, the same page can be left.
        sheet.TypeDirectory(good);
        sheet.ClickOk();
        QVERIFY(!sheet.IsOpen());
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(Texts().size(), refused ? 1 : 0);
    const QString accepted = refused ? good : typed;
    const QString stored = accepted.endsWith(kSep) ? accepted : accepted + kSep;
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), SettingsText(0, stored, false));
    QCOMPARE(QString::fromStdString(m_frame.m_logDir), stored);
    // The probe files are gone; only the new log file is there.
    QCOMPARE(QDir(good).entryList(QDir::Files), QStringList({"syslog.log"}));
}

void ConfigDialogTest::browse_data() {
    QTest::addColumn<QString>("chosen"); // "@" a writable directory, "!" a refusing one
    QTest::addColumn<QString>("box");    // the directory box afterwards
    QTest::addColumn<QString>("message");

    QTest::newRow("chosen without separator gets one") << "@"
                                                       << "@/"
                                                       << "";
    QTest::newRow("chosen with separator keeps one") << "@/"
                                                     << "@/"
                                                     << "";
    QTest::newRow("unwritable choice leaves the box") << "!"
                                                      << "%" << kUnwritableMessage;
    QTest::newRow("cancelled chooser leaves the box") << ""
                                                      << "%"
                                                      << "";
}

void ConfigDialogTest::browse() {
    QFETCH(QString, chosen);
    QFETCH(QString, box);
    QFETCH(QString, message);

    if (chosen == "!") {
        chosen = RefusingDirectory();
        if (chosen.isEmpty())
            QSKIP(kNoRefusingDirectory);
    }
    const QString good = NewDirectory("chosen");
    // The folder chooser answers with forward slashes, as Qt's file dialog does.
    chosen.replace(QLatin1Char('@'), QDir::fromNativeSeparators(good));
    box = QDir::toNativeSeparators(box.replace(QLatin1Char('@'), good))
              .replace(QLatin1Char('%'), ProgramDirText());
    Start(SettingsText(0, ProgramDirText(), false), nullptr);
    QString caption;
    QWidget* chooserOwner = nullptr;
    CCfgLogFiles::s_chooseFolder = [&](QWidget* owner, const QString& title) {
        chooserOwner = owner;
        caption = title;
        return chosen;
    };
    Configure([&](Sheet& sheet) {
        sheet.ClickTab(1);
        QCOMPARE(sheet.DirectoryBox()->text(), ProgramDirText());
        sheet.Click(sheet.Control<QAbstractButton>("browse"));
        QCOMPARE(caption, QStringLiteral("Select a Directory for storing SYSLOG files"));
        QCOMPARE(chooserOwner, sheet.Tabs()->widget(1));
        QCOMPARE(sheet.DirectoryBox()->text(), box);
        QCOMPARE(Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        sheet.ClickOk();
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(QString::fromStdString(m_frame.m_logDir), box);
    QCOMPARE(QDir(good).entryList(QDir::Files),
             box.startsWith(good) ? QStringList({"syslog.log"}) : QStringList());
}

void ConfigDialogTest::schemeAndFilter_data() {
    QTest::addColumn<int>("filterChoice");
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("saved");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<QStringList>("files");

    const QStringList severities = {"alert.log",  "crit.log",  "debug.log", "emerg.log",
                                    "err.log",    "error.log", "info.log",  "none.log",
                                    "notice.log", "panic.log", "warn.log",  "warning.log"};
    QTest::newRow("per address without filtering falls back to one file")
        << 0 << 3 << 0 << true << QStringList{"syslog.log"};
    QTest::newRow("per address with filtering")
        << 1 << 3 << 3 << false << QStringList{"10_1_1_1.log", "10_1_1_2.log"};
    QTest::newRow("per severity") << 0 << 1 << 1 << false << severities;
    QTest::newRow("per facility, filtered") << 1 << 2 << 2 << false << QStringList();
    QTest::newRow("one file") << 1 << 0 << 0 << false << QStringList{"syslog.log"};
}

void ConfigDialogTest::schemeAndFilter() {
    QFETCH(int, filterChoice);
    QFETCH(int, scheme);
    QFETCH(int, saved);
    QFETCH(bool, warned);
    QFETCH(QStringList, files);

    const QByteArray addresses = "10.1.1.1\r\n10.1.1.2\r\n";
    const QString logs = NewDirectory("logs") + kSep;
    Start(SettingsText(2, logs, filterChoice == 0), &addresses);
    Configure([&](Sheet& sheet) {
        sheet.Click(sheet.Control<QAbstractButton>(filterChoice ? "listedOnly" : "anybody"));
        sheet.ClickTab(1);
        QVERIFY(sheet.Scheme(2)->isChecked());
        sheet.Click(sheet.Scheme(scheme));
        sheet.ClickOk();
        QCOMPARE(Texts(), QStringList()); // the warning comes after the sheet closed
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(Texts(), warned ? QStringList{kNoFilterWarning} : QStringList());
    if (warned) {
        QVERIFY(!m_shown.front().sheetOpen);
        QCOMPARE(m_shown.front().suspended, 1);
    }
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), SettingsText(saved, logs, filterChoice));
    QCOMPARE(m_frame.m_logType, saved);
    if (scheme == 2)
        QCOMPARE(LogNames(m_frame).size(), 22);
    else
        QCOMPARE(LogNames(m_frame), files);
    for (const QString& name : files)
        QVERIFY2(QFile::exists(logs + name), qPrintable(name));
    QCOMPARE(int(g_listener.m_suspended), 0);
}

void ConfigDialogTest::onlyFirstPageShown_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    const QByteArray nowhere = QDir::toNativeSeparators("/nonexistent/x").toUtf8();
    const QByteArray sep = QString(kSep).toUtf8();
    const QByteArray kept =
        "; kept as it is\r\n[Marovind]\r\nLOG_TYPE = 2\r\nLOG_DIR = " + nowhere + sep +
        "\r\nLOG_SECURITY = false\r\n[Other]\r\nA = 1\r\n";
    QTest::newRow("directory and scheme written back unchanged") << kept << kept;
    QTest::newRow("a stored directory gets its separator")
        << "[Marovind]\r\nLOG_TYPE = 1\r\nLOG_DIR = " + nowhere + "\r\nLOG_SECURITY = false\r\n"
        << "[Marovind]\r\nLOG_TYPE = 1\r\nLOG_DIR = " + nowhere + sep +
               "\r\nLOG_SECURITY = false\r\n";
    QTest::newRow("an empty directory stays empty")
        << QByteArray("[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = \r\nLOG_SECURITY = false\r\n")
        << QByteArray("[Marovind]\r\nLOG_TYPE = 0\r\nLOG_DIR = \r\nLOG_SECURITY = false\r\n");
}

// The second page is never shown, so its values are those loaded at the start even where
// its own check would have refused them.
void ConfigDialogTest::onlyFirstPageShown() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    Start(before, nullptr);
    m_shown.clear(); // the log files of an unknown directory may fail to open
    Configure([&](Sheet& sheet) { sheet.ClickOk(); });
    QVERIFY(!m_leftOpen);
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), after);
}

void ConfigDialogTest::schemeOutOfRange_data() {
    QTest::addColumn<int>("visits"); // 0 never, 1 shown and left by tab, 2 shown and OK there
    QTest::addColumn<int>("saved");

    QTest::newRow("page never shown writes the stored value back") << 0 << 7;
    QTest::newRow("page shown and left stores -1") << 1 << -1;
    QTest::newRow("OK on the page stores -1") << 2 << -1;
}

void ConfigDialogTest::schemeOutOfRange() {
    QFETCH(int, visits);
    QFETCH(int, saved);

    const QString logs = NewDirectory("logs") + kSep;
    Start(SettingsText(7, logs, false), nullptr);
    Configure([&](Sheet& sheet) {
        if (visits > 0) {
            sheet.ClickTab(1);
            for (int i = 0; i < 4; ++i)
                QVERIFY(!sheet.Scheme(i)->isChecked());
        }
        if (visits == 1)
            sheet.ClickTab(0);
        sheet.ClickOk();
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), SettingsText(saved, logs, false));
    QCOMPARE(m_frame.m_logType, 0);
    QCOMPARE(LogNames(m_frame), QStringList{"syslog.log"});
}

// Start-up writes every key; when one has gone since, the sheet shows the state in force.
void ConfigDialogTest::missingKeysShowWhatIsInForce() {
    const QByteArray one = "10.1.1.1\r\n";
    const QString logs = NewDirectory("logs") + kSep;
    for (const bool filterOn : {true, false}) {
        Start(SettingsText(filterOn ? 2 : 1, logs, filterOn), &one);
        WriteFile(ProgramFile("Marovind.ini"), "[Marovind]\r\nLOG_DIR = " + logs.toUtf8() + "\r\n");
        Configure([&](Sheet& sheet) {
            QCOMPARE(sheet.Control<QAbstractButton>("listedOnly")->isChecked(), filterOn);
            QCOMPARE(sheet.Control<QAbstractButton>("anybody")->isChecked(), !filterOn);
            sheet.ClickTab(1);
            QVERIFY(sheet.Scheme(filterOn ? 2 : 1)->isChecked());
            sheet.ClickOk();
        });
        QVERIFY(!m_leftOpen);
        // The keys come back under the header in the order they are set.
        QCOMPARE(ReadFile(ProgramFile("Marovind.ini")),
                 QByteArray("[Marovind]\r\nLOG_TYPE = ") + (filterOn ? "2" : "1") +
                     "\r\nLOG_SECURITY = " + (filterOn ? "true" : "false") +
                     "\r\nLOG_DIR = " + logs.toUtf8() + "\r\n");
        m_frame.CloseLogFiles();
    }
}

void ConfigDialogTest::closingWithoutOkChangesNothing_data() {
    QTest::addColumn<int>("how"); // 0 Cancel, 1 Escape, 2 closing the window
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("window closed") << 2;
}

void ConfigDialogTest::closingWithoutOkChangesNothing() {
    QFETCH(int, how);

    const QByteArray addresses = "10.1.1.1\r\n";
    const QString logs = NewDirectory("logs") + kSep;
    const QByteArray settings = SettingsText(3, logs, true);
    Start(settings, &addresses);
    const LogFileEntry* entry = m_frame.m_logFiles.at(0).get();
    const QDateTime written = QFileInfo(ProgramFile("Marovind.ini")).lastModified();
    Configure([&](Sheet& sheet) {
        sheet.ClickAnybody();
        sheet.ClickListedOnly();
        sheet.TypeAddresses("10.9.9.9");
        sheet.ClickTab(1);
        sheet.TypeDirectory(ProgramDirText());
        sheet.Click(sheet.Scheme(1));
        if (how == 0)
            sheet.ClickCancel();
        else if (how == 1)
            QTest::keyClick(&sheet.Widget(), Qt::Key_Escape);
        else
            sheet.Widget().close();
        QVERIFY(!sheet.IsOpen());
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(Texts(), QStringList());
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), settings);
    QCOMPARE(QFileInfo(ProgramFile("Marovind.ini")).lastModified(), written);
    QCOMPARE(ReadFile(ProgramFile("ipaddr.flt")), addresses);
    QVERIFY(g_listener.m_filterOn);
    QCOMPARE(Permitted(), QStringList{"10.1.1.1"});
    QCOMPARE(m_frame.m_logFiles.size(), std::size_t(1));
    QCOMPARE(m_frame.m_logFiles.at(0).get(), entry);
    QCOMPARE(QString::fromStdString(m_frame.m_logDir), logs);
    QCOMPARE(m_frame.m_logType, 3);
}

void ConfigDialogTest::fullApply() {
    const QString logs = NewDirectory("logs");
    Start(SettingsText(0, ProgramDirText(), false), nullptr);
    Configure([&](Sheet& sheet) {
        QVERIFY(sheet.Control<QAbstractButton>("anybody")->isChecked());
        sheet.ClickListedOnly();
        sheet.TypeAddresses("10.1.1.1\n127.0.0.1\n");
        sheet.ClickTab(1);
        QCOMPARE(sheet.DirectoryBox()->text(), ProgramDirText());
        QVERIFY(sheet.Scheme(0)->isChecked());
        sheet.TypeDirectory(logs);
        sheet.Click(sheet.Scheme(3));
        sheet.ClickOk();
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(Texts(), QStringList());
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")),
             "[Marovind]\r\nLOG_TYPE = 3\r\nLOG_DIR = " + (logs + kSep).toUtf8() +
                 "\r\nLOG_SECURITY = true\r\n");
    QCOMPARE(ReadFile(ProgramFile("ipaddr.flt")), QByteArray("10.1.1.1\r\n127.0.0.1\r\n"));
    QCOMPARE(QString::fromStdString(m_frame.m_logDir), logs + kSep);
    QCOMPARE(m_frame.m_logType, 3);
    QCOMPARE(LogNames(m_frame), QStringList({"10_1_1_1.log", "127_0_0_1.log"}));
    QCOMPARE(QDir(logs).entryList(QDir::Files), QStringList({"10_1_1_1.log", "127_0_0_1.log"}));
    QVERIFY(g_listener.m_filterOn);
    QCOMPARE(Permitted(), QStringList({"10.1.1.1", "127.0.0.1"}));
    QCOMPARE(int(g_listener.m_suspended), 0);
}

// The real frame and listener: messages go on arriving in the list and the log under the
// old settings while the sheet is open, and follow the new scheme once it is confirmed.
void ConfigDialogTest::receptionGoesOnWhileOpenAndFollowsNewScheme() {
    const QString before = NewDirectory("before");
    const QString after = NewDirectory("after");
    WriteFile(ProgramFile("Marovind.ini"), SettingsText(0, before + kSep, false));
    CMainFrame frame;
    frame.show();
    frame.OpenLogFiles();
    g_listener.ReloadSourceFilter();
    QVERIFY(g_listener.Open(0));
    const std::uint16_t port = Sockets::LocalPort(g_listener.m_hSocket);
    CMyMarovindView* view = frame.GetActiveView();
    auto topMessage = [view] {
        view->FlushPendingRows();
        return view->Model().data(view->Model().index(0, 3)).toString();
    };
    QAction* configure = frame.CommandAction(ID_FILE_CONFIGURE);
    QVERIFY(configure && configure->isEnabled());

    bool ran = false;
    DriveNextSheet(
        [&](Sheet& sheet) {
            QCOMPARE(sheet.Widget().parentWidget(), &frame);
            QVERIFY(SendDatagram(port, "<14>while the sheet is open"));
            QTRY_COMPARE(topMessage(), QStringLiteral("while the sheet is open"));
            QVERIFY(ReadFile(before + "/syslog.log")
                        .endsWith(" 127.0.0.1 while the sheet is open\r\n"));
            sheet.ClickTab(1);
            sheet.TypeDirectory(after);
            sheet.Click(sheet.Scheme(1));
            sheet.ClickOk();
        },
        ran);
    configure->trigger();
    QVERIFY(ran);
    QVERIFY(!m_leftOpen);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(LogNames(frame).size(), 12);

    QVERIFY(SendDatagram(port, "<11>after OK"));
    QTRY_COMPARE(topMessage(), QStringLiteral("after OK"));
    QVERIFY(ReadFile(after + "/err.log").endsWith(" 127.0.0.1 after OK\r\n"));
    QVERIFY(!ReadFile(before + "/syslog.log").contains("after OK"));
    g_listener.ShutDownForExit();
    g_listener.m_suspended = 0;
    frame.CloseLogFiles();
}

// From OK until the new settings are in force nothing is read; a datagram that comes
// meanwhile (here during the warning) is read afterwards and logged by the new settings.
void ConfigDialogTest::datagramsWaitWhileApplying() {
    const QString logs = NewDirectory("logs");
    const QByteArray addresses = "127.0.0.1\r\n";
    Start(SettingsText(1, logs + kSep, true), &addresses);
    LoggingTarget target(m_frame);
    AfxSetMainWnd(&target);
    QVERIFY(g_listener.Open(0));
    const std::uint16_t port = Sockets::LocalPort(g_listener.m_hSocket);

    m_onMessage = [&] {
        QVERIFY(SendDatagram(port, "<11>during the warning"));
        QTest::qWait(200);
    };
    Configure([&](Sheet& sheet) {
        sheet.ClickAnybody();
        sheet.ClickTab(1);
        sheet.Click(sheet.Scheme(3));
        sheet.ClickOk();
    });
    QCOMPARE(Texts(), QStringList{kNoFilterWarning});
    QCOMPARE(m_shown.front().suspended, 1);
    QCOMPARE(target.m_texts, QStringList()); // left unread while the settings were applied
    QTRY_COMPARE(target.m_texts, QStringList{"during the warning"});
    QVERIFY(ReadFile(logs + "/syslog.log").endsWith(" 127.0.0.1 during the warning\r\n"));
    QVERIFY(!QFile::exists(logs + "/err.log") || ReadFile(logs + "/err.log").isEmpty());
    g_listener.ShutDownForExit();
    g_listener.m_suspended = 0;
    AfxSetMainWnd(nullptr);
}

// The "Network" group: its keys are written only when changed, OK puts them in force at
// once, and UDP goes on on its socket throughout.
void ConfigDialogTest::networkGroupAppliesAtOnceAndWritesOnlyChanges() {
    const QByteArray firstStart = SettingsText(0, ProgramDirText(), false);
    Start(firstStart, nullptr);
    QVERIFY(g_listener.Open(0));
    const NativeSocket udp = g_listener.m_hSocket;
    // A free TCP port: the one the system gives an unbound socket, free again once closed.
    const NativeSocket probe = Sockets::Create(Sockets::Family::IPv4, Sockets::Kind::Stream);
    QVERIFY(Sockets::BindAny(probe, 0));
    const std::uint16_t port = Sockets::LocalPort(probe);
    Sockets::Close(probe);

    auto network = [](Sheet& sheet) {
        sheet.ClickTab(2);
        return std::make_tuple(sheet.Control<QAbstractButton>("tcpBox"),
                               sheet.Control<QSpinBox>("tcpPortBox"),
                               sheet.Control<QAbstractButton>("ipv6Box"));
    };
    Configure([&](Sheet& sheet) {
        auto [tcp, portBox, ipv6] = network(sheet);
        QVERIFY(!tcp->isChecked() && !ipv6->isChecked());
        QVERIFY(!portBox->isEnabled());
        sheet.ClickOk();
    });
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), firstStart);

    Configure([&](Sheet& sheet) {
        auto [tcp, portBox, ipv6] = network(sheet);
        sheet.Click(tcp);
        QVERIFY(portBox->isEnabled());
        portBox->setValue(port);
        sheet.Click(ipv6);
        sheet.ClickOk();
    });
    QCOMPARE(Texts(), QStringList());
    QVERIFY(ReadFile(ProgramFile("Marovind.ini"))
                .startsWith("[Marovind]\r\nIPV6 = true\r\nTCP_PORT = " + QByteArray::number(port) +
                            "\r\n"));
    QCOMPARE(g_tcpReceiver.Port(), port);
    QVERIFY(g_listener.HasIpv6());
    QCOMPARE(g_listener.m_hSocket, udp);

    Configure([&](Sheet& sheet) {
        auto [tcp, portBox, ipv6] = network(sheet);
        QVERIFY(tcp->isChecked() && ipv6->isChecked());
        QCOMPARE(portBox->value(), int(port));
        sheet.Click(tcp);
        sheet.ClickOk();
    });
    QVERIFY(ReadFile(ProgramFile("Marovind.ini")).contains("\r\nTCP_PORT = 0\r\n"));
    QVERIFY(ReadFile(ProgramFile("Marovind.ini")).contains("\r\nIPV6 = true\r\n"));
    QCOMPARE(g_tcpReceiver.Port(), std::uint16_t(0));
    QCOMPARE(g_listener.m_hSocket, udp);
    g_listener.SetIpv6(false);
    g_listener.ShutDownForExit();
    g_listener.m_suspended = 0;
}

void ConfigDialogTest::archiveGroupWritesOnlyChangesAndAppliesAtOnce() {
    const QByteArray firstStart = SettingsText(0, ProgramDirText(), false);
    Start(firstStart, nullptr);
    const auto boxName = [](char c) {
        switch (c) {
        case 'd':
            return "dailyBox";
        case 's':
            return "sizeBox";
        case 'c':
            return "compressBox";
        default:
            return "keepBox";
        }
    };
    struct Step {
        const char* clicks; // the boxes to toggle by first letter: daily, size, compress, keep
        int mb, days;
        QList<QByteArray> written; // the archive keys then in the file
        bool archiving;
    };
    const QList<QByteArray> allOn = {"ROTATE_DAILY = true", "ROTATE_MB = 5", "COMPRESS = true",
                                     "KEEP_DAYS = 14"};
    const Step steps[] = {
        {"", 0, 0, {}, false}, // OK without a change writes nothing
        {"dsc", 5, 0, allOn.mid(0, 3), true},
        {"k", 0, 14, allOn, true},
        {"dsck",
         0,
         0,
         {"ROTATE_DAILY = false", "ROTATE_MB = 0", "COMPRESS = false", "KEEP_DAYS = 0"},
         false},
    };
    for (const Step& step : steps) {
        Configure([&](Sheet& sheet) {
            sheet.ClickTab(3);
            for (const char* c = step.clicks; *c; ++c)
                sheet.Click(sheet.Control<QAbstractButton>(boxName(*c)));
            if (step.mb)
                sheet.Control<QSpinBox>("mbBox")->setValue(step.mb);
            if (step.days)
                sheet.Control<QSpinBox>("daysBox")->setValue(step.days);
            sheet.ClickOk();
        });
        const QByteArray ini = ReadFile(ProgramFile("Marovind.ini"));
        QCOMPARE(ini.count("\r\n"), firstStart.count("\r\n") + step.written.size());
        for (const QByteArray& line : step.written)
            QVERIFY2(ini.contains("\r\n" + line + "\r\n"), ini.constData());
        QCOMPARE(m_frame.Archiving() != nullptr, step.archiving);
    }
    QCOMPARE(Texts(), QStringList());
}

namespace {
struct TlsControls {
    QAbstractButton* on;
    QSpinBox* port;
    QLineEdit* cert;
    QLineEdit* key;
    QLineEdit* clientCa;
    QAbstractButton* create;
};

TlsControls ShowTlsControls(Sheet& sheet) {
    sheet.ClickTab(2);
    return {sheet.Control<QAbstractButton>("tlsBox"),
            sheet.Control<QSpinBox>("tlsPortBox"),
            sheet.Control<QLineEdit>("certBox"),
            sheet.Control<QLineEdit>("keyBox"),
            sheet.Control<QLineEdit>("clientCaBox"),
            sheet.Control<QAbstractButton>("createCertificate")};
}

QString FingerprintOfFile(const QString& path) {
    FILE* file = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!file)
        return {};
    X509* certificate = PEM_read_X509(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    const QString fingerprint = QString::fromStdString(CertificateFingerprint(certificate));
    X509_free(certificate);
    return fingerprint;
}
} // namespace

// The TLS controls: keys written only when changed. "Create Certificate..." fills in the
// paths of the pair it made and shows its fingerprint; existing files are replaced only
// after the operator said Yes.
void ConfigDialogTest::tlsControlsWriteOnlyChangesAndCreateCertificates() {
    const QByteArray firstStart = SettingsText(0, ProgramDirText(), false);
    Start(firstStart, nullptr);
    const QString cert = QDir::toNativeSeparators(ProgramFile("marovind-cert.pem"));
    const QString key = QDir::toNativeSeparators(ProgramFile("marovind-key.pem"));
    Configure([&](Sheet& sheet) {
        const TlsControls tls = ShowTlsControls(sheet);
        QVERIFY(!tls.on->isChecked() && !tls.port->isEnabled());
        QCOMPARE(tls.port->value(), 6514);
        QVERIFY(tls.cert->text().isEmpty() && tls.key->text().isEmpty());
        sheet.Click(tls.create);
        QCOMPARE(m_asked, QStringList());
        QCOMPARE(tls.cert->text(), cert);
        QCOMPARE(tls.key->text(), key);
        QCOMPARE(m_fingerprints, QStringList{FingerprintOfFile(cert)});
        sheet.ClickCancel();
    });
    QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), firstStart);
    const QByteArray firstKey = ReadFile(key);

    CCfgNetwork::s_chooseFile = [](QWidget*, const QString&) {
        return QStringLiteral("/ca/x.pem");
    };
    Configure([&](Sheet& sheet) {
        const TlsControls tls = ShowTlsControls(sheet);
        sheet.Click(tls.create);
        QCOMPARE(m_asked.size(), 1);
        QVERIFY2(m_asked.front().contains(cert) && m_asked.front().contains("Replace"),
                 qPrintable(m_asked.front()));
        QCOMPARE(ReadFile(key), firstKey);
        QVERIFY(tls.cert->text().isEmpty());
        m_answer = IDYES;
        sheet.Click(tls.create);
        QCOMPARE(m_asked.size(), 2);
        QVERIFY(ReadFile(key) != firstKey);
        QCOMPARE(tls.cert->text(), cert);
        QCOMPARE(m_fingerprints.size(), 2);
        QCOMPARE(m_fingerprints.back(), FingerprintOfFile(cert));
        sheet.Click(tls.on);
        QVERIFY(tls.port->isEnabled());
        sheet.Click(sheet.Control<QAbstractButton>("clientCaBrowse"));
        QCOMPARE(tls.clientCa->text(), QDir::toNativeSeparators("/ca/x.pem"));
        sheet.ClickOk();
    });
    // New keys go to the top of the section, the last one written first.
    const QByteArray written = ReadFile(ProgramFile("Marovind.ini"));
    const QByteArray ca = QDir::toNativeSeparators("/ca/x.pem").toLocal8Bit();
    QCOMPARE(written, "[Marovind]\r\nTLS_CLIENT_CA = " + ca + "\r\nTLS_KEY = " + key.toLocal8Bit() +
                          "\r\nTLS_CERT = " + cert.toLocal8Bit() + "\r\nTLS_PORT = 6514\r\n" +
                          firstStart.mid(int(sizeof "[Marovind]\r\n") - 1));

    Configure([&](Sheet& sheet) {
        const TlsControls tls = ShowTlsControls(sheet);
        QVERIFY(tls.on->isChecked());
        QCOMPARE(tls.cert->text(), cert);
        QCOMPARE(tls.clientCa->text(), QDir::toNativeSeparators("/ca/x.pem"));
        sheet.Click(tls.on);
        tls.clientCa->clear();
        sheet.ClickOk();
    });
    const QByteArray after = ReadFile(ProgramFile("Marovind.ini"));
    QVERIFY2(after.contains("\r\nTLS_PORT = 0\r\n") && after.contains("\r\nTLS_CLIENT_CA = \r\n") &&
                 after.contains("\r\nTLS_CERT = " + cert.toLocal8Bit() + "\r\n"),
             after.constData());
}

// A pair that cannot be written is named in one message with its reason; no path is
// filled in and no fingerprint shown.
void ConfigDialogTest::certificateInAnUnwritableDirectory() {
    const QString refusing = RefusingDirectory();
    if (refusing.isEmpty())
        QSKIP(kNoRefusingDirectory);
    Start(SettingsText(0, ProgramDirText(), false), nullptr);
    const std::string programDir = g_programDir;
    g_programDir = QDir::toNativeSeparators(refusing + '/').toStdString();
    Configure([&](Sheet& sheet) {
        const TlsControls tls = ShowTlsControls(sheet);
        sheet.Click(tls.create);
        sheet.ClickCancel();
    });
    g_programDir = programDir;
    QCOMPARE(m_shown.size(), std::size_t(1));
    const QString text = Texts().front();
    QVERIFY2(text.startsWith("The certificate could not be created:\n" +
                             QDir::toNativeSeparators(refusing + "/marovind-key.pem: ")),
             qPrintable(text));
    QCOMPARE(m_fingerprints, QStringList());
}

void ConfigDialogTest::fingerprintCanBeCopied() {
    const QString fingerprint = QStringLiteral("SHA256:") + QString("AB:").repeated(31) + "CD";
    FingerprintDialog dialog(fingerprint, nullptr);
    dialog.show();
    auto* box = dialog.findChild<QLineEdit*>("fingerprintBox");
    QVERIFY(box && box->isReadOnly());
    QCOMPARE(box->text(), fingerprint);
    QVERIFY(box->width() >= box->fontMetrics().horizontalAdvance(fingerprint));
    QApplication::clipboard()->clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>("copy"), Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), fingerprint);
}

// With MAROVIND_SCREENSHOTS set to a directory, saves a picture of each page there.
void ConfigDialogTest::screenshots() {
    const QString dir = qEnvironmentVariable("MAROVIND_SCREENSHOTS");
    if (dir.isEmpty())
        QSKIP("set MAROVIND_SCREENSHOTS to a directory to take pictures of the pages");
    const QByteArray addresses = "10.1.1.1\r\n10.1.1.2\r\n";
    Start(SettingsText(1, ProgramDirText(), true), &addresses);
    Configure([&](Sheet& sheet) {
        QTest::qWait(300);
        QVERIFY(sheet.Widget().grab().save(dir + "/config_security.png"));
        sheet.ClickAnybody();
        QVERIFY(sheet.Widget().grab().save(dir + "/config_security_anybody.png"));
        sheet.ClickTab(1);
        QTest::qWait(300);
        QVERIFY(sheet.Widget().grab().save(dir + "/config_logfiles.png"));
        sheet.ClickTab(2);
        QTest::qWait(300);
        QVERIFY(sheet.Widget().grab().save(dir + "/config_network.png"));
        sheet.ClickTab(3);
        sheet.Click(sheet.Control<QAbstractButton>("dailyBox"));
        sheet.Click(sheet.Control<QAbstractButton>("compressBox"));
        sheet.Click(sheet.Control<QAbstractButton>("keepBox"));
        QTest::qWait(300);
        QVERIFY(sheet.Widget().grab().save(dir + "/config_archive.png"));
        sheet.ClickTab(4);
        auto* targets = sheet.Control<QPlainTextEdit>("targetBox");
        targets->setPlainText(
            QStringLiteral("tcp://collector.example:514 format=rfc5424\n"
                           "tls://[2001:db8::10]:6514 min-severity=warning ca=collector-ca.pem\n"
                           "udp://10.1.1.9:514"));
        QTest::qWait(300);
        QVERIFY(sheet.Widget().grab().save(dir + "/config_forward.png"));
        sheet.ClickCancel();
    });
    FingerprintDialog dialog(QStringLiteral("SHA256:") + QString("AB:").repeated(31) + "CD",
                             nullptr);
    dialog.show();
    QTest::qWait(300);
    QVERIFY(dialog.grab().save(dir + "/config_fingerprint.png"));
}

// Section [Forward] appears only once a target is added; a line the page does not understand
// is refused with its reason; an untouched page leaves the section, odd lines and all, alone.
void ConfigDialogTest::forwardPageWritesOnlyChangedTargets() {
    const QByteArray firstStart = SettingsText(0, ProgramDirText(), false);
    const QByteArray kept = firstStart + "[Forward]\r\nTARGET = tcp://bad\r\nOTHER = x\r\n";
    const QString good = QStringLiteral("udp://127.0.0.1:9 format=rfc5424");
    struct Case {
        QByteArray settings;
        QString typed; // empty: the page is looked at and left alone
        QStringList shown;
        QByteArray expected;
    };
    const Case cases[] = {
        {firstStart, {}, {}, firstStart},
        {kept,
         {},
         {QStringLiteral("Forward: TARGET = tcp://bad is not understood (no port (1 to 65535) in "
                         "\"bad\"); the line is kept and not used.")},
         kept},
        {firstStart,
         QStringLiteral("tcp://collector\n") + good,
         {QStringLiteral("The target \"tcp://collector\" is not understood: no port (1 to 65535) "
                         "in \"collector\".")},
         firstStart + "[Forward]\r\nTARGET = " + good.toLatin1() + "\r\n"},
    };
    for (const Case& c : cases) {
        Start(c.settings, nullptr);
        Configure([&](Sheet& sheet) {
            sheet.ClickTab(4);
            auto* box = sheet.Control<QPlainTextEdit>("targetBox");
            if (!c.typed.isEmpty()) {
                box->setPlainText(c.typed);
                sheet.ClickOk();
                QVERIFY(sheet.IsOpen()); // refused: the first line is not understood
                box->setPlainText(good);
            }
            sheet.ClickOk();
        });
        QCOMPARE(Texts(), c.shown);
        QCOMPARE(ReadFile(ProgramFile("Marovind.ini")), c.expected);
        QCOMPARE(g_forwarding.Status().targets, std::size_t(c.typed.isEmpty() ? 0 : 1));
        m_shown.clear();
    }
    g_forwarding.Stop();
}

QTEST_MAIN(ConfigDialogTest)
#include "config_dialog_test.moc"
