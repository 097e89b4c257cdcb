#include "core/settings/NetworkSettings.h"

#include "core/settings/SettingsFile.h"
#include <algorithm>

namespace {
constexpr const char* kSection = "Marovind";
constexpr int kHighestPort = 65535;
} // namespace

NetworkSettings ReadNetworkSettings(const SettingsFile& settings) {
    NetworkSettings network;
    int port = 0;
    settings.GetInt(kSection, NetworkSettings::kTcpPortKey, port);
    if (port > 0 && port <= kHighestPort)
        network.tcpPort = static_cast<std::uint16_t>(port);
    settings.GetBool(kSection, NetworkSettings::kIpv6Key, network.ipv6);
    int maxMessage = static_cast<int>(NetworkSettings::kDefaultMaxMessage);
    if (settings.GetInt(kSection, NetworkSettings::kMaxMessageKey, maxMessage))
        network.maxMessage = static_cast<std::size_t>(
            std::clamp(maxMessage, static_cast<int>(NetworkSettings::kMinMaxMessage),
                       static_cast<int>(NetworkSettings::kMaxMaxMessage)));
    return network;
}

NetworkSettings LoadNetworkSettings(const std::string& path) {
    SettingsFile settings;
    settings.Load(path);
    return ReadNetworkSettings(settings);
}
