#include "core/archive/ArchiveWorker.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "core/archive/ArchiveFiles.h"
#include "core/archive/GzipFile.h"
#include "core/archive/RotatedName.h"
#include "core/platform/FileMoves.h"
#include "core/platform/ThreadPriority.h"

ArchiveWorker::ArchiveWorker() : m_thread([this] { Run(); }) {}

ArchiveWorker::~ArchiveWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void ArchiveWorker::Post(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void ArchiveWorker::Run() {
    LowerCurrentThreadPriority();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop)
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        job();
        lock.lock();
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}

void ArchiveWorker::WaitUntilIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_stop || (m_jobs.empty() && !m_busy); });
}

std::vector<std::string> ArchiveWorker::TakeReports() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_reports, {});
}

void ArchiveWorker::Report(std::string text) {
    std::lock_guard lock(m_mutex);
    m_reports.push_back(std::move(text));
}

void ArchiveWorker::Compress(const std::string& path) {
    Post([this, path] { CompressNow(path); });
}

void ArchiveWorker::CompressNow(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(std::filesystem::path(path), ignored))
        return; // compressed already by the start's recovery, or deleted as expired
    const std::string partial = path + std::string(kPartialSuffix);
    const std::string complete = path + std::string(kCompressedSuffix);
    const GzipOutcome outcome = CompressFile(path, partial, m_stop);
    if (!outcome.ok) {
        if (!m_stop)
            Report("Could not compress " + path + ": " + outcome.error + " It stays uncompressed.");
        return;
    }
    std::string reason;
    if (!RenameWithoutReplacing(partial, complete, reason)) {
        std::remove(partial.c_str());
        Report("Could not compress " + path + ": " + reason + " It stays uncompressed.");
        return;
    }
    std::remove(path.c_str());
}

void ArchiveWorker::Recover(const std::string& directory, bool compress) {
    Post([this, directory, compress] {
        for (const std::string& path : LeftoverWork(directory, compress)) {
            if (m_stop)
                return;
            CompressNow(path);
        }
    });
}

void ArchiveWorker::DeleteExpired(const std::string& directory, const CalendarDay& today,
                                  int keepDays) {
    Post([directory, today, keepDays] { DeleteRotatedBefore(directory, today, keepDays); });
}
