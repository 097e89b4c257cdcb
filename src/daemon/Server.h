#pragma once
#include <cstdint>

#include "core/platform/MessageTarget.h"
#include "core/settings/NetworkSettings.h"
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
    // setting), the source filter, then the listener on `port`, then TCP and IPv6 as the
    // settings say. kStartFailed when the
    // sockets or the UDP listener failed (their message has gone to standard error); a TCP
    // or IPv6 port that cannot be bound is reported and the rest goes on.
    int Start(std::uint16_t port);
    // A TCP port given on the command line, in place of TCP_PORT; 0 for none.
    void OverrideTcpPort(std::uint16_t port) { m_tcpPortOverride = port; }
    // The same for TLS_PORT.
    void OverrideTlsPort(std::uint16_t port) { m_tlsPortOverride = port; }
    // Takes the settings file and ipaddr.flt from disk again, as the configuration sheet's
    // OK does when nothing in it was changed: log files are reopened, and changed network
    // settings take effect.
    void Reload();
    // The network settings of the settings file, with the command line's TCP and TLS ports.
    NetworkSettings CurrentNetworkSettings() const;
    // Stops reading and closes every log file.
    void Stop();

    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;

private:
    std::uint16_t m_tcpPortOverride = 0;
    std::uint16_t m_tlsPortOverride = 0;
};
