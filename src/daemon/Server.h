#pragma once
#include <cstdint>

#include "core/platform/MessageTarget.h"
#include "core/storage/LogFileSet.h"

// The server without windows: it takes the listener's records as the main window does and
// writes each to its log file, with nothing shown.
class Server : public LogFileSet, public MessageTarget {
public:
    static constexpr int kStarted = 0;
    static constexpr int kStartFailed = 1;

    Server();
    ~Server() override;

    // Start-up in the window program's order: the log file set (which writes any missing
    // setting), the source filter, then the listener on `port`. kStartFailed when the
    // sockets or the listener failed (their message has gone to standard error).
    int Start(std::uint16_t port);
    // Takes the settings file and ipaddr.flt from disk again, as the configuration sheet's
    // OK does when nothing in it was changed: log files are reopened.
    void Reload();
    // Stops reading and closes every log file.
    void Stop();

    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
};
