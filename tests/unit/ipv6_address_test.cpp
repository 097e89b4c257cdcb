#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/platform/AddressText.h"
#include "core/reception/AddressList.h"
#include "core/reception/PermittedAddresses.h"
#include "core/reception/SyslogRecord.h"
#include "core/storage/LogFileSet.h"

namespace {
struct Spelling {
    const char* text;
    const char* canonical; // null: not an IPv6 address
};

// Canonical form: lower case, no leading zeros, the longest zero run (the first of equal
// ones, and only of two groups or more) as "::".
const Spelling kSpellings[] = {
    {"2001:db8::1", "2001:db8::1"},
    {"2001:0DB8:0000:0000:0000:0000:0000:0001", "2001:db8::1"},
    {"0:0:0:0:0:0:0:1", "::1"},
    {"::", "::"},
    {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},
    {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
    {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},
    {"FE80::1", "fe80::1"},
    {"1:2:3:4:5:6:7:0", "1:2:3:4:5:6:7:0"},
    {"1:0:0:0:0:0:0:0", "1::"},
    {"::ffff:10.1.1.1", "::ffff:10.1.1.1"},
    {"10.1.1.1", nullptr},
    {"2001:db8::1 ", nullptr},
    {" ::1", nullptr},
    {"2001:db8::g", nullptr},
    {"1:2:3:4:5:6:7:8:9", nullptr},
    {"fe80::1%eth0", nullptr},
    {"", nullptr},
};

TEST(Ipv6Text, EverySpellingGivesTheCanonicalForm) {
    for (const Spelling& spelling : kSpellings) {
        std::string canonical = "untouched";
        const bool isIpv6 = CanonicalIpv6Text(spelling.text, canonical);
        EXPECT_EQ(isIpv6, spelling.canonical != nullptr) << spelling.text;
        EXPECT_EQ(canonical, spelling.canonical ? spelling.canonical : "untouched")
            << spelling.text;
    }
}

TEST(Ipv6Text, AnIpv4MappedSenderIsWrittenAsIpv4) {
    const unsigned char mapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 1, 1, 1};
    EXPECT_EQ(Ipv6AddressText(mapped), "10.1.1.1");
}

TEST(Ipv6Text, FileStemsHoldNoColons) {
    EXPECT_EQ(AddressFileStem("2001:db8::1"), "2001-db8--1");
    EXPECT_EQ(AddressFileStem("10.1.1.1"), "10_1_1_1");
}

// An IPv6 line admits its address however it is spelled; IPv4 lines stay exact.
TEST(Ipv6Filter, LinesMatchIpv6SendersByAddress) {
    PermittedAddresses list;
    list = {"0:0:0:0:0:0:0:1", "2001:DB8::A", "010.001.001.001", "fe80::1 "};
    EXPECT_TRUE(list.Contains("::1"));
    EXPECT_TRUE(list.Contains("2001:db8::a"));
    EXPECT_FALSE(list.Contains("2001:db8::b"));
    EXPECT_FALSE(list.Contains("10.1.1.1"));
    EXPECT_FALSE(list.Contains("fe80::1"));
    list.clear();
    list.push_back("::1");
    EXPECT_TRUE(list.Contains("::1"));
    EXPECT_FALSE(list.Contains("::2"));
}

TEST(Ipv6Filter, WrittenListHoldsIpv6LinesInCanonicalForm) {
    TempDir dir;
    const std::string path = dir.FilePath("ipaddr.flt");
    ASSERT_TRUE(WriteAddressList(path, "10.1.1.1\r\n2001:0DB8::0001\r\n 010.1.1.1\r\nfe80::1 "));
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes, "10.1.1.1\r\n2001:db8::1\r\n 010.1.1.1\r\nfe80::1 \r\n");
}

// The per-address file of a listed IPv6 address is the one its sender's messages name.
TEST(Ipv6Logs, ListedAndSendingAddressesNameTheSameFile) {
    const std::vector<std::string> stems = AddressLogStems({"2001:DB8:0:0::1", "10.1.1.1"});
    EXPECT_EQ(stems, (std::vector<std::string>{"2001-db8--1", "10_1_1_1"}));
    SyslogRecord record;
    record.sourceAddress = "2001:db8::1";
    EXPECT_EQ(LogFileNameFor(record, 3), "2001-db8--1.log");
}
} // namespace
