#include "gui/viewer/LargeFileSearch.h"

#include <algorithm>
#include <utility>

#include <QFile>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include "gui/framework/DisplayText.h"
#include "gui/viewer/TextSearch.h"

namespace {
std::int64_t g_blockSize = std::int64_t{4} << 20;

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Line ends in a text made of whole lines; a CR LF pair is one.
std::int64_t LineEnds(QStringView text) {
    std::int64_t ends = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'\n' ||
            (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            ++ends;
    return ends;
}

// The hit at `at` in a text whose first line is `firstLine`.
std::pair<std::int64_t, std::int64_t> LineAndColumn(QStringView text, qsizetype at,
                                                    std::int64_t firstLine) {
    const QStringView before = text.first(at);
    const qsizetype lastEnd = std::max(before.lastIndexOf(u'\n'), before.lastIndexOf(u'\r'));
    return {firstLine + LineEnds(before), at - (lastEnd + 1)};
}

QByteArray ReadAt(QFile& file, std::int64_t offset, std::int64_t size) {
    file.seek(offset);
    return file.read(size);
}

// Bytes from `offset` up to the last line end in them (a CR only when its next byte is
// known); more is read while a block holds no whole line.
QByteArray WholeLinesFrom(QFile& file, std::int64_t offset, std::int64_t end) {
    for (std::int64_t size = g_blockSize;; size *= 2) {
        const QByteArray bytes = ReadAt(file, offset, std::min(size, end - offset));
        if (offset + bytes.size() >= end || bytes.isEmpty())
            return bytes;
        qsizetype cut = bytes.size() - 1;
        if (bytes[cut] == '\r')
            --cut; // its LF may follow
        while (cut >= 0 && !IsLineEnd(bytes[cut]))
            --cut;
        if (cut >= 0)
            return bytes.first(cut + 1);
    }
}

// Bytes before `stop` (a line start) from the first line start in them on.
QByteArray WholeLinesBefore(QFile& file, std::int64_t stop) {
    for (std::int64_t size = g_blockSize;; size *= 2) {
        const std::int64_t begin = std::max<std::int64_t>(0, stop - size);
        const QByteArray bytes = ReadAt(file, begin, stop - begin);
        if (begin == 0 || bytes.size() < stop - begin)
            return bytes;
        qsizetype start = 0;
        while (start < bytes.size() && !IsLineEnd(bytes[start]))
            ++start;
        if (start < bytes.size() && bytes[start++] == '\r' && start < bytes.size() &&
            bytes[start] == '\n')
            ++start;
        if (start < bytes.size()) // else the only line end found is the one before `stop`
            return bytes.sliced(start);
    }
}
} // namespace

LargeFileSearch::~LargeFileSearch() {
    Cancel();
}

std::int64_t LargeFileSearch::SetBlockSize(std::int64_t bytes) {
    return std::exchange(g_blockSize, bytes);
}

void LargeFileSearch::Cancel() {
    ++m_generation;
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
    m_running = false;
}

void LargeFileSearch::Start(LargeFindRequest request, QObject* context, Done done) {
    Cancel();
    m_stop = false;
    m_running = true;
    const int generation = ++m_generation;
    m_worker = std::thread([this, request = std::move(request), target = QPointer(context),
                            done = std::move(done), generation] {
        const bool backward = request.flags.testFlag(QTextDocument::FindBackward);
        const Hit hit = backward ? Backward(request) : Forward(request);
        if (m_stop)
            return;
        QMetaObject::invokeMethod(
            target.data(),
            [this, hit, done, generation] {
                if (generation != m_generation)
                    return;
                if (m_worker.joinable())
                    m_worker.join();
                m_running = false;
                done(hit.line, hit.column);
            },
            Qt::QueuedConnection);
    });
}

LargeFileSearch::Hit LargeFileSearch::Forward(const LargeFindRequest& request) const {
    QFile file(QString::fromStdString(request.path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::int64_t offset = request.lineStart;
    std::int64_t line = request.line;
    qsizetype from = request.column;
    while (offset < request.length && !m_stop) {
        const QByteArray bytes = WholeLinesFrom(file, offset, request.length);
        if (bytes.isEmpty())
            break;
        const QString text = DecodeLogBytes(bytes);
        const qsizetype at =
            FindInText(text, request.what, std::min(from, text.size()), request.flags);
        if (at >= 0) {
            const auto [hitLine, column] = LineAndColumn(text, at, line);
            return {hitLine, column};
        }
        line += LineEnds(text);
        offset += bytes.size();
        from = 0;
    }
    return {};
}

LargeFileSearch::Hit LargeFileSearch::Backward(const LargeFindRequest& request) const {
    QFile file(QString::fromStdString(request.path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The start's own line first, then whole blocks before it.
    QString text =
        DecodeLogBytes(ReadAt(file, request.lineStart, request.lineEnd - request.lineStart));
    qsizetype from = std::min<qsizetype>(request.column, text.size());
    std::int64_t firstLine = request.line;
    std::int64_t stop = request.lineStart;
    for (;;) {
        const qsizetype at = FindInText(text, request.what, from, request.flags);
        if (at >= 0) {
            const auto [hitLine, column] = LineAndColumn(text, at, firstLine);
            return {hitLine, column};
        }
        if (stop == 0 || m_stop)
            return {};
        const QByteArray bytes = WholeLinesBefore(file, stop);
        if (bytes.isEmpty())
            return {};
        text = DecodeLogBytes(bytes);
        firstLine -= LineEnds(text);
        stop -= bytes.size();
        from = text.size();
    }
}
