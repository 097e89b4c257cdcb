#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "core/platform/SignalPipe.h"

// The requests that reach the server from outside, delivered on the event loop's thread:
// stop (SIGTERM, SIGINT; on Windows Ctrl+C, Ctrl+Break, closing the console) and reload
// (SIGHUP). One instance at a time.
class StopSignals {
public:
    StopSignals(std::function<void()> onStop, std::function<void()> onReload);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Windows: a console close waits in its handler until this is called, since the
    // process ends as soon as the handler returns.
    static void StoppedCleanly();

private:
    void OnSignals(const std::vector<int>& signals);

    std::function<void()> m_onStop;
    std::function<void()> m_onReload;
#ifndef _WIN32
    std::unique_ptr<SignalPipe> m_pipe;
#endif
};
