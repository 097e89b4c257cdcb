#include "gui/viewer/EditDoc.h"

#include <filesystem>
#include <utility>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include "core/platform/MessageBox.h"
#include "core/platform/ShareFile.h"
#include "gui/framework/DisplayText.h"
#include "gui/viewer/GzipUnpacker.h"
#include "gui/viewer/LargeLogView.h"
#include "gui/viewer/LogFileLoader.h"
#include "gui/viewer/LogFileText.h"
#include "gui/viewer/MyEditView.h"

namespace {
// The GUI thread's share of one load step; reception is served between steps.
constexpr qint64 kStepMilliseconds = 20;
constexpr int kUnpackPollMilliseconds = 50;
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

// Where a position of the large view is in the same text held as a document.
int DocumentPosition(const QTextDocument& document, LargeLogView::Position at) {
    const auto last = static_cast<std::int64_t>(document.blockCount() - 1);
    const QTextBlock block = document.findBlockByNumber(static_cast<int>(std::min(at.line, last)));
    const auto column = std::min<std::int64_t>(at.column, block.length() - 1);
    return block.position() + static_cast<int>(at.line > last ? block.length() - 1 : column);
}
} // namespace

CEditDoc::CEditDoc(CMyEditView& view, LargeLogView& largeView)
    : m_view(view), m_large(largeView), m_step(std::make_unique<QTimer>()),
      m_unpackPoll(std::make_unique<QTimer>()) {
    m_step->setInterval(0);
    m_unpackPoll->setInterval(kUnpackPollMilliseconds);
    QObject::connect(m_unpackPoll.get(), &QTimer::timeout, m_unpackPoll.get(),
                     [this] { UnpackStep(); });
    QObject::connect(m_step.get(), &QTimer::timeout, m_step.get(), [this] { LoadStep(); });
    QObject::connect(&m_large, &LargeLogView::TypedInto, m_step.get(),
                     [this](QKeyEvent* event) { OnTypedIntoLarge(*event); });
}

CEditDoc::~CEditDoc() {
    ReleaseUnpacked();
}

std::int64_t CEditDoc::SetLargeFileLimit(std::int64_t limit) {
    return std::exchange(g_largeFileLimit, limit);
}

bool CEditDoc::IsLoading() const {
    return m_loader != nullptr || m_large.Indexing() || m_unpackPoll->isActive();
}

bool CEditDoc::IsLarge() const {
    return m_large.IsOpen();
}

int CEditDoc::LoadPercent() const {
    if (m_unpackPoll->isActive())
        return m_unpacker->Percent();
    if (m_loader)
        return m_loader->Percent();
    return m_large.IsOpen() ? m_large.IndexPercent() : 100;
}

void CEditDoc::AbandonLoad() {
    m_typed.clear();
    if (m_loader) {
        m_step->stop();
        m_loader.reset();
        m_view.SetLoadedText({});
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

void CEditDoc::OnTypedIntoLarge(const QKeyEvent& event) {
    if (m_large.Length() > kEditableLimit)
        return; // read-only: too large for the text view
    m_typed.emplace_back(event.clone());
    if (!m_loader)
        StartTextLoad();
}

void CEditDoc::StartTextLoad() {
    auto loader = std::make_unique<LogFileLoader>();
    std::string errorText;
    if (!loader->Open(m_large.Path(), m_large.Length(), errorText)) {
        m_typed.clear();
        AfxMessageBox(errorText);
        return;
    }
    m_loader = std::move(loader);
    m_view.BeginLoadedText();
    m_step->start();
    if (m_onLoadStep)
        m_onLoadStep();
}

void CEditDoc::LoadStep() {
    QElapsedTimer elapsed;
    elapsed.start();
    QString piece;
    std::string errorText;
    while (!m_loader->AtEnd() && elapsed.elapsed() < kStepMilliseconds) {
        if (!m_loader->Next(piece, errorText)) {
            AbandonLoad(); // the large view stays, and what was typed is dropped
            if (m_onLoadStep)
                m_onLoadStep();
            AfxMessageBox(errorText);
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
    TakeOverFromLarge();
    if (m_onLoadStep)
        m_onLoadStep();
}

void CEditDoc::TakeOverFromLarge() {
    QTextCursor cursor(m_view.document());
    cursor.setPosition(DocumentPosition(*m_view.document(), m_large.AnchorPosition()));
    cursor.setPosition(DocumentPosition(*m_view.document(), m_large.CursorPosition()),
                       QTextCursor::KeepAnchor);
    const std::int64_t top = m_large.TopLine();
    m_large.Close();
    if (m_onLoadStep)
        m_onLoadStep(); // the text view is shown
    m_view.setTextCursor(cursor);
    const QTextBlock topBlock = m_view.document()->findBlockByNumber(static_cast<int>(top));
    if (topBlock.isValid())
        m_view.verticalScrollBar()->setValue(topBlock.firstLineNumber());
    m_view.ensureCursorVisible();
    for (const auto& event : std::exchange(m_typed, {}))
        QCoreApplication::sendEvent(&m_view, event.get());
}

bool CEditDoc::StartUnpack(const std::string& path) {
    ShareFile file; // the same checks and messages as any other open
    std::string errorText;
    if (!OpenLogFile(path, file, errorText)) {
        AfxMessageBox(errorText);
        return false;
    }
    AbandonLoad();
    m_large.Close();
    m_view.SetLoadedText({});
    ReleaseUnpacked();
    m_unpacker = std::make_unique<GzipUnpacker>(path);
    m_unpackPoll->start();
    if (m_onLoadStep)
        m_onLoadStep();
    return true;
}

void CEditDoc::UnpackStep() {
    if (!m_unpacker->IsDone()) {
        if (m_onLoadStep)
            m_onLoadStep();
        return;
    }
    m_unpackPoll->stop();
    const GzipOutcome& outcome = m_unpacker->Outcome();
    if (!outcome.ok) {
        if (m_onLoadStep)
            m_onLoadStep();
        AfxMessageBox(outcome.error);
        return;
    }
    const std::string& unpacked = m_unpacker->UnpackedPath();
    OpenLarge(unpacked, SizeOf(unpacked));
}

void CEditDoc::ReleaseUnpacked() {
    if (!m_unpacker)
        return;
    m_unpackPoll->stop();
    if (m_large.IsOpen() && m_large.Path() == m_unpacker->UnpackedPath())
        m_large.Close(); // the file must be closed before it can go on Windows
    AbandonLoad();
    m_unpacker.reset();
}

bool CEditDoc::OnOpenDocument(const std::string& path) {
    if (GzipUnpacker::IsCompressed(path))
        return StartUnpack(path);
    const std::int64_t size = SizeOf(path);
    if (size > g_largeFileLimit) {
        const bool opened = OpenLarge(path, size);
        if (opened)
            ReleaseUnpacked(); // only once the new file shows: a failed open keeps the old
        return opened;
    }
    QString text;
    std::string errorText;
    if (!LoadText(path, text, errorText)) {
        AfxMessageBox(errorText);
        return false;
    }
    AbandonLoad(); // for this one
    m_large.Close();
    ReleaseUnpacked();
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
