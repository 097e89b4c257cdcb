// DecodeDatagram on any datagram and any moment of receipt: every datagram yields a
// record with a severity name from the table, a facility name from the table or none,
// a message text that is the rest of the datagram, and a receive time that is either
// empty or the 15 characters of "%b %d %H:%M:%S".
#include <cstdint>
#include <cstring>
#include <ctime>

#include "fuzz_support.h"
#include "core/reception/Decode.h"
#include "core/reception/NameTables.h"

namespace {
constexpr std::size_t kReadLimit = 1024;

bool InTable(const SyslogName* table, const char* name) {
    for (const SyslogName* row = table; row->name; ++row)
        if (std::strcmp(row->name, name) == 0)
            return true;
    return false;
}

// The moment of receipt comes from the input's first bytes, so the fuzzer also tries
// times far outside what the clock gives (negative, beyond the year 9999).
std::time_t TakeTime(const std::uint8_t*& data, std::size_t& size) {
    std::int64_t when = 1700000000;
    if (size >= sizeof when) {
        std::memcpy(&when, data, sizeof when);
        data += sizeof when;
        size -= sizeof when;
    }
    return static_cast<std::time_t>(when);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::time_t when = TakeTime(data, size);
    // As the receive handler reads it: a zero-filled buffer, at most 1024 bytes of it.
    char buffer[kReadLimit + 1] = {};
    std::memcpy(buffer, data, size < kReadLimit ? size : kReadLimit);
    ReceiveTimeText time;
    SyslogRecord record;
    DecodeDatagram(buffer, "10.1.1.1", when, time, record);

    FUZZ_CHECK(record.severityName != nullptr);
    FUZZ_CHECK(InTable(SeverityNameTable, record.severityName));
    FUZZ_CHECK(record.facilityName == nullptr || InTable(FacilityNameTable, record.facilityName));
    FUZZ_CHECK(std::strcmp(record.sourceAddress, "10.1.1.1") == 0);

    const std::size_t length = std::strlen(buffer);
    const char* close = std::strchr(buffer, '>');
    FUZZ_CHECK(record.messageText == (close ? close + 1 : buffer));
    FUZZ_CHECK(record.messageText >= buffer && record.messageText <= buffer + length);
    if (!std::strchr(buffer, '<') || !close) {
        FUZZ_CHECK(record.facilityName && std::strcmp(record.facilityName, "user") == 0);
        FUZZ_CHECK(std::strcmp(record.severityName, "info") == 0);
    }

    const std::size_t timeLength = std::strlen(record.receiveTime);
    FUZZ_CHECK(record.receiveTime == time.text);
    FUZZ_CHECK(timeLength == 0 || timeLength == 15);
    if (timeLength == 15)
        FUZZ_CHECK(record.receiveTime[3] == ' ' && record.receiveTime[6] == ' ' &&
                   record.receiveTime[9] == ':' && record.receiveTime[12] == ':');
    return 0;
}
