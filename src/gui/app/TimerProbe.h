#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdio>

// A measuring aid for the load benchmark: when MAROVIND_PROBE_TIMER names a file, a 10 ms
// timer runs on the GUI thread and every tick that comes late by 2 ms or more is written
// to that file as a line "<monotonic ms> <lateness ms>", flushed at once, so the bench can
// pick out the worst delay within the moments its load ran. The last line, "worst <ms>",
// is written when the application quits. Without the variable nothing happens.
class TimerProbe : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 10;
    static constexpr double kReportedLatenessMs = 2.0;

    // Starts the probe when the environment asks for it; does nothing otherwise.
    static void StartFromEnvironment();

    explicit TimerProbe(std::FILE* out, QObject* parent = nullptr);
    ~TimerProbe() override;
    TimerProbe(const TimerProbe&) = delete;
    TimerProbe& operator=(const TimerProbe&) = delete;

private:
    void OnTick();
    void WriteWorst();

    std::FILE* m_out;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = -1;
    double m_worstMs = 0;
    bool m_worstWritten = false;
};
