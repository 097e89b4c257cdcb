#include "daemon/StopSignals.h"

#include "core/platform/EventLoop.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t g_writeEnd = -1;

extern "C" void OnSignal(int signal) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signal);
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

StopSignals::StopSignals(std::function<void()> onStop, std::function<void()> onReload)
    : m_onStop(std::move(onStop)), m_onReload(std::move(onReload)) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_pair) != 0)
        return;
    g_writeEnd = m_pair[0];
    m_notifier = std::make_unique<SocketReadNotifier>(m_pair[1], [this](int) { OnReadable(); });
    SetHandler(OnSignal);
}

StopSignals::~StopSignals() {
    if (m_pair[0] < 0)
        return;
    SetHandler(SIG_DFL);
    g_writeEnd = -1;
    m_notifier.reset();
    close(m_pair[0]);
    close(m_pair[1]);
}

void StopSignals::OnReadable() {
    char bytes[64];
    bool stop = false;
    bool reload = false;
    ssize_t count;
    while ((count = read(m_pair[1], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < count; ++i)
            (bytes[i] == SIGHUP ? reload : stop) = true;
    // A stop wins: the files are closed on the way out anyway.
    if (stop)
        m_onStop();
    else if (reload)
        m_onReload();
}

void StopSignals::StoppedCleanly() {}
#else
#include <windows.h>

namespace {
HANDLE g_stopped = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    QuitEventLoop(); // the loop's thread then stops the server
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(g_stopped, 4000); // the system allows about five seconds
    return TRUE;
}
} // namespace

// Stopping is all the loop's end means on Windows: RunEventLoop returns and the caller
// stops the server; there is no reload request there.
StopSignals::StopSignals(std::function<void()> onStop, std::function<void()> onReload)
    : m_onStop(std::move(onStop)), m_onReload(std::move(onReload)) {
    g_stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

void StopSignals::OnReadable() {}

void StopSignals::StoppedCleanly() {
    if (g_stopped)
        SetEvent(g_stopped);
}
#endif
