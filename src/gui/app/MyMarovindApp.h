#pragma once
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class CMyMarovindDoc;
class LogViewerTemplate;
class QApplication;
class TerminationSignals;

// The application object: brings the server up in its fixed order, runs the message loop
// while the main window is open and stops reception on the way out.
class CMyMarovindApp {
public:
    // The arguments are parsed and then ignored; Qt is not shown them either.
    CMyMarovindApp(int argc, char** argv);
    ~CMyMarovindApp();
    CMyMarovindApp(const CMyMarovindApp&) = delete;
    CMyMarovindApp& operator=(const CMyMarovindApp&) = delete;

    // Start-up, the message loop and shutdown; the process's exit status. A failed
    // start-up (its message has been shown) gives a non-zero status.
    int Run();

    bool InitInstance();
    int ExitInstance();
    // Help > About.
    void OnAppAbout();

    CMainFrame* MainFrame() const { return m_mainFrame.get(); }

    // The log viewer's document template, made before the main window.
    std::unique_ptr<LogViewerTemplate> m_pLogViewerTemplate;

private:
    static constexpr int kNoShellCommand = -1;

    bool ProcessShellCommand() const { return m_shellCommand == kNoShellCommand; }
    void OpenMainDocument();
    void OnTerminationRequested();
    bool StartUpEnded() const;

    int m_qtArgc = 1;
    char* m_qtArgv[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> m_qt;
    std::vector<std::string> m_commandLine;
    int m_shellCommand = 0;
    std::unique_ptr<TerminationSignals> m_signals;
    std::unique_ptr<CMyMarovindDoc> m_document;
    std::unique_ptr<CMainFrame> m_mainFrame;
    bool m_terminationRequested = false;
};
