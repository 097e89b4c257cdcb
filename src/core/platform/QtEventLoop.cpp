#include "core/platform/EventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

struct SocketReadNotifier::Impl {
    explicit Impl(NativeSocket socket)
        : notifier(static_cast<qintptr>(socket), QSocketNotifier::Read) {}
    QSocketNotifier notifier;
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
