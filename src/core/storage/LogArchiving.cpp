#include "core/storage/LogArchiving.h"

#include <algorithm>
#include <utility>

#include "core/archive/RotatedName.h"
#include "core/platform/Clock.h"
#include "core/platform/MessageBox.h"
#include "core/platform/ShareFile.h"
#include "core/storage/LogFileEntry.h"

namespace {
constexpr std::time_t kZoneCheckSeconds = 60;
constexpr std::size_t kLineTimeLength = 6; // "Dec 08", the day at the start of a line

std::string FileNameOf(const std::string& path, const std::string& directory) {
    return path.compare(0, directory.size(), directory) == 0 ? path.substr(directory.size()) : path;
}

// The "Mmm dd" of the file's first line, as text; empty when it cannot be read.
std::string FirstLineStart(const std::string& path) {
    ShareFile file;
    char start[kLineTimeLength] = {};
    if (!file.OpenForRead(path) || file.Read(start, sizeof start) != sizeof start)
        return {};
    return std::string(start, sizeof start);
}
} // namespace

LogArchiving::LogArchiving(const ArchiveSettings& settings, std::string logDir,
                           RotationPolicy::Calendar dayOf)
    : m_settings(settings), m_logDir(std::move(logDir)), m_policy(settings, std::move(dayOf)) {}

void LogArchiving::Start(std::time_t now) {
    m_worker.Recover(m_logDir, m_settings.compress);
    if (const auto today = m_policy.DayOf(now); today && m_settings.keepDays > 0) {
        m_worker.DeleteExpired(m_logDir, *today, m_settings.keepDays);
        m_expiredDeletedOn = today;
    }
}

void LogArchiving::LearnFirstLineDay(LogFileEntry& entry, std::time_t now) {
    RotationState& state = entry.Rotation();
    if (state.dayKnown)
        return;
    state.dayKnown = true;
    const std::optional<CalendarDay> today = m_policy.DayOf(now);
    if (entry.Size() == 0 || !today) {
        state.firstLineDay = today; // the line about to be written is the first
        return;
    }
    // A file kept from before: its first line says its day; failing that, today.
    state.firstLineDay = DayOfLogLine(FirstLineStart(entry.Path()), *today);
    if (!state.firstLineDay)
        state.firstLineDay = today;
}

void LogArchiving::BeforeLine(LogFileEntry& entry, std::time_t lineTime, std::size_t lineBytes) {
    if (!m_settings.RotatesAtAll())
        return;
    LearnFirstLineDay(entry, lineTime);
    RotationState& state = entry.Rotation();
    if (lineTime < state.retryAt ||
        !m_policy.IsDue(entry.Size(), state.firstLineDay, lineTime, lineBytes))
        return;
    Rotate(entry, lineTime);
    LearnFirstLineDay(entry, lineTime);
}

void LogArchiving::Rotate(LogFileEntry& entry, std::time_t now) {
    RotationState& state = entry.Rotation();
    const CalendarDay day =
        state.firstLineDay.value_or(m_policy.DayOf(now).value_or(CalendarDay{}));
    const std::string to = FreeRotatedPath(m_logDir, FileNameOf(entry.Path(), m_logDir), day);
    std::string reason;
    if (entry.MoveAside(to, reason)) {
        if (m_settings.compress)
            m_worker.Compress(to);
        return;
    }
    state.retryAt = now + kRenameRetrySeconds;
    if (!state.failureShown) {
        state.failureShown = true;
        AfxMessageBox("Could not rename " + entry.Path() + " to start a new log file: " + reason +
                      " Logging goes on in it; the rename is tried again in a minute.");
    }
}

void LogArchiving::RotateIdle(const std::vector<std::unique_ptr<LogFileEntry>>& entries,
                              std::time_t now) {
    const std::optional<CalendarDay> today = m_policy.DayOf(now);
    if (!m_settings.rotateDaily || entries.empty() || !today)
        return;
    std::size_t work = 0;
    const std::size_t looks = std::min(entries.size(), kIdleLooksPerTick);
    for (std::size_t looked = 0; looked < looks && work < kIdleRotationsPerTick; ++looked) {
        m_idleCursor = (m_idleCursor + 1) % entries.size();
        LogFileEntry& entry = *entries[m_idleCursor];
        if (!entry.IsOpen() || entry.Size() == 0)
            continue;
        RotationState& state = entry.Rotation();
        if (!state.dayKnown) {
            LearnFirstLineDay(entry, now);
            ++work; // reading a first line costs a file open
        }
        if (now >= state.retryAt && state.firstLineDay && *state.firstLineDay < *today) {
            Rotate(entry, now);
            ++work;
        }
    }
}

void LogArchiving::Tick(const std::vector<std::unique_ptr<LogFileEntry>>& entries,
                        std::time_t now) {
    for (const std::string& report : m_worker.TakeReports())
        AfxMessageBox(report);
    if (now / kZoneCheckSeconds != m_zoneCheckedAt / kZoneCheckSeconds) {
        RefreshTimeZone(); // a zone changed while running moves midnight
        m_zoneCheckedAt = now;
    }
    RotateIdle(entries, now);
    const std::optional<CalendarDay> today = m_policy.DayOf(now);
    if (m_settings.keepDays > 0 && today && today != m_expiredDeletedOn) {
        m_worker.DeleteExpired(m_logDir, *today, m_settings.keepDays);
        m_expiredDeletedOn = today;
    }
}
