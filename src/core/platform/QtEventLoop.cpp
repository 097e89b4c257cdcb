#include "core/platform/EventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

struct SocketReadNotifier::Impl {
    explicit Impl(NativeSocket socket)
        : notifier(static_cast<qintptr>(socket), QSocketNotifier::Read) {}
    QSocketNotifier notifier;
    std::unique_ptr<QSocketNotifier> writable; // while sending waits for room
};

SocketReadNotifier::SocketReadNotifier(NativeSocket socket, Handler onReadable)
    : m_impl(std::make_unique<Impl>(socket)) {
    QObject::connect(&m_impl->notifier, &QSocketNotifier::activated,
                     [handler = std::move(onReadable)] { handler(0); });
}

SocketReadNotifier::~SocketReadNotifier() = default;

bool SocketReadNotifier::SetEnabled(bool enabled) {
    m_impl->notifier.setEnabled(enabled);
    return true;
}

bool SocketReadNotifier::IsEnabled() const {
    return m_impl->notifier.isEnabled();
}

bool SocketReadNotifier::WatchWritable(Handler onWritable) {
    if (!onWritable) {
        // Deleted later: this may run inside the notifier's own signal.
        if (m_impl->writable) {
            m_impl->writable->setEnabled(false);
            m_impl->writable.release()->deleteLater();
        }
        return true;
    }
    if (!m_impl->writable)
        m_impl->writable =
            std::make_unique<QSocketNotifier>(m_impl->notifier.socket(), QSocketNotifier::Write);
    m_impl->writable->disconnect();
    QObject::connect(m_impl->writable.get(), &QSocketNotifier::activated,
                     [handler = std::move(onWritable)] { handler(0); });
    m_impl->writable->setEnabled(true);
    return true;
}

struct LoopTimer::Impl {
    QTimer timer;
};

LoopTimer::LoopTimer(int intervalMs, std::function<void()> onTimeout)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->timer.setInterval(intervalMs);
    QObject::connect(&m_impl->timer, &QTimer::timeout, std::move(onTimeout));
}

LoopTimer::~LoopTimer() = default;

void LoopTimer::Start() {
    if (!m_impl->timer.isActive())
        m_impl->timer.start();
}

void LoopTimer::Stop() {
    m_impl->timer.stop();
}

bool LoopTimer::IsActive() const {
    return m_impl->timer.isActive();
}

void PostToLoop(std::function<void()> call) {
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(call));
}

bool PumpEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (done && done())
            return true;
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        // The timer only wakes the wait below when nothing else comes first.
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void PumpEventsFor(int milliseconds) {
    PumpEventsUntil(nullptr, milliseconds);
}

void RunEventLoop() {
    QCoreApplication::exec();
}

void QuitEventLoop() {
    QCoreApplication::quit();
}
