#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// Finds where lines start in bytes that arrive piece by piece. A line ends at LF, at CR or
// at CR LF, the same line ends the text view knows; a CR at the end of one piece waits for
// the next to tell which.
class LineSplitter {
public:
    // Calls `onStart(offset)` for each line start after the first; `base` is the offset of
    // data[0] in the file.
    template <typename OnStart>
    void Feed(const char* data, std::int64_t size, std::int64_t base, OnStart&& onStart) {
        std::int64_t i = 0;
        if (m_pendingCr && size > 0) {
            m_pendingCr = false;
            if (data[0] == '\n')
                i = 1;
            onStart(base + i);
        }
        for (; i < size; ++i) {
            const char c = data[i];
            if (c != '\n' && c != '\r')
                continue;
            if (c == '\r') {
                if (i + 1 == size) {
                    m_pendingCr = true;
                    return;
                }
                if (data[i + 1] == '\n')
                    ++i;
            }
            onStart(base + i + 1);
        }
    }
    // The end of the bytes: a CR still waiting ends its line there.
    template <typename OnStart> void Finish(std::int64_t end, OnStart&& onStart) {
        if (std::exchange(m_pendingCr, false))
            onStart(end);
    }

private:
    bool m_pendingCr = false;
};

// The lines of a log file as byte offsets, built on a worker thread over the length the
// file had when opened (a growing file is shown as it was). It keeps one offset for every
// 64 lines or 64 KiB, whichever comes first, so it stays a small part of the file's size
// whatever the lines; the lines between are found again when read.
class LineIndex {
public:
    LineIndex() = default;
    ~LineIndex();
    LineIndex(const LineIndex&) = delete;
    LineIndex& operator=(const LineIndex&) = delete;

    // Starts indexing `length` bytes of the file; false when it cannot be opened.
    bool Start(const std::string& path, std::int64_t length);
    // Stops the worker (it ends within one block).
    void Stop();

    bool Done() const { return m_done.load(); }
    bool Failed() const { return m_failed.load(); }
    std::int64_t Length() const { return m_length; }
    const std::string& Path() const { return m_path; }
    // Lines known so far: while indexing, the lines whose end has been found.
    std::int64_t LineCount() const;
    int Percent() const;
    // Byte offset where `line` starts, read from the file; -1 beyond the known lines.
    std::int64_t LineStart(std::int64_t line) const;
    // Up to `count` lines from `first`, decoded, without their line ends.
    QStringList Lines(std::int64_t first, std::int64_t count) const;
    // How many bytes lines [first, last] take in the file, their line ends included.
    std::int64_t SpanBytes(std::int64_t first, std::int64_t last) const;

    static constexpr std::int64_t kLinesPerMark = 64;
    static constexpr std::int64_t kBytesPerMark = std::int64_t{64} << 10;

private:
    struct Mark {
        std::int64_t line;
        std::int64_t offset;
    };
    void Run();
    void AddStart(std::int64_t offset, std::vector<Mark>& fresh);
    void Publish(std::vector<Mark>& fresh, std::int64_t scanned);
    Mark MarkBefore(std::int64_t line) const;
    // Read from the file (GUI thread): the starts of lines mark.line, mark.line + 1, ...
    // up to the start of the line after `untilLine`, or up to the end of the indexed bytes,
    // which then ends the list.
    std::vector<std::int64_t> StartsFrom(Mark mark, std::int64_t untilLine) const;

    std::string m_path;
    std::atomic<std::int64_t> m_length{0};
    mutable QFile m_reader;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_failed{false};
    std::atomic<std::int64_t> m_scanned{0};

    mutable std::mutex m_mutex;
    std::vector<Mark> m_marks{{0, 0}};
    std::int64_t m_lines = 1; // line starts found, the first included
    // Worker-only state.
    Mark m_last{0, 0};
    std::int64_t m_workerLines = 1;
};
