#include "gui/viewer/EditDoc.h"

#include <filesystem>
#include <utility>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include "core/platform/MessageBox.h"
#include "core/platform/ShareFile.h"
#include "gui/framework/DisplayText.h"
#include "gui/viewer/LargeLogView.h"
#include "gui/viewer/LogFileLoader.h"
#include "gui/viewer/LogFileText.h"
#include "gui/viewer/MyEditView.h"

namespace {
// The GUI thread's share of one load step; reception is served between steps.
constexpr qint64 kStepMilliseconds = 20;
std::int64_t g_loadAtOnceLimit = CEditDoc::kLoadAtOnceLimit;
std::int64_t g_largeFileLimit = CEditDoc::kLargeFileLimit;

// -1 when unknown: the at-once load reports why.
std::int64_t SizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

// The wait cursor for as long as the load runs, whichever way it ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Reads and decodes the whole file before the view is touched, so a failed read leaves
// the previous text in place.
bool LoadText(const std::string& path, QString& text, std::string& errorText) {
    WaitCursor wait;
    QByteArray bytes;
    if (!ReadLogFile(path, bytes, errorText))
        return false;
    text = DecodeLogBytes(bytes);
    return true;
}
} // namespace

CEditDoc::CEditDoc(CMyEditView& view, LargeLogView& largeView)
    : m_view(view), m_large(largeView), m_step(std::make_unique<QTimer>()) {
    m_step->setInterval(0);
    QObject::connect(m_step.get(), &QTimer::timeout, m_step.get(), [this] { LoadStep(); });
}

CEditDoc::~CEditDoc() = default;

std::int64_t CEditDoc::SetLoadAtOnceLimit(std::int64_t limit) {
    return std::exchange(g_loadAtOnceLimit, limit);
}

std::int64_t CEditDoc::SetLargeFileLimit(std::int64_t limit) {
    return std::exchange(g_largeFileLimit, limit);
}

bool CEditDoc::IsLoading() const {
    return m_loader != nullptr || m_large.Indexing();
}

bool CEditDoc::IsLarge() const {
    return m_large.IsOpen();
}

int CEditDoc::LoadPercent() const {
    if (m_large.IsOpen())
        return m_large.IndexPercent();
    return m_loader ? m_loader->Percent() : 100;
}

void CEditDoc::AbandonLoad() {
    if (m_loader) {
        m_step->stop();
        m_loader.reset();
        m_view.EndLoadedText();
    }
}

bool CEditDoc::OpenLarge(const std::string& path, std::int64_t length) {
    ShareFile file; // the same checks and messages as any other open
    std::string errorText;
    if (!OpenLogFile(path, file, errorText)) {
        AfxMessageBox(errorText);
        return false;
    }
    if (!m_large.Open(path, length)) {
        AfxMessageBox(LogFileReadError(file));
        return false;
    }
    AbandonLoad();
    m_view.SetLoadedText({}); // the text view holds nothing while the large view shows
    if (m_onLoadStep)
        m_onLoadStep();
    return true;
}

bool CEditDoc::StartLoad(const std::string& path) {
    auto loader = std::make_unique<LogFileLoader>();
    std::string errorText;
    if (!loader->Open(path, errorText)) {
        AfxMessageBox(errorText);
        return false;
    }
    m_loader = std::move(loader);
    m_large.Close();
    m_view.BeginLoadedText();
    LoadStep(); // the first screen before the window shows
    if (m_loader)
        m_step->start();
    return true;
}

void CEditDoc::LoadStep() {
    QElapsedTimer elapsed;
    elapsed.start();
    QString piece;
    std::string errorText;
    while (!m_loader->AtEnd() && elapsed.elapsed() < kStepMilliseconds) {
        if (!m_loader->Next(piece, errorText)) {
            EndLoad();
            AfxMessageBox(errorText); // what was read stays shown
            return;
        }
        m_view.AppendLoadedText(piece);
    }
    if (m_loader->AtEnd())
        EndLoad();
    else if (m_onLoadStep)
        m_onLoadStep();
}

void CEditDoc::EndLoad() {
    m_step->stop();
    m_loader.reset();
    m_view.EndLoadedText();
    if (m_onLoadStep)
        m_onLoadStep();
}

bool CEditDoc::OnOpenDocument(const std::string& path) {
    const std::int64_t size = SizeOf(path);
    if (size > g_largeFileLimit)
        return OpenLarge(path, size);
    if (size > g_loadAtOnceLimit)
        return StartLoad(path);
    QString text;
    std::string errorText;
    if (!LoadText(path, text, errorText)) {
        AfxMessageBox(errorText);
        return false;
    }
    AbandonLoad(); // for this one
    m_large.Close();
    WaitCursor wait;
    m_view.SetLoadedText(text);
    if (m_onLoadStep)
        m_onLoadStep();
    return true;
}

void CEditDoc::SetPathName(const std::string& path) {
    m_path = path;
    m_title = QFileInfo(QString::fromStdString(path)).fileName();
}

bool CEditDoc::IsModified() const {
    return m_view.document()->isModified();
}
