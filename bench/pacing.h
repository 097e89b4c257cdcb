#pragma once
// Timing for the load tools: the monotonic clock, sleeping, and pacing to a rate.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>

inline std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

inline void SleepNs(std::int64_t ns) {
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

// A token bucket that fills at `rate` datagrams per second from the moment it starts. It
// hands out datagrams in quanta of 100 us worth and sleeps in between rather than spinning:
// on a 2-core machine a spinning sender would take a whole core from the server under
// test. The sleep's overshoot only makes the next quantum a little larger, so the average
// rate holds; the bursts stay in the tens of datagrams even at 200k/s.
class Pacer {
public:
    explicit Pacer(double rate)
        : m_rate(rate), m_quantum(std::max<std::uint64_t>(
                            1, static_cast<std::uint64_t>(rate * kQuantumNs / 1e9))) {
        Restart();
    }

    void Restart() {
        m_origin = NowNs();
        m_granted = 0;
    }

    // Waits until datagrams are due; returns how many of `wanted` may go now.
    std::uint64_t Acquire(std::uint64_t wanted) {
        if (m_rate <= 0)
            return wanted;
        const std::uint64_t least = std::min(wanted, m_quantum);
        for (;;) {
            const std::int64_t now = NowNs();
            const std::uint64_t due = DueBy(now);
            if (due >= m_granted + least) {
                const std::uint64_t n = std::min(wanted, due - m_granted);
                m_granted += n;
                return n;
            }
            const std::int64_t at =
                m_origin +
                static_cast<std::int64_t>(static_cast<double>(m_granted + least) * 1e9 / m_rate);
            if (at > now)
                SleepNs(at - now);
        }
    }

private:
    static constexpr double kQuantumNs = 100000;

    // How many datagrams are due by `now`: the first one at once.
    std::uint64_t DueBy(std::int64_t now) const {
        return static_cast<std::uint64_t>(static_cast<double>(now - m_origin) * m_rate / 1e9) + 1;
    }

    double m_rate;
    std::uint64_t m_quantum;
    std::int64_t m_origin = 0;
    std::uint64_t m_granted = 0;
};
