#include "daemon/Server.h"

#include "core/forward/Forwarding.h"
#include "core/platform/AsyncSocket.h"
#include "core/platform/MessageBox.h"
#include "core/platform/OpenFileLimit.h"
#include "core/reception/SyslogRecord.h"
#include "core/reception/SyslogSocket.h"
#include "core/storage/Reconfiguration.h"
#include "core/transport/NetworkReception.h"
#include "core/transport/TcpReceiver.h"

Server::Server(std::function<void(const std::string&)> writeLine)
    : m_writeLine(std::move(writeLine)), m_programs(m_writeLine) {
    AfxSetMainWnd(this);
    m_alerts.SetListener([this](const Alert& alert) {
        if (m_writeLine)
            m_writeLine(AlertLine(alert));
    });
}

void Server::LoadAlertRules() {
    m_alerts.SetRules(m_alertRules.Load());
}

Server::~Server() {
    Stop();
}

int Server::Start(std::uint16_t port) {
    if (!Sockets::Startup()) {
        AfxMessageBox("Windows sockets initialization failed.");
        return kStartFailed;
    }
    RaiseOpenFileLimit(); // thousands of per-address files
    OpenLogFiles();
    LoadAlertRules();
    g_listener.ReloadSourceFilter();
    if (!g_listener.Open(port))
        return kStartFailed;
    ApplyNetworkSettings(CurrentNetworkSettings());
    ApplyForwardSettings();
    return kStarted;
}

void Server::Reload() {
    ApplyConfiguration(*this, LoadConfigurationChoices(*this));
    LoadAlertRules();
    ApplyNetworkSettings(CurrentNetworkSettings());
    ApplyForwardSettings();
}

NetworkSettings Server::CurrentNetworkSettings() const {
    NetworkSettings settings = LoadProgramNetworkSettings();
    if (m_tcpPortOverride != 0)
        settings.tcpPort = m_tcpPortOverride;
    if (m_tlsPortOverride != 0)
        settings.tlsPort = m_tlsPortOverride;
    return settings;
}

void Server::Stop() {
    g_tcpReceiver.Close();
    g_tlsReceiver.Close();
    g_listener.ShutDownForExit();
    // What would stay in the status bar: the operator learns of anything left or dropped.
    const Forwarding::Totals forwarded = g_forwarding.Stop();
    if (forwarded.queued > 0 || forwarded.dropped > 0)
        AfxMessageBox(Forwarding::StatusText(forwarded).c_str());
    CloseLogFiles();
    if (AfxGetMainWnd() == this)
        AfxSetMainWnd(nullptr);
}

std::intptr_t Server::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == WM_SYSLOG_BATCH) {
        HoldFlushes(wParam != 0);
        return 1;
    }
    if (message != WM_SYSLOG_MESSAGE || lParam == 0)
        return 0;
    const auto& record = *reinterpret_cast<const SyslogRecord*>(lParam);
    WriteLogLine(record);
    g_forwarding.Offer(record);
    m_alerts.Deliver(record);
    return 1;
}
