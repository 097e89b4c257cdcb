#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/fields/MessageFields.h"

namespace {

// What a parse must give; an empty field is one the message lacks.
struct FieldsCase {
    const char* name;
    std::string text; // after the priority
    HeaderFormat format;
    std::string sent, host, app, pid, msgid, sd, message;
};

void PrintTo(const FieldsCase& c, std::ostream* os) {
    *os << c.name;
}

// The text in a heap block of exactly its size, so reading past its end is caught by ASan.
struct ExactCopy {
    explicit ExactCopy(std::string_view text)
        : bytes(std::make_unique<char[]>(text.size())), view(bytes.get(), text.size()) {
        std::memcpy(bytes.get(), text.data(), text.size());
    }
    std::unique_ptr<char[]> bytes;
    std::string_view view;
};

bool Inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

// A text that fits no header: no fields, the whole text as the message.
FieldsCase Neither(const char* name, const std::string& text) {
    return {name, text, HeaderFormat::None, "", "", "", "", "", "", text};
}

const std::string kBom = "\xEF\xBB\xBF";
const std::string kSd = R"([exampleSDID@32473 iut="3" eventSource="Application" eventID="1011"])";

class FieldsTable : public ::testing::TestWithParam<FieldsCase> {};

TEST_P(FieldsTable, ReadsEachField) {
    const FieldsCase& c = GetParam();
    const ExactCopy copy(c.text);
    const MessageFields f = ParseMessageFields(copy.view);
    EXPECT_EQ(f.format, c.format);
    EXPECT_EQ(f.sent.text, c.sent);
    EXPECT_EQ(f.host, c.host);
    EXPECT_EQ(f.app, c.app);
    EXPECT_EQ(f.pid, c.pid);
    EXPECT_EQ(f.msgid, c.msgid);
    EXPECT_EQ(f.sd, c.sd);
    EXPECT_EQ(f.message, c.message);
    for (std::string_view part : {f.sent.text, f.host, f.app, f.pid, f.msgid, f.sd, f.message})
        EXPECT_TRUE(Inside(part, copy.view));
}

using F = HeaderFormat;
INSTANTIATE_TEST_SUITE_P(
    Formats, FieldsTable,
    ::testing::Values(
        // RFC 5424's own examples.
        FieldsCase{"Rfc5424Su",
                   "1 2003-10-11T22:14:15.003Z mymachine.example.com su - ID47 - " + kBom +
                       "'su root' failed for lonvick on /dev/pts/8",
                   F::Rfc5424, "2003-10-11T22:14:15.003Z", "mymachine.example.com", "su", "",
                   "ID47", "", "'su root' failed for lonvick on /dev/pts/8"},
        FieldsCase{"Rfc5424Donuts",
                   "1 2003-08-24T05:14:15.000003-07:00 192.0.2.1 myproc 8710 - - %% It's time",
                   F::Rfc5424, "2003-08-24T05:14:15.000003-07:00", "192.0.2.1", "myproc", "8710",
                   "", "", "%% It's time"},
        FieldsCase{"Rfc5424Sd",
                   "1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog - ID47 " + kSd + " " +
                       kBom + "An application event log entry...",
                   F::Rfc5424, "2003-10-11T22:14:15.003Z", "mymachine.example.com", "evntslog", "",
                   "ID47", kSd, "An application event log entry..."},
        FieldsCase{"Rfc5424TwoSdNoMsg",
                   "1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog - ID47 " + kSd +
                       "[examplePriority@32473 class=\"high\"]",
                   F::Rfc5424, "2003-10-11T22:14:15.003Z", "mymachine.example.com", "evntslog", "",
                   "ID47", kSd + "[examplePriority@32473 class=\"high\"]", ""},
        FieldsCase{"EveryFieldNil", "1 - - - - - -", F::Rfc5424, "", "", "", "", "", "", ""},
        FieldsCase{"NilWithEmptyMsg", "1 - - - - - - ", F::Rfc5424, "", "", "", "", "", "", ""},
        FieldsCase{"EscapesInSd", R"(1 - h a 7 m [x@1 a="q\"b\\c\]d" b=""] text)", F::Rfc5424, "",
                   "h", "a", "7", "m", R"([x@1 a="q\"b\\c\]d" b=""])", "text"},
        FieldsCase{"BomOnlyOnce", "1 - h a - - - " + kBom + kBom + "x", F::Rfc5424, "", "h", "a",
                   "", "", "", kBom + "x"},
        FieldsCase{"PlusOffset", "1 2000-02-29T05:30:00+05:30 h - - - -", F::Rfc5424,
                   "2000-02-29T05:30:00+05:30", "h", "", "", "", "", ""},
        FieldsCase{"Longest",
                   "1 - " + std::string(255, 'h') + " " + std::string(48, 'a') + " " +
                       std::string(128, 'p') + " " + std::string(32, 'm') + " - x",
                   F::Rfc5424, "", std::string(255, 'h'), std::string(48, 'a'),
                   std::string(128, 'p'), std::string(32, 'm'), "", "x"},
        // BSD, RFC 3164 and its variants.
        FieldsCase{"Bsd", "Oct 11 22:14:15 mymachine su: 'su root' failed", F::Bsd,
                   "Oct 11 22:14:15", "mymachine", "su", "", "", "", "'su root' failed"},
        FieldsCase{"BsdPaddedDayPid", "Mar  5 09:05:03 web-3 sshd[1234]: Accepted key", F::Bsd,
                   "Mar  5 09:05:03", "web-3", "sshd", "1234", "", "", "Accepted key"},
        FieldsCase{"BsdNoHost", "Mar  5 09:05:03 sshd[1234]: Accepted", F::Bsd, "Mar  5 09:05:03",
                   "", "sshd", "1234", "", "", "Accepted"},
        FieldsCase{"BsdNoHostNoPid", "Mar 15 09:05:03 kernel: eth0 up", F::Bsd, "Mar 15 09:05:03",
                   "", "kernel", "", "", "", "eth0 up"},
        FieldsCase{"BsdYear", "Mar  5 2024 09:05:03 host CRON[9]: job", F::Bsd,
                   "Mar  5 2024 09:05:03", "host", "CRON", "9", "", "", "job"},
        FieldsCase{"BsdYearAfter", "Mar  5 09:05:03 2024 host app: x", F::Bsd,
                   "Mar  5 09:05:03 2024", "host", "app", "", "", "", "x"},
        FieldsCase{"BsdFraction", "Mar  5 09:05:03.123456 host app: x", F::Bsd,
                   "Mar  5 09:05:03.123456", "host", "app", "", "", "", "x"},
        FieldsCase{"BsdNoTag", "Mar  5 09:05:03 host just some text", F::Bsd, "Mar  5 09:05:03",
                   "host", "", "", "", "", "just some text"},
        FieldsCase{"Cisco", "123: *Mar  1 18:46:11.123: %SYS-5-CONFIG_I: Configured from console",
                   F::Bsd, "Mar  1 18:46:11.123", "", "SYS-5-CONFIG_I", "", "", "",
                   "Configured from console"},
        FieldsCase{"CiscoNoSeq", ".Mar 12 08:00:01: %LINK-3-UPDOWN: Interface up", F::Bsd,
                   "Mar 12 08:00:01", "", "LINK-3-UPDOWN", "", "", "", "Interface up"},
        FieldsCase{"OverlongTag", "Mar  5 09:05:03 host " + std::string(49, 't') + ": x", F::Bsd,
                   "Mar  5 09:05:03", "host", "", "", "", "", std::string(49, 't') + ": x"},
        // Neither: the whole text, no fields.
        Neither("Empty", ""), Neither("PlainText", "hello world"),
        Neither("TruncatedRfc5424", "1 2003-10-11T22:14:15Z host app"),
        Neither("BadMonth", "1 2003-13-11T22:14:15Z h a p m -"),
        Neither("SevenFractionDigits", "1 2003-10-11T22:14:15.0000001Z h a p m -"),
        Neither("NoOffset", "1 2003-10-11T22:14:15 h a p m -"),
        Neither("OpenSd", R"(1 - h a p m [x a="b\"])"), Neither("SdWithoutBlank", "1 - h a p m -x"),
        Neither("OverlongHost", "1 - " + std::string(256, 'h') + " a p m -"),
        Neither("OverlongMsgId", "1 - h a p " + std::string(33, 'm') + " -"),
        Neither("DayZero", "Mar  0 09:05:03 host app: x"),
        Neither("HourOutOfRange", "Mar  5 24:05:03 host app: x")),
    [](const auto& info) { return std::string(info.param.name); });

struct TimeCase {
    std::string text;
    std::int64_t utcSeconds;
    std::string fraction;
};

void PrintTo(const TimeCase& c, std::ostream* os) {
    *os << c.text;
}

class SentTimeTable : public ::testing::TestWithParam<TimeCase> {};

TEST_P(SentTimeTable, CountsTheOffset) {
    const std::string message = "1 " + GetParam().text + " h a - - -"; // the fields view it
    const MessageFields f = ParseMessageFields(message);
    ASSERT_EQ(f.format, HeaderFormat::Rfc5424);
    EXPECT_TRUE(f.sent.hasOffset);
    EXPECT_EQ(f.sent.utcSeconds, GetParam().utcSeconds);
    EXPECT_EQ(f.sent.fraction, GetParam().fraction);
}

INSTANTIATE_TEST_SUITE_P(Offsets, SentTimeTable,
                         ::testing::Values(TimeCase{"2003-10-11T22:14:15.003Z", 1065910455, "003"},
                                           TimeCase{"2003-08-24T05:14:15.000003-07:00", 1061727255,
                                                    "000003"},
                                           TimeCase{"2000-02-29T05:30:00+05:30", 951782400, ""},
                                           TimeCase{"1985-04-12T23:20:50.52Z", 482196050, "52"},
                                           TimeCase{"1970-01-01T00:00:00Z", 0, ""}));

TEST(MessageFields, BsdTimeHasNoOffset) {
    EXPECT_FALSE(ParseMessageFields("Mar  5 09:05:03 host app: x").sent.hasOffset);
}

// Every prefix of a message cut anywhere, in a block of exactly its size: never a read past
// its end (ASan), and every field a piece of it.
TEST(MessageFields, EveryTruncationStaysInside) {
    const std::string messages[] = {"1 2003-08-24T05:14:15.000003-07:00 192.0.2.1 myproc 8710 ID " +
                                        kSd + " " + kBom + "m",
                                    R"(1 - h a p m [x@1 a="q\"b\\c\]d"][y b="1"] x)",
                                    "123: *Mar  1 18:46:11.123: %SYS-5-CONFIG_I: Configured",
                                    "Mar  5 2024 09:05:03.5 2024 web-3 sshd[1234]: Accepted"};
    for (const std::string& message : messages) {
        for (std::size_t length = 0; length <= message.size(); ++length) {
            const ExactCopy copy(std::string_view(message).substr(0, length));
            const MessageFields f = ParseMessageFields(copy.view);
            for (std::string_view part : {f.sent.text, f.host, f.app, f.pid, f.msgid, f.sd})
                EXPECT_TRUE(Inside(part, copy.view)) << length;
            EXPECT_TRUE(copy.view.ends_with(f.message)) << length;
        }
    }
}

} // namespace
