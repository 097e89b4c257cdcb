#include "core/transport/NetworkReception.h"

#include <ctime>

#include "core/platform/MessageBox.h"
#include "core/reception/AddressList.h"
#include "core/reception/SyslogSocket.h"
#include "core/tls/TlsServerContext.h"
#include "core/transport/TcpReceiver.h"

namespace {
TlsFiles FilesOf(const NetworkSettings& settings) {
    return {ProgramRelativePath(settings.tlsCert), ProgramRelativePath(settings.tlsKey),
            ProgramRelativePath(settings.tlsClientCa)};
}

void ApplyTlsSettings(const NetworkSettings& settings) {
    g_tlsReceiver.SetMaxMessage(settings.maxMessage);
    if (settings.tlsPort == 0) {
        g_tlsReceiver.Close();
        g_tlsReceiver.SetTlsContext(nullptr);
        return;
    }
    std::string error;
    std::shared_ptr<const TlsServerContext> context =
        TlsServerContext::Load(FilesOf(settings), error);
    if (!context) {
        const bool running = g_tlsReceiver.Port() != 0 && g_tlsReceiver.TlsContext();
        AfxMessageBox(
            "Syslog: Couldn't load " + error +
            (running ? "; TLS goes on with the files loaded before." : "; TLS reception is off."));
        if (running)
            g_tlsReceiver.Listen(settings.tlsPort, settings.ipv6);
        else
            g_tlsReceiver.Close();
        return;
    }
    const std::string warning = CertificateExpiryWarning(context->Files().certificate,
                                                         context->NotAfter(), std::time(nullptr));
    if (!warning.empty())
        AfxMessageBox(warning);
    g_tlsReceiver.SetTlsContext(std::move(context));
    g_tlsReceiver.Listen(settings.tlsPort, settings.ipv6);
}
} // namespace

void ApplyNetworkSettings(const NetworkSettings& settings) {
    g_listener.SetIpv6(settings.ipv6);
    g_tcpReceiver.SetMaxMessage(settings.maxMessage);
    g_tcpReceiver.Listen(settings.tcpPort, settings.ipv6);
    ApplyTlsSettings(settings);
}

NetworkSettings LoadProgramNetworkSettings() {
    return LoadNetworkSettings(SettingsPath());
}

std::string TlsStartupFingerprint(const NetworkSettings& settings) {
    if (settings.tlsPort == 0)
        return {};
    std::string error;
    const auto context = TlsServerContext::Load(FilesOf(settings), error);
    return context ? context->Fingerprint() : std::string();
}
