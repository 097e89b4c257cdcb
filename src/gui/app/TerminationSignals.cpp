#include "gui/app/TerminationSignals.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM};
volatile std::sig_atomic_t g_writeEnd = -1;

extern "C" void OnTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    const ssize_t written = write(g_writeEnd, &byte, 1); // async-signal-safe
    (void)written;
    errno = savedErrno;
}

void SetHandler(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_pair) != 0)
        return;
    g_writeEnd = m_pair[0];
    m_notifier = new QSocketNotifier(m_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::OnReadable);
    SetHandler(OnTerminationSignal);
}

TerminationSignals::~TerminationSignals() {
    if (m_pair[0] < 0)
        return;
    SetHandler(SIG_DFL);
    g_writeEnd = -1;
    close(m_pair[0]);
    close(m_pair[1]);
}

void TerminationSignals::OnReadable() {
    char bytes[64];
    while (read(m_pair[1], bytes, sizeof bytes) > 0) {
    }
    emit Requested();
}
#else
// Windows has no such signals for a window program; the window's close box serves.
TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;
void TerminationSignals::OnReadable() {}
#endif
