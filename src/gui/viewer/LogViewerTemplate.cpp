#include "gui/viewer/LogViewerTemplate.h"

#include <utility>

#include <QFileDialog>
#include <QPrinter>

#include "gui/viewer/EditDoc.h"
#include "gui/viewer/EditWnd.h"

LogViewerTemplate::LogViewerTemplate(QObject* parent) : QObject(parent) {}

LogViewerTemplate::~LogViewerTemplate() {
    delete m_frame.data();
    delete m_closing.data(); // closed after the event loop had stopped
}

CEditWnd* LogViewerTemplate::GetViewer() const {
    return m_frame.data();
}

QPrinter& LogViewerTemplate::Printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

CEditDoc* LogViewerTemplate::OpenDocumentFile(const std::string& path, bool makeVisible) {
    const bool created = !m_frame;
    if (created) {
        m_frame = new CEditWnd(Printer(), m_showAbout);
        connect(m_frame, &CEditWnd::Closed, this, &LogViewerTemplate::OnViewerClosed);
    }
    CEditDoc& document = m_frame->GetDocument();
    if (!document.OnOpenDocument(path)) {
        if (created)
            delete m_frame.data();
        return nullptr;
    }
    document.SetPathName(path);
    m_frame->UpdateCaption();
    if (makeVisible) {
        m_frame->show();
        m_frame->raise();
        m_frame->activateWindow();
    }
    return &document;
}

void LogViewerTemplate::CloseAllDocuments() {
    // Called from outside the viewer, so it can go at once; it discards any typing.
    delete m_frame.data();
}

void LogViewerTemplate::OnViewerClosed() {
    // Deleted once the close has been handled; the next open makes a new viewer.
    if (m_frame) {
        m_closing = m_frame;
        m_frame.clear();
        m_closing->deleteLater();
    }
}

namespace {
OpenLogDialog& OpenDialogHook() {
    static OpenLogDialog hook;
    return hook;
}

std::string RunOpenLogDialog(QWidget* mainWindow, const std::string& logDir) {
    const auto dialog = CreateOpenLogDialog(mainWindow, logDir);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst().toStdString();
}
} // namespace

std::unique_ptr<QFileDialog> CreateOpenLogDialog(QWidget* mainWindow, const std::string& logDir) {
    auto dialog = std::make_unique<QFileDialog>(mainWindow);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("LOG Files (*.log *.log.gz)"));
    dialog->setDefaultSuffix(QStringLiteral("log"));
    dialog->setDirectory(QString::fromStdString(logDir));
    return dialog;
}

OpenLogDialog SetOpenLogDialog(OpenLogDialog dialog) {
    return std::exchange(OpenDialogHook(), std::move(dialog));
}

void OpenLogFileForViewing(QWidget* mainWindow, const std::string& logDir,
                           LogViewerTemplate& viewerTemplate) {
    const auto& hook = OpenDialogHook();
    const std::string path = hook ? hook(mainWindow, logDir) : RunOpenLogDialog(mainWindow, logDir);
    if (!path.empty())
        viewerTemplate.OpenDocumentFile(path, true);
}
