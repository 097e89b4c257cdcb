#pragma once
#include <cstddef>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/archive/ArchiveSettings.h"
#include "core/archive/ArchiveWorker.h"
#include "core/archive/RotationPolicy.h"

class LogFileEntry;

// Rotation, compression and retention for the log files of one set. Lives while the
// archive settings are on; everything it does happens between two lines.
class LogArchiving {
public:
    LogArchiving(const ArchiveSettings& settings, std::string logDir,
                 RotationPolicy::Calendar dayOf = LocalDayOf);

    // Finishes compression a stop left undone and deletes expired files, on the worker.
    void Start(std::time_t now);
    // Before a line of `lineBytes` goes to `entry` at `lineTime`: starts a new file when
    // one is due. A file that cannot be renamed goes on; it is reported once and tried
    // again at its first line a minute later.
    void BeforeLine(LogFileEntry& entry, std::time_t lineTime, std::size_t lineBytes);
    // Called often (a few times a second): shows the worker's failures, starts new files
    // for a few logs that got no line since their day ended, and deletes expired files
    // once a day. A few per call, so thousands of files at midnight never hold up reception.
    void Tick(const std::vector<std::unique_ptr<LogFileEntry>>& entries, std::time_t now);

    ArchiveWorker& Worker() { return m_worker; }

    static constexpr std::size_t kIdleRotationsPerTick = 16;
    static constexpr std::size_t kIdleLooksPerTick = 1024;
    static constexpr std::time_t kRenameRetrySeconds = 60;

private:
    void LearnFirstLineDay(LogFileEntry& entry, std::time_t now);
    void Rotate(LogFileEntry& entry, std::time_t now);
    // Rotates up to kIdleRotationsPerTick entries of a day before `today`.
    void RotateIdle(const std::vector<std::unique_ptr<LogFileEntry>>& entries, std::time_t now);

    ArchiveSettings m_settings;
    std::string m_logDir;
    RotationPolicy m_policy;
    std::size_t m_idleCursor = 0;
    std::optional<CalendarDay> m_expiredDeletedOn;
    std::time_t m_zoneCheckedAt = 0;
    ArchiveWorker m_worker; // last: its thread ends before the rest goes
};
