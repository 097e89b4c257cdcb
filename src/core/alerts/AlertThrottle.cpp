#include "core/alerts/AlertThrottle.h"

std::optional<std::uint64_t> AlertThrottle::OnMatch(Clock::time_point now) {
    if (m_lastFired && now - *m_lastFired < m_interval) {
        ++m_heldBack;
        return std::nullopt;
    }
    m_lastFired = now;
    const std::uint64_t heldBack = m_heldBack;
    m_heldBack = 0;
    return heldBack;
}
