#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class SettingsFile;

// How the server listens beyond UDP over IPv4. Every key is optional and written only when
// the operator changes it, so a first start's settings file stays as it always was.
struct NetworkSettings {
    static constexpr const char* kTcpPortKey = "TCP_PORT";
    static constexpr const char* kIpv6Key = "IPV6";
    static constexpr const char* kMaxMessageKey = "MAX_MESSAGE";
    static constexpr std::size_t kDefaultMaxMessage = 8192;
    static constexpr std::size_t kMinMaxMessage = 1024;
    static constexpr std::size_t kMaxMaxMessage = 1024 * 1024;
    static constexpr const char* kTlsPortKey = "TLS_PORT";
    static constexpr const char* kTlsCertKey = "TLS_CERT";
    static constexpr const char* kTlsKeyKey = "TLS_KEY";
    static constexpr const char* kTlsClientCaKey = "TLS_CLIENT_CA";
    static constexpr std::uint16_t kDefaultTlsPort = 6514; // offered in the dialog

    std::uint16_t tcpPort = 0; // 0: no TCP
    bool ipv6 = false;
    std::size_t maxMessage = kDefaultMaxMessage; // the longest message taken over TCP and TLS
    std::uint16_t tlsPort = 0; // 0: no TLS
    // PEM files as written in the settings; a relative path is relative to the program
    // directory. An empty client CA lets any sender connect.
    std::string tlsCert;
    std::string tlsKey;
    std::string tlsClientCa;

    friend bool operator==(const NetworkSettings&, const NetworkSettings&) = default;
};

// The keys of section "Marovind" as `settings` holds them. A TCP or TLS port outside 1 to
// 65535 means none; a MAX_MESSAGE outside its range is taken as the nearest bound.
NetworkSettings ReadNetworkSettings(const SettingsFile& settings);
// The same from the settings file at `path`.
NetworkSettings LoadNetworkSettings(const std::string& path);
