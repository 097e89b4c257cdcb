#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>

#include "core/archive/ArchiveSettings.h"
#include "core/archive/CalendarDay.h"

// When a log starts a new file: at the first line of a later local day, or before a line
// that would take it past the size bound. Always between two lines, never in an empty file.
class RotationPolicy {
public:
    // The clock's calendar: the local day of a time. Tests give their own.
    using Calendar = std::function<std::optional<CalendarDay>(std::time_t)>;

    explicit RotationPolicy(const ArchiveSettings& settings, Calendar dayOf = LocalDayOf);

    // `fileDay` is the day of the file's first line; `fileSize` its length now.
    bool IsDue(std::uint64_t fileSize, const std::optional<CalendarDay>& fileDay,
               std::time_t lineTime, std::size_t lineBytes) const;
    // Whether a file that gets no lines is due at `now` (only for daily rotation).
    bool IsDayOver(std::uint64_t fileSize, const std::optional<CalendarDay>& fileDay,
                   std::time_t now) const;
    // Asked at every line: the day of the last second asked is kept.
    std::optional<CalendarDay> DayOf(std::time_t when) const;

private:
    bool m_daily;
    std::uint64_t m_maxBytes; // 0: no bound
    Calendar m_dayOf;
    mutable std::time_t m_cachedWhen = -1;
    mutable std::optional<CalendarDay> m_cachedDay;
};
