#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/archive/CalendarDay.h"

// The archive's slow work, one job after another on a thread of its own, so reception
// never waits for it: compressing rotated files, finishing what a crash interrupted,
// deleting expired files. Failures are kept as texts for the owner's thread to show.
class ArchiveWorker {
public:
    ArchiveWorker();
    // Stops a compression under way (its partial file is removed; the next start redoes it)
    // and drops the jobs that wait.
    ~ArchiveWorker();
    ArchiveWorker(const ArchiveWorker&) = delete;
    ArchiveWorker& operator=(const ArchiveWorker&) = delete;

    // Gzips a rotated file to "<path>.gz": under its partial name first, renamed when
    // complete and forced to disk, and only then is `path` deleted.
    void Compress(const std::string& path);
    // At start: removes partial files in `directory`, deletes rotated files whose ".gz" is
    // complete and, with `compress`, compresses the rest.
    void Recover(const std::string& directory, bool compress);
    // Deletes rotated files of `directory` whose day is more than `keepDays` before `today`.
    void DeleteExpired(const std::string& directory, const CalendarDay& today, int keepDays);

    // The failures since the last call, oldest first.
    std::vector<std::string> TakeReports();
    // Blocks until every job given so far is done. For tests and benches.
    void WaitUntilIdle();

private:
    void Post(std::function<void()> job);
    void Run();
    void CompressNow(const std::string& path);
    void Report(std::string text);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::string> m_reports;
    bool m_busy = false;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
