#pragma once
#include <chrono>
#include <cstdint>
#include <optional>

// At most one alert of a rule per interval: the first match fires, the matches within the
// interval after it are only counted, and the first match after the interval fires again
// and tells how many were held back.
class AlertThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit AlertThrottle(std::chrono::seconds interval) : m_interval(interval) {}

    // The number of matches held back since the last alert, when this match fires; nothing
    // when it is held back.
    std::optional<std::uint64_t> OnMatch(Clock::time_point now);

private:
    std::chrono::seconds m_interval;
    std::optional<Clock::time_point> m_lastFired;
    std::uint64_t m_heldBack = 0;
};
