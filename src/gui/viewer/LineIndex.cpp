#include "gui/viewer/LineIndex.h"

#include <algorithm>

#include "gui/framework/DisplayText.h"

namespace {
constexpr qint64 kFirstBlock = qint64{256} << 10; // the first screen comes quickly
constexpr qint64 kBlock = qint64{4} << 20;
constexpr qint64 kReadPiece = qint64{64} << 10;

qsizetype LineEndLength(const QByteArray& line) {
    if (line.endsWith("\r\n"))
        return 2;
    return line.endsWith('\n') || line.endsWith('\r') ? 1 : 0;
}
} // namespace

LineIndex::~LineIndex() {
    Stop();
}

bool LineIndex::Start(const std::string& path, std::int64_t length) {
    m_path = path;
    m_length = length;
    m_reader.setFileName(QString::fromStdString(path));
    if (!m_reader.open(QIODevice::ReadOnly))
        return false;
    m_worker = std::thread([this] { Run(); });
    return true;
}

void LineIndex::Stop() {
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

void LineIndex::Run() {
    QFile file(QString::fromStdString(m_path));
    if (!file.open(QIODevice::ReadOnly)) {
        m_failed = true;
        m_done = true;
        return;
    }
    LineSplitter splitter;
    std::vector<Mark> fresh;
    QByteArray block;
    std::int64_t offset = 0;
    const std::int64_t length = m_length;
    while (offset < length && !m_stop) {
        const qint64 want = std::min<qint64>(offset == 0 ? kFirstBlock : kBlock, length - offset);
        block.resize(want);
        const qint64 got = file.read(block.data(), want);
        if (got <= 0) { // cut short or unreadable: the index ends where the bytes did
            m_failed = got < 0;
            m_length = offset;
            break;
        }
        splitter.Feed(block.constData(), got, offset,
                      [&](std::int64_t start) { AddStart(start, fresh); });
        offset += got;
        if (offset < length)
            Publish(fresh, offset);
    }
    splitter.Finish(offset, [&](std::int64_t start) { AddStart(start, fresh); });
    Publish(fresh, offset);
    m_done = !m_stop || offset >= length;
}

void LineIndex::AddStart(std::int64_t offset, std::vector<Mark>& fresh) {
    const std::int64_t line = m_workerLines++;
    if (line - m_last.line >= kLinesPerMark || offset - m_last.offset >= kBytesPerMark) {
        m_last = {line, offset};
        fresh.push_back(m_last);
    }
}

void LineIndex::Publish(std::vector<Mark>& fresh, std::int64_t scanned) {
    const std::lock_guard lock(m_mutex);
    m_marks.insert(m_marks.end(), fresh.begin(), fresh.end());
    m_lines = m_workerLines;
    m_scanned = scanned;
    fresh.clear();
}

std::int64_t LineIndex::LineCount() const {
    const std::lock_guard lock(m_mutex);
    return m_done ? m_lines : m_lines - 1;
}

int LineIndex::Percent() const {
    const std::int64_t length = m_length;
    return length == 0 || m_done ? 100 : static_cast<int>(m_scanned * 100 / length);
}

LineIndex::Mark LineIndex::MarkBefore(std::int64_t line) const {
    const std::lock_guard lock(m_mutex);
    const auto after = std::upper_bound(m_marks.begin(), m_marks.end(), line,
                                        [](std::int64_t l, const Mark& m) { return l < m.line; });
    return *std::prev(after);
}

std::vector<std::int64_t> LineIndex::StartsFrom(Mark mark, std::int64_t untilLine) const {
    std::vector<std::int64_t> starts{mark.offset};
    const std::int64_t end = m_done ? m_length.load() : m_scanned.load();
    LineSplitter splitter;
    QByteArray piece;
    std::int64_t offset = mark.offset;
    const auto wanted = static_cast<std::size_t>(untilLine - mark.line + 2);
    m_reader.seek(offset);
    while (starts.size() < wanted && offset < end) {
        piece.resize(std::min<std::int64_t>(kReadPiece, end - offset));
        const qint64 got = m_reader.read(piece.data(), piece.size());
        if (got <= 0)
            break;
        splitter.Feed(piece.constData(), got, offset,
                      [&](std::int64_t start) { starts.push_back(start); });
        offset += got;
    }
    if (starts.size() < wanted) {
        splitter.Finish(offset, [&](std::int64_t start) { starts.push_back(start); });
        starts.push_back(offset); // where the last line ends
    }
    return starts;
}

std::int64_t LineIndex::LineStart(std::int64_t line) const {
    if (line < 0 || line >= LineCount())
        return -1;
    const Mark mark = MarkBefore(line);
    const auto starts = StartsFrom(mark, line);
    return starts[static_cast<std::size_t>(line - mark.line)];
}

std::int64_t LineIndex::SpanBytes(std::int64_t first, std::int64_t last) const {
    const Mark mark = MarkBefore(last);
    const auto starts = StartsFrom(mark, last);
    const std::int64_t end =
        starts[std::min(starts.size() - 1, static_cast<std::size_t>(last - mark.line + 1))];
    return end - LineStart(first);
}

QStringList LineIndex::Lines(std::int64_t first, std::int64_t count) const {
    QStringList lines;
    count = std::min(count, LineCount() - first);
    if (first < 0 || count <= 0)
        return lines;
    const Mark mark = MarkBefore(first);
    const auto starts = StartsFrom(mark, first + count - 1);
    const auto from = static_cast<std::size_t>(first - mark.line);
    const std::int64_t begin = starts[from];
    const std::int64_t stop = starts[std::min(starts.size() - 1, from + count)];
    m_reader.seek(begin);
    const QByteArray bytes = m_reader.read(stop - begin);
    lines.reserve(count);
    for (std::size_t k = from; k < from + count && k + 1 < starts.size(); ++k) {
        QByteArray line = bytes.mid(starts[k] - begin, starts[k + 1] - starts[k]);
        line.chop(LineEndLength(line));
        lines << DecodeLogBytes(line);
    }
    return lines;
}
