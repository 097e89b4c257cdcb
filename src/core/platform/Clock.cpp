#include "core/platform/Clock.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::size_t kTimeLength = 15; // "Mar 05 09:05:03"

bool ToLocalTime(std::time_t when, std::tm& out) {
#ifdef _WIN32
    return localtime_s(&out, &when) == 0;
#else
    return localtime_r(&when, &out) != nullptr;
#endif
}
} // namespace

void RefreshTimeZone() {
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
}

bool ToLocalParts(std::time_t when, std::tm& parts) {
    return ToLocalTime(when, parts);
}

bool ToUtcParts(std::time_t when, std::tm& parts) {
#ifdef _WIN32
    return gmtime_s(&parts, &when) == 0;
#else
    return gmtime_r(&when, &parts) != nullptr;
#endif
}

std::time_t FromUtcParts(std::tm& parts) {
#ifdef _WIN32
    return _mkgmtime(&parts);
#else
    return timegm(&parts);
#endif
}

std::size_t FormatSyslogTime(std::time_t when, char* out, std::size_t size) {
    if (size == 0)
        return 0;
    out[0] = '\0';
    // Messages arrive many to a second: the text only changes once a second.
    thread_local std::time_t cachedWhen = -1;
    thread_local char cached[32] = "";
    if (when != cachedWhen || cached[0] == '\0') {
        std::tm local{};
        if (!ToLocalTime(when, local) || local.tm_mon < 0 || local.tm_mon > 11)
            return 0;
        const auto two = [](int v) { return static_cast<unsigned>(v) % 100u; };
        std::snprintf(cached, sizeof cached, "%s %02u %02u:%02u:%02u", kMonths[local.tm_mon],
                      two(local.tm_mday), two(local.tm_hour), two(local.tm_min), two(local.tm_sec));
        cachedWhen = when;
    }
    if (size <= kTimeLength)
        return 0;
    std::memcpy(out, cached, kTimeLength + 1);
    return kTimeLength;
}
