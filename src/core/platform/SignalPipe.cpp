#include "core/platform/SignalPipe.h"

#include "core/platform/EventLoop.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>


namespace {
volatile std::sig_atomic_t g_writeEnd = -1;

extern "C" void OnSignal(int signal) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signal);
    const ssize_t written = write(g_writeEnd, &byte, 1); // async-signal-safe
    (void)written;
    errno = savedErrno;
}

void SetHandler(const std::vector<int>& numbers, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : numbers)
        sigaction(signal, &action, nullptr);
}
} // namespace

SignalPipe::SignalPipe(std::initializer_list<int> watched, Handler onSignals)
    : m_signals(watched), m_onSignals(std::move(onSignals)) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_pair) != 0)
        return;
    g_writeEnd = m_pair[0];
    m_notifier = std::make_unique<SocketReadNotifier>(m_pair[1], [this](int) { OnReadable(); });
    SetHandler(m_signals, OnSignal);
}

SignalPipe::~SignalPipe() {
    if (m_pair[0] < 0)
        return;
    SetHandler(m_signals, SIG_DFL);
    g_writeEnd = -1;
    m_notifier.reset();
    close(m_pair[0]);
    close(m_pair[1]);
}

void SignalPipe::OnReadable() {
    char bytes[64];
    std::vector<int> arrived;
    ssize_t count;
    while ((count = read(m_pair[1], bytes, sizeof bytes)) > 0)
        arrived.insert(arrived.end(), bytes, bytes + count);
    if (!arrived.empty())
        m_onSignals(arrived);
}
#else
SignalPipe::SignalPipe(std::initializer_list<int>, Handler onSignals)
    : m_onSignals(std::move(onSignals)) {}

SignalPipe::~SignalPipe() = default;
#endif
