#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include <QString>
#include <QTextDocument>

class QObject;

// Where a Find starts and what it looks for, in the lines of a file: the same rules as
// FindInText over the file's whole text, forward from (line, column) on, backward from
// just before it.
struct LargeFindRequest {
    std::string path;
    std::int64_t length = 0;    // bytes of the file that are shown
    std::int64_t line = 0;      // the line of the start position
    std::int64_t column = 0;    // its column, in characters
    std::int64_t lineStart = 0; // the byte offsets of that line
    std::int64_t lineEnd = 0;   // (after its line end)
    QString what;
    QTextDocument::FindFlags flags;
};

// One Find through a large file on a worker thread: the file is read in blocks of whole
// lines, each decoded and searched as the text view shows it. The result goes to `done` on
// the thread of `context`: the hit's line and column, or line -1.
class LargeFileSearch {
public:
    using Done = std::function<void(std::int64_t line, std::int64_t column)>;

    LargeFileSearch() = default;
    ~LargeFileSearch();
    LargeFileSearch(const LargeFileSearch&) = delete;
    LargeFileSearch& operator=(const LargeFileSearch&) = delete;

    void Start(LargeFindRequest request, QObject* context, Done done);
    // Abandons a running search; its result is not delivered.
    void Cancel();
    bool Running() const { return m_running.load(); }

    // For tests: the block size, returns the previous.
    static std::int64_t SetBlockSize(std::int64_t bytes);

private:
    struct Hit {
        std::int64_t line = -1, column = 0;
    };
    Hit Forward(const LargeFindRequest& request) const;
    Hit Backward(const LargeFindRequest& request) const;

    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    int m_generation = 0; // a result posted before a Cancel is not delivered
};
