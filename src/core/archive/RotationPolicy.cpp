#include "core/archive/RotationPolicy.h"

#include <utility>

RotationPolicy::RotationPolicy(const ArchiveSettings& settings, Calendar dayOf)
    : m_daily(settings.rotateDaily),
      m_maxBytes(static_cast<std::uint64_t>(settings.rotateMb) * 1024 * 1024),
      m_dayOf(std::move(dayOf)) {}

bool RotationPolicy::IsDue(std::uint64_t fileSize, const std::optional<CalendarDay>& fileDay,
                           std::time_t lineTime, std::size_t lineBytes) const {
    if (fileSize == 0)
        return false;
    if (m_maxBytes > 0 && fileSize + lineBytes > m_maxBytes)
        return true;
    return IsDayOver(fileSize, fileDay, lineTime);
}

bool RotationPolicy::IsDayOver(std::uint64_t fileSize, const std::optional<CalendarDay>& fileDay,
                               std::time_t now) const {
    if (!m_daily || fileSize == 0 || !fileDay)
        return false;
    // Only a later day: a clock or time zone set back continues the file it has.
    const std::optional<CalendarDay> today = DayOf(now);
    return today && *today > *fileDay;
}

std::optional<CalendarDay> RotationPolicy::DayOf(std::time_t when) const {
    if (when != m_cachedWhen) {
        m_cachedDay = m_dayOf(when);
        m_cachedWhen = when;
    }
    return m_cachedDay;
}
