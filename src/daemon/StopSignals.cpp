#include "daemon/StopSignals.h"

#include "core/platform/EventLoop.h"

#ifndef _WIN32
#include <algorithm>
#include <csignal>

StopSignals::StopSignals(std::function<void()> onStop, std::function<void()> onReload)
    : m_onStop(std::move(onStop)), m_onReload(std::move(onReload)),
      m_pipe(std::make_unique<SignalPipe>(
          std::initializer_list<int>{SIGINT, SIGTERM, SIGHUP},
          [this](const std::vector<int>& signals) { OnSignals(signals); })) {}

StopSignals::~StopSignals() = default;

void StopSignals::OnSignals(const std::vector<int>& signals) {
    // A stop wins: the files are closed on the way out anyway.
    if (std::any_of(signals.begin(), signals.end(), [](int s) { return s != SIGHUP; }))
        m_onStop();
    else
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

void StopSignals::StoppedCleanly() {
    if (g_stopped)
        SetEvent(g_stopped);
}
#endif
