#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "core/alerts/AlertDispatcher.h"
#include "core/alerts/AlertRulesLoader.h"
#include "core/alerts/ProgramRunner.h"

#include "core/platform/MessageTarget.h"
#include "core/settings/NetworkSettings.h"
#include "core/storage/LogFileSet.h"

// The server without windows: it takes the listener's records as the main window does and
// writes each to its log file, with nothing shown.
class Server : public LogFileSet, public MessageTarget {
public:
    static constexpr int kStarted = 0;
    static constexpr int kStartFailed = 1;

    // Each alert, and each alert program that cannot be started, is one line to `writeLine`.
    explicit Server(std::function<void(const std::string&)> writeLine = {});
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
    // Takes the settings file, ipaddr.flt and alerts.ini from disk again, as the configuration
    // sheet's OK does when nothing in it was changed: log files are reopened, and changed network
    // settings take effect.
    void Reload();
    // The network settings of the settings file, with the command line's TCP and TLS ports.
    NetworkSettings CurrentNetworkSettings() const;
    // Stops reading and closes every log file.
    void Stop();

    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;

private:
    void LoadAlertRules();

    std::function<void(const std::string&)> m_writeLine;
    // Without a desktop only the rules' programs run; every alert is written down.
    ProgramRunner m_programs;
    AlertDispatcher m_alerts{&m_programs};
    AlertRulesLoader m_alertRules;
    std::uint16_t m_tcpPortOverride = 0;
    std::uint16_t m_tlsPortOverride = 0;
};
