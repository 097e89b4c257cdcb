#include "core/reception/Decode.h"

#include <cstring>

#include "core/platform/CLocaleAtoi.h"
#include "core/platform/Clock.h"
#include "core/reception/NameTables.h"

namespace {
constexpr int kFacilityMask = 0x3F8;
constexpr int kSeverityMask = 0x7;
} // namespace

void DecodeDatagram(const char* datagram, const char* address, std::time_t receivedAt,
                    ReceiveTimeText& time, SyslogRecord& record) {
    FormatSyslogTime(receivedAt, time.text, sizeof time.text);
    record.receiveTime = time.text;
    record.receivedAt = receivedAt;
    record.sourceAddress = address;
    record.receivedText = datagram;

    const char* open = std::strchr(datagram, '<');
    const char* close = std::strchr(datagram, '>');
    if (open && close) {
        // The priority text runs from after "<" up to and including ">", which stops the
        // conversion, so converting in place gives the same number. A ">" before the
        // "<" leaves the priority text empty.
        const int priority = close > open ? CLocaleAtoi(open + 1) : 0;
        record.facilityName = LookupName(FacilityNameTable, priority & kFacilityMask);
        record.severity = priority & kSeverityMask;
        record.severityName = LookupName(SeverityNameTable, record.severity);
        record.priority = priority;
    } else {
        record.facilityName = "user";
        record.severityName = "info";
        record.severity = 6;
        record.priority = 14;
    }
    record.messageText = close ? close + 1 : datagram;
}
