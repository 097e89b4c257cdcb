#include "core/platform/HostAddresses.h"

#include "core/platform/AddressText.h"

#include <algorithm>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>
#endif

namespace {
constexpr int kHostNameBytes = 128;

std::string DottedText(const unsigned char* bytes, int length) {
    std::string text;
    for (int i = 0; i < length; ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(static_cast<unsigned>(bytes[i]));
    }
    return text;
}
} // namespace

std::vector<std::string> HostIPv4Addresses() {
    char name[kHostNameBytes] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    // gethostbyname keeps the resolver's order, which getaddrinfo's sorting would not.
    const hostent* host = gethostbyname(name);
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list)
        return {};
    std::vector<std::string> addresses;
    for (char** entry = host->h_addr_list; *entry; ++entry)
        addresses.push_back(
            DottedText(reinterpret_cast<const unsigned char*>(*entry), host->h_length));
    return addresses;
}

namespace {
void AddIpv6(const sockaddr* address, std::vector<std::string>& addresses) {
    if (!address || address->sa_family != AF_INET6)
        return;
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    std::string text = Ipv6AddressText(reinterpret_cast<const unsigned char*>(&v6->sin6_addr));
    if (std::find(addresses.begin(), addresses.end(), text) == addresses.end())
        addresses.push_back(std::move(text));
}
} // namespace

std::vector<std::string> HostIPv6Addresses() {
    std::vector<std::string> addresses;
#ifdef _WIN32
    char name[kHostNameBytes] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0)
        return {};
    for (const addrinfo* entry = found; entry; entry = entry->ai_next)
        AddIpv6(entry->ai_addr, addresses);
    freeaddrinfo(found);
#else
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return {};
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next)
        AddIpv6(entry->ifa_addr, addresses);
    freeifaddrs(interfaces);
#endif
    return addresses;
}

std::vector<std::string> HostNames() {
    char name[kHostNameBytes] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return {};
    std::vector<std::string> names{name};
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0)
        return names;
    if (found->ai_canonname && names.front() != found->ai_canonname)
        names.emplace_back(found->ai_canonname);
    freeaddrinfo(found);
    return names;
}

std::vector<std::string> HostAddresses(bool ipv6) {
    std::vector<std::string> addresses = HostIPv4Addresses();
    if (ipv6) {
        const std::vector<std::string> more = HostIPv6Addresses();
        addresses.insert(addresses.end(), more.begin(), more.end());
    }
    return addresses;
}

std::vector<std::string> StartupLines(const std::vector<std::string>& addresses, unsigned tcpPort,
                                      unsigned tlsPort, const std::string& tlsFingerprint) {
    std::vector<std::string> lines{kVersionText};
    for (const std::string& address : addresses)
        lines.push_back(kListeningPrefix + address);
    if (tcpPort != 0)
        lines.push_back(kTcpListeningPrefix + std::to_string(tcpPort));
    if (tlsPort != 0 && !tlsFingerprint.empty()) {
        lines.push_back(kTlsListeningPrefix + std::to_string(tlsPort));
        lines.push_back(kTlsFingerprintPrefix + tlsFingerprint);
    }
    return lines;
}
