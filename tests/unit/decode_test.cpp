#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <string>

#include "core/reception/Decode.h"

namespace {

struct DecodeCase {
    std::string datagram;
    const char* facility; // nullptr: no facility name
    const char* severity;
    std::string message;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << '"' << c.datagram << '"';
}

std::string FacilityText(const SyslogRecord& record) {
    return record.facilityName ? record.facilityName : "(absent)";
}

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, TakesThePriorityFieldApart) {
    const DecodeCase& c = GetParam();
    ReceiveTimeText time;
    SyslogRecord record;
    DecodeDatagram(c.datagram.c_str(), "10.1.1.1", std::time(nullptr), time, record);

    EXPECT_EQ(FacilityText(record), c.facility ? c.facility : "(absent)");
    ASSERT_NE(record.severityName, nullptr);
    EXPECT_STREQ(record.severityName, c.severity);
    ASSERT_NE(record.messageText, nullptr);
    EXPECT_EQ(std::string(record.messageText), c.message);
    EXPECT_STREQ(record.sourceAddress, "10.1.1.1");
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, DecodeTable,
    ::testing::Values(
        DecodeCase{"<34>su: failed", "auth", "crit", "su: failed"},
        DecodeCase{"<13>hello", "user", "notice", "hello"},
        DecodeCase{"<0>x", "kern", "emerg", "x"}, DecodeCase{"<191>x", "local7", "debug", "x"},
        DecodeCase{"<192>x", "mark", "emerg", "x"}, DecodeCase{"<96>x", nullptr, "emerg", "x"},
        DecodeCase{"<127>x", nullptr, "debug", "x"}, DecodeCase{"<1024>x", "kern", "emerg", "x"},
        DecodeCase{"<1035>x", "user", "err", "x"}, DecodeCase{"<-1>x", nullptr, "debug", "x"},
        DecodeCase{"<0034>x", "auth", "crit", "x"}, DecodeCase{"<+13>x", "user", "notice", "x"},
        DecodeCase{"<#5>x", "kern", "emerg", "x"}, DecodeCase{"<>x", "kern", "emerg", "x"},
        DecodeCase{"<3 4>x", "kern", "err", "x"},
        DecodeCase{"text without markers", "user", "info", "text without markers"},
        DecodeCase{"a>b", "user", "info", "b"}, DecodeCase{"a<5", "user", "info", "a<5"},
        DecodeCase{"a>b<13>c", "kern", "emerg", "b<13>c"}, DecodeCase{"<13>", "user", "notice", ""},
        // White space before the digits, and text before the "<".
        DecodeCase{"< 13>x", "user", "notice", "x"},
        DecodeCase{"<\t\n\v\f\r13>x", "user", "notice", "x"},
        DecodeCase{"host: <13>x", "user", "notice", "x"},
        DecodeCase{"< +13>x", "user", "notice", "x"},
        // Only one sign; a second one, or a blank after the sign, leaves no digits.
        DecodeCase{"<-+13>x", "kern", "emerg", "x"}, DecodeCase{"<+ 13>x", "kern", "emerg", "x"},
        // The number stops at the first non-digit; the ">" ends it at the latest.
        DecodeCase{"<13abc>x", "user", "notice", "x"},
        // Only the first ">" splits; later ones stay in the message.
        DecodeCase{"<13>a>b", "user", "notice", "a>b"},
        DecodeCase{"<13>Mar  5 09:05:03 host app[1]: text", "user", "notice",
                   "Mar  5 09:05:03 host app[1]: text"},
        // Wrap-around of the 32-bit conversion, and negatives in two's complement.
        DecodeCase{"<4294967304>x", "user", "emerg", "x"},            // 2^32 + 8 -> 8
        DecodeCase{"<4294967295>x", nullptr, "debug", "x"},           // -> -1
        DecodeCase{"<2147483648>x", "kern", "emerg", "x"},            // -> INT_MIN
        DecodeCase{"<2147483647>x", nullptr, "debug", "x"},           // 1016 | 7
        DecodeCase{"<-1000>x", "daemon", "emerg", "x"},               // -1000 & 1016 = 24
        DecodeCase{"<-8>x", nullptr, "emerg", "x"},                   // -8 & 1016 = 1016
        DecodeCase{"<-4294967304>x", nullptr, "emerg", "x"},          // -(8) after wrapping
        DecodeCase{"<99999999999999999999>x", nullptr, "debug", "x"}, // -> 1661992959
        // Empty text.
        DecodeCase{"", "user", "info", ""}));

// Facility codes in the priority number, independently of the table's own order: the
// first matching row must give the primary name ("auth", not "security").
TEST(Decode, EveryFacilityCodeGetsItsFirstName) {
    const std::array<const char*, 25> expected = {
        "kern",   "user",     "mail",   "daemon", "auth",   "syslog", "lpr",   "news",   "uucp",
        "cron",   "authpriv", "ftp",    nullptr,  nullptr,  nullptr,  nullptr, "local0", "local1",
        "local2", "local3",   "local4", "local5", "local6", "local7", "mark"};
    for (int code = 0; code < 128; ++code) {
        const std::string datagram = "<" + std::to_string(code * 8) + ">x";
        ReceiveTimeText time;
        SyslogRecord record;
        DecodeDatagram(datagram.c_str(), "", 0, time, record);
        const char* want = code < 25 ? expected[static_cast<std::size_t>(code)] : nullptr;
        EXPECT_EQ(FacilityText(record), want ? want : "(absent)") << "facility code " << code;
    }
}

TEST(Decode, EverySeverityKeyGetsItsFirstName) {
    const std::array<const char*, 8> expected = {"emerg", "alert",  "crit", "err",
                                                 "warn",  "notice", "info", "debug"};
    for (int key = 0; key < 8; ++key) {
        const std::string datagram = "<" + std::to_string(8 + key) + ">x";
        ReceiveTimeText time;
        SyslogRecord record;
        DecodeDatagram(datagram.c_str(), "", 0, time, record);
        EXPECT_STREQ(record.severityName, expected[static_cast<std::size_t>(key)]) << "key " << key;
        EXPECT_EQ(record.severity, key);
    }
}

// The receive buffer is zeroed and holds at most 1024 bytes, so the text handed over ends
// at the first zero byte or after 1024 bytes.
TEST(Decode, TextEndsAtTheReceiveBuffersFirstZero) {
    struct {
        std::string bytes;
        const char* severity;
        std::string message;
    } cases[] = {
        {std::string("<13>ab\0cd", 9), "notice", "ab"},
        {std::string("\0<13>x", 6), "info", ""},
        {std::string(1500, 'm').insert(0, "<13>"), "notice", std::string(1020, 'm')},
    };
    for (const auto& c : cases) {
        std::array<char, 1025> buffer{};
        c.bytes.copy(buffer.data(), 1024);
        ReceiveTimeText time;
        SyslogRecord record;
        DecodeDatagram(buffer.data(), "10.0.0.2", 0, time, record);
        EXPECT_STREQ(record.severityName, c.severity);
        EXPECT_EQ(std::string(record.messageText), c.message);
    }
}

TEST(Decode, TextsPointIntoTheCallersObjects) {
    const char datagram[] = "<13>hello";
    const char address[] = "192.168.0.1";
    ReceiveTimeText time;
    SyslogRecord record;
    DecodeDatagram(datagram, address, 0, time, record);
    EXPECT_EQ(record.messageText, datagram + 4);
    EXPECT_EQ(record.sourceAddress, address);
    EXPECT_EQ(record.receiveTime, time.text);
}

TEST(Decode, ReceiveTimeIsLocalTimeText) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 3;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    ASSERT_NE(when, static_cast<std::time_t>(-1));

    ReceiveTimeText time;
    SyslogRecord record;
    DecodeDatagram("<13>x", "10.1.1.1", when, time, record);
    EXPECT_STREQ(record.receiveTime, "Mar 05 09:05:03");
}

} // namespace
