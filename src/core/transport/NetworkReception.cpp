#include "core/transport/NetworkReception.h"

#include "core/reception/AddressList.h"
#include "core/reception/SyslogSocket.h"
#include "core/transport/TcpReceiver.h"

void ApplyNetworkSettings(const NetworkSettings& settings) {
    g_listener.SetIpv6(settings.ipv6);
    g_tcpReceiver.SetMaxMessage(settings.maxMessage);
    g_tcpReceiver.Listen(settings.tcpPort, settings.ipv6);
}

NetworkSettings LoadProgramNetworkSettings() {
    return LoadNetworkSettings(SettingsPath());
}
