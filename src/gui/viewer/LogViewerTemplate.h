#pragma once
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPointer>

class CEditDoc;
class CEditWnd;
class QFileDialog;
class QPrinter;
class QWidget;

// The log viewer's single-document template: at most one viewer window at a time. A first
// open creates the document, the frame and the view; a later open reloads that window.
class LogViewerTemplate : public QObject {
    Q_OBJECT
public:
    explicit LogViewerTemplate(QObject* parent = nullptr);
    ~LogViewerTemplate() override;

    // Loads the file into the viewer, creating the viewer when there is none, and brings
    // it to the front when `makeVisible`. Null when the file could not be loaded: its
    // message has been shown, no new window remains and an existing one keeps its file.
    CEditDoc* OpenDocumentFile(const std::string& path, bool makeVisible = true);

    // Closes the viewer, if open, without asking anything (the application's exit).
    void CloseAllDocuments();

    // The viewer's window; null while none is open.
    CEditWnd* GetViewer() const;

    // The printer that Print Setup and Print share across viewers.
    QPrinter& Printer();

    // Shows the application's About box for the viewer's Help > About.
    std::function<void(QWidget* parent)> m_showAbout;

private:
    void OnViewerClosed();

    QPointer<CEditWnd> m_frame;
    QPointer<CEditWnd> m_closing; // closed by the user, awaiting deletion
    std::unique_ptr<QPrinter> m_printer;
};

// File > Open of the main window: asks for a log file, starting in `logDir`, and opens the
// choice in the viewer. Cancelling does nothing.
void OpenLogFileForViewing(QWidget* mainWindow, const std::string& logDir,
                           LogViewerTemplate& viewerTemplate);

// The open dialog: "LOG Files (*.log *.log.gz)" (rotated files compressed too), default
// suffix "log", existing files only,
// starting in `logDir`, with the main window as parent.
std::unique_ptr<QFileDialog> CreateOpenLogDialog(QWidget* mainWindow, const std::string& logDir);

// Who asks for the file: returns its full path, or empty text when cancelled. Tests
// install a replacement; an empty function restores the dialog. Returns the previous.
using OpenLogDialog = std::function<std::string(QWidget* mainWindow, const std::string& logDir)>;
OpenLogDialog SetOpenLogDialog(OpenLogDialog dialog);
