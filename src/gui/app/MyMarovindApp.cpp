#include "gui/app/MyMarovindApp.h"

#include <QAction>
#include <QApplication>
#include <QIcon>

#include "core/forward/Forwarding.h"
#include "core/platform/AsyncSocket.h"
#include "core/platform/MessageBox.h"
#include "core/platform/OpenFileLimit.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogSocket.h"
#include "core/transport/NetworkReception.h"
#include "core/transport/TcpReceiver.h"
#include "gui/app/AboutDlg.h"
#include "gui/app/TerminationSignals.h"
#include "gui/framework/CommandIds.h"
#include "gui/framework/CommandStrings.h"
#include "gui/framework/GuiMessageBox.h"
#include "gui/framework/Resources.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindDoc.h"
#include "gui/splash/SplashWindow.h"
#include "gui/viewer/LogViewerTemplate.h"

namespace {
constexpr const char* kSocketsFailed = "Windows sockets initialization failed.";
constexpr int kStartUpFailed = 1;
} // namespace

CMyMarovindApp::CMyMarovindApp(int argc, char** argv) {
    // Qt would act on options of its own (-style, -platform, ...); it sees none.
    m_qtArgv[0] = argc > 0 ? argv[0] : nullptr;
    m_qt = std::make_unique<QApplication>(m_qtArgc, m_qtArgv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    // The id of the desktop entry, the icon and the metainfo: Wayland shells find the
    // window's icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.marovind.Marovind"));
    QApplication::setQuitOnLastWindowClosed(false); // the main window alone ends the loop
    RegisterMarovindResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/marovind.png")));
    for (int i = 1; i < argc; ++i)
        m_commandLine.emplace_back(argv[i]);
}

CMyMarovindApp::~CMyMarovindApp() {
    m_mainFrame.reset();
    m_pLogViewerTemplate.reset(); // its windows and printer go before Qt itself
    m_signals.reset();
    m_qt.reset();
}

int CMyMarovindApp::Run() {
    const bool started = InitInstance();
    int status = 0;
    if (started && !StartUpEnded())
        status = m_qt->exec();
    // The main window goes first: destroying it closes the log files.
    m_mainFrame.reset();
    m_document.reset();
    const int exitStatus = ExitInstance();
    if (!started)
        return StartUpEnded() ? exitStatus : kStartUpFailed;
    return status != 0 ? status : exitStatus;
}

bool CMyMarovindApp::InitInstance() {
    InstallGuiMessageBox();
    m_signals = std::make_unique<TerminationSignals>();
    QObject::connect(m_signals.get(), &TerminationSignals::Requested,
                     [this] { OnTerminationRequested(); });
    // OLE, the control container, the 3-D look, the rich edit control and the registry
    // profile are Windows services that Qt needs no stand-in for.
    if (!Sockets::Startup()) {
        AfxMessageBox(kSocketsFailed);
        return false;
    }
    g_programDir = ResolveProgramDirectory();
    m_pLogViewerTemplate = std::make_unique<LogViewerTemplate>();
    m_pLogViewerTemplate->m_showAbout = [](QWidget* parent) {
        CAboutDlg about(parent);
        about.exec();
    };
    // Whatever the command line holds, the shell command matches none, so it does nothing.
    m_shellCommand = kNoShellCommand;

    SplashWindow splash;
    splash.exec();
    if (m_terminationRequested || !ProcessShellCommand())
        return false;

    OpenMainDocument();
    m_mainFrame->show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // paint it at once

    RaiseOpenFileLimit(); // thousands of per-address files
    m_mainFrame->OpenLogFiles();
    m_mainFrame->ApplyListSettings();
    m_mainFrame->LoadAlertRules();
    g_listener.ReloadSourceFilter();
    if (StartUpEnded() || !g_listener.Open())
        return false;
    // A TCP or IPv6 port that cannot be bound has its message; UDP over IPv4 goes on.
    ApplyNetworkSettings(LoadProgramNetworkSettings());
    ApplyForwardSettings();
    m_mainFrame->UpdateForwardPane();
    return true;
}

int CMyMarovindApp::ExitInstance() {
    g_tcpReceiver.Close();
    g_tlsReceiver.Close();
    g_listener.ShutDownForExit();
    g_forwarding.Stop(); // what was not sent waits in the disk queue for the next start
    return 0;
}

void CMyMarovindApp::OnAppAbout() {
    CAboutDlg about(m_mainFrame.get());
    about.exec();
}

void CMyMarovindApp::OpenMainDocument() {
    m_document = std::make_unique<CMyMarovindDoc>();
    m_document->OnNewDocument();
    m_mainFrame = std::make_unique<CMainFrame>();
    QObject::connect(m_mainFrame.get(), &CMainFrame::Destroyed, m_qt.get(),
                     &QCoreApplication::quit);
    QObject::connect(m_mainFrame->CommandAction(ID_APP_ABOUT), &QAction::triggered,
                     [this] { OnAppAbout(); });
    m_mainFrame->SetLogViewerTemplate(m_pLogViewerTemplate.get());
    m_mainFrame->InitialUpdateFrame();
}

void CMyMarovindApp::OnTerminationRequested() {
    m_terminationRequested = true;
    if (m_mainFrame) {
        m_mainFrame->Exit(); // the log files are flushed and closed
        return;
    }
    // Still starting: end the splash (or whatever waits for the operator) at once.
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
}

bool CMyMarovindApp::StartUpEnded() const {
    return m_terminationRequested || (m_mainFrame && m_mainFrame->IsDestroyed());
}
