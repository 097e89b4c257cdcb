#include "core/settings/NetworkSettings.h"

#include "core/settings/SettingsFile.h"
#include <algorithm>

namespace {
constexpr const char* kSection = "Marovind";
constexpr int kHighestPort = 65535;


std::uint16_t ReadPort(const SettingsFile& settings, const char* key) {
    int port = 0;
    settings.GetInt(kSection, key, port);
    return port > 0 && port <= kHighestPort ? static_cast<std::uint16_t>(port) : 0;
}
} // namespace

NetworkSettings ReadNetworkSettings(const SettingsFile& settings) {
    NetworkSettings network;
    network.tcpPort = ReadPort(settings, NetworkSettings::kTcpPortKey);
    settings.GetBool(kSection, NetworkSettings::kIpv6Key, network.ipv6);
    int maxMessage = static_cast<int>(NetworkSettings::kDefaultMaxMessage);
    if (settings.GetInt(kSection, NetworkSettings::kMaxMessageKey, maxMessage))
        network.maxMessage = static_cast<std::size_t>(
            std::clamp(maxMessage, static_cast<int>(NetworkSettings::kMinMaxMessage),
                       static_cast<int>(NetworkSettings::kMaxMaxMessage)));
    network.tlsPort = ReadPort(settings, NetworkSettings::kTlsPortKey);
    settings.GetString(kSection, NetworkSettings::kTlsCertKey, network.tlsCert);
    settings.GetString(kSection, NetworkSettings::kTlsKeyKey, network.tlsKey);
    settings.GetString(kSection, NetworkSettings::kTlsClientCaKey, network.tlsClientCa);
    return network;
}

NetworkSettings LoadNetworkSettings(const std::string& path) {
    SettingsFile settings;
    settings.Load(path);
    return ReadNetworkSettings(settings);
}
