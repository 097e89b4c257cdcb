#include "core/platform/AddressText.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace {
constexpr int kGroups = 8;
constexpr unsigned char kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

struct ZeroRun {
    int start = -1;
    int length = 0;
};

ZeroRun LongestZeroRun(const unsigned (&groups)[kGroups]) {
    ZeroRun best;
    for (int i = 0; i < kGroups;) {
        int end = i;
        while (end < kGroups && groups[end] == 0)
            ++end;
        if (end - i > best.length)
            best = {i, end - i};
        i = end == i ? i + 1 : end;
    }
    // A single zero group is written as 0, never as "::".
    return best.length >= 2 ? best : ZeroRun{};
}
} // namespace

std::string Ipv6AddressText(const unsigned char bytes[16]) {
    if (std::equal(kMappedPrefix, kMappedPrefix + 12, bytes)) {
        char text[16];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[12], bytes[13], bytes[14], bytes[15]);
        return text;
    }
    unsigned groups[kGroups];
    for (int i = 0; i < kGroups; ++i)
        groups[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    const ZeroRun run = LongestZeroRun(groups);
    std::string text;
    for (int i = 0; i < kGroups; ++i) {
        if (i == run.start) {
            text += "::";
            i += run.length - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        char group[8];
        std::snprintf(group, sizeof group, "%x", groups[i]);
        text += group;
    }
    return text;
}

bool CanonicalIpv6Text(std::string_view text, std::string& canonical) {
    // inet_pton wants a terminated string; longer text is no address anyway.
    char terminated[64];
    if (text.empty() || text.size() >= sizeof terminated ||
        text.find('\0') != std::string_view::npos)
        return false;
    std::copy(text.begin(), text.end(), terminated);
    terminated[text.size()] = '\0';
    unsigned char bytes[16];
    if (inet_pton(AF_INET6, terminated, bytes) != 1)
        return false;
    if (std::equal(kMappedPrefix, kMappedPrefix + 12, bytes)) {
        // Written as an IPv6 address, so it stays one: senders never show in this form.
        char mapped[32];
        std::snprintf(mapped, sizeof mapped, "::ffff:%u.%u.%u.%u", bytes[12], bytes[13], bytes[14],
                      bytes[15]);
        canonical = mapped;
        return true;
    }
    canonical = Ipv6AddressText(bytes);
    return true;
}

std::string AddressFileStem(std::string address) {
    std::replace(address.begin(), address.end(), '.', '_');
    std::replace(address.begin(), address.end(), ':', '-');
    return address;
}
