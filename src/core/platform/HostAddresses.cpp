#include "core/platform/HostAddresses.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netdb.h>
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

std::vector<std::string> StartupLines(const std::vector<std::string>& addresses) {
    std::vector<std::string> lines{kVersionText};
    for (const std::string& address : addresses)
        lines.push_back(kListeningPrefix + address);
    return lines;
}
