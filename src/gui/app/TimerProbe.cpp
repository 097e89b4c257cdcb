#include "gui/app/TimerProbe.h"

#include <QCoreApplication>
#include <cstdlib>

void TimerProbe::StartFromEnvironment() {
    const char* path = std::getenv("MAROVIND_PROBE_TIMER");
    if (!path || !*path || !QCoreApplication::instance())
        return;
    std::FILE* out = std::fopen(path, "w");
    if (!out)
        return;
    // Owned by the application object, so it lives as long as the event loop can run.
    new TimerProbe(out, QCoreApplication::instance());
}

TimerProbe::TimerProbe(std::FILE* out, QObject* parent) : QObject(parent), m_out(out) {
    m_clock.start();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TimerProbe::OnTick);
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &TimerProbe::WriteWorst);
    m_timer.start();
}

TimerProbe::~TimerProbe() {
    WriteWorst();
    std::fclose(m_out);
}

void TimerProbe::OnTick() {
    // The elapsed timer reads the monotonic clock, the same one that loadgen reports.
    const qint64 now = m_clock.nsecsElapsed();
    if (m_lastTickNs >= 0) {
        const double lateMs = static_cast<double>(now - m_lastTickNs) / 1e6 - kIntervalMs;
        if (lateMs >= kReportedLatenessMs) {
            // The probe's start on the monotonic clock, plus the time since then.
            const double atMs =
                static_cast<double>(m_clock.msecsSinceReference()) + static_cast<double>(now) / 1e6;
            std::fprintf(m_out, "%.3f %.3f\n", atMs, lateMs);
            std::fflush(m_out);
        }
        if (lateMs > m_worstMs)
            m_worstMs = lateMs;
    }
    m_lastTickNs = now;
}

void TimerProbe::WriteWorst() {
    if (m_worstWritten)
        return;
    m_worstWritten = true;
    std::fprintf(m_out, "worst %.3f\n", m_worstMs);
    std::fflush(m_out);
}
