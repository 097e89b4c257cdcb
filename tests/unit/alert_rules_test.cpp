#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

#include "AlertProgramSupport.h"
#include "TempDir.h"
#include "core/alerts/AlertDispatcher.h"
#include "core/alerts/AlertMatcher.h"
#include "core/alerts/AlertsFile.h"
#include "core/alerts/Placeholders.h"

namespace {

struct MatchCase {
    const char* name;
    AlertCondition condition;
    std::string datagram;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.name;
}

AlertCondition Text(std::string text, bool regex = false) {
    AlertCondition c;
    c.text = std::move(text);
    c.textIsRegex = regex;
    return c;
}

AlertCondition Severity(int minimum) {
    AlertCondition c;
    c.minimumSeverity = minimum;
    return c;
}

AlertCondition Facilities(std::uint32_t bits) {
    AlertCondition c;
    c.facilities = bits;
    return c;
}

AlertCondition Sender(std::string address) {
    AlertCondition c;
    c.address = std::move(address);
    return c;
}

AlertCondition HostApp(std::string host, std::string app) {
    AlertCondition c;
    c.host = std::move(host);
    c.app = std::move(app);
    return c;
}

const MatchCase kMatchCases[] = {
    {"empty condition matches all", {}, "<191>anything", true},
    {"severity at the minimum", Severity(3), "<11>x", true},
    {"severity above the minimum", Severity(3), "<8>x", true},
    {"severity below the minimum", Severity(3), "<12>x", false},
    {"no priority counts as user.info", Severity(6), "plain", true},
    {"facility in the set", Facilities(1u << 2 | 1u << 4), "<34>x", true},
    {"facility outside the set", Facilities(1u << 2), "<13>x", false},
    {"facility without a name is outside any set", Facilities(0xFFFFFFu), "<200>x", false},
    {"sender by first parts", Sender("10.1."), "<13>x", true},
    {"sender typed without the dot", Sender("10.1"), "<13>x", true},
    {"sender part must end at a dot", Sender("10.12"), "<13>x", false},
    {"whole sender", Sender("10.1.2.3"), "<13>x", true},
    {"other sender", Sender("10.1.2.4"), "<13>x", false},
    {"host and app from the header", HostApp("WEB", "nginx"),
     "<13>Mar  5 09:05:03 web01 nginx[12]: up", true},
    {"app differs", HostApp("web", "sshd"), "<13>Mar  5 09:05:03 web01 nginx[12]: up", false},
    {"message without a header has no host", HostApp("web", ""), "<13>just text", false},
    {"contains, letter case aside", Text("DISK full"), "<13>disk FULL on /var", true},
    {"contains across a line break as a blank", Text("disk full"), "<13>disk\nfull", true},
    {"does not contain", Text("disk full"), "<13>disk is fine", false},
    {"regex matches", Text("disk (full|error) on /[a-z]+", true), "<13>disk error on /var", true},
    {"regex prefilter literal present, regex fails", Text("error [0-9]+", true), "<13>error x",
     false},
    {"regex with optional literal char", Text("colou?r", true), "<13>color", true},
    {"regex alternative at the top", Text("^fatal|panic$", true), "<13>kernel panic", true},
    {"regex is case sensitive", Text("Panic", true), "<13>panic", false},
    {"regex literal upper case, across a line break", Text("Disk\nFULL", true), "<13>x Disk\nFULL",
     true},
    {"text whose byte pairs are all there but not in order", Text("abcab"), "<13>cabc ab", false},
    {"regex escape", Text(R"(a\.b)", true), "<13>axb a.b", true},
    {"all parts must match",
     [] {
         AlertCondition c = Text("fail");
         c.minimumSeverity = 3;
         return c;
     }(),
     "<14>fail", false},
};

class AlertMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(AlertMatchTest, Matches) {
    const MatchCase& c = GetParam();
    std::string error;
    const auto matcher = AlertMatcher::Compile(c.condition, error);
    ASSERT_TRUE(matcher) << error;
    Decoded message(c.datagram);
    AlertMessage subject(message.record);
    EXPECT_EQ(matcher->Matches(subject), c.matches);
}

INSTANTIATE_TEST_SUITE_P(Table, AlertMatchTest, ::testing::ValuesIn(kMatchCases));

// The literal looked for first never turns away a text the expression matches.
TEST(AlertMatcher, PrefilterAgreesWithTheExpression) {
    const char* patterns[] = {"ab+c",  "x{2}yz", "(ab)?cd", "a[bc]d",   "a\\d+b", "error.*disk",
                              "a|bcd", "ab?cd",  "^abc$",   "(a|b)cde", "ab*c"};
    const char* texts[] = {"abc",  "abbc",          "ac",  "xxyz", "xyz",  "cd",   "abcd", "acd",
                           "a12b", "error on disk", "bcd", "abcd", "acde", "bcde", "abbbc"};
    for (const char* pattern : patterns) {
        std::string error;
        const auto matcher = AlertMatcher::Compile(Text(pattern, true), error);
        ASSERT_TRUE(matcher) << pattern;
        for (const char* text : texts) {
            Decoded message(std::string("<13>") + text);
            AlertMessage subject(message.record);
            EXPECT_EQ(matcher->Matches(subject), std::regex_search(text, std::regex(pattern)))
                << pattern << " on " << text;
        }
    }
}

TEST(AlertMatcher, BadRegexIsRefusedWithItsReason) {
    for (const char* pattern : {"(unclosed", "[z-a]", "a{2,1}", "*start"}) {
        std::string error;
        EXPECT_FALSE(AlertMatcher::Compile(Text(pattern, true), error)) << pattern;
        EXPECT_FALSE(error.empty()) << pattern;
    }
}

// Patterns that make a backtracking matcher take exponential time or recurse per character,
// on a message of a megabyte: the expression sees its first 64 KiB, in one pass.
TEST(AlertMatcher, LongMessagesAgainstBacktrackingPatterns) {
    std::string text = "<13>" + std::string(1 << 20, 'a');
    text[4 + 65535] = 'x';
    const std::pair<const char*, bool> patterns[] = {
        {"(a+)+y", false}, {"(a|b)*(c|d)", false}, {"a*x", true}, {"(a|aa)+x", true}};
    for (const auto& [pattern, matches] : patterns) {
        std::string error;
        const auto matcher = AlertMatcher::Compile(Text(pattern, true), error);
        ASSERT_TRUE(matcher) << pattern;
        Decoded message(text);
        AlertMessage subject(message.record);
        EXPECT_EQ(matcher->Matches(subject), matches) << pattern;
    }
}

TEST(Placeholders, ValuesAreNeverReadAgain) {
    AlertValues values;
    values.message = "a %message% b %host% \"q\" ; $(id)";
    values.host = "%app%";
    values.app = "nginx";
    values.severity = "err";
    EXPECT_EQ(ExpandPlaceholders("%message%", values), values.message);
    EXPECT_EQ(ExpandPlaceholders("[%host%|%app%|%severity%|%unknown%|%]", values),
              "[%app%|nginx|err|%unknown%|%]");
}

// A dispatcher on a clock the test moves.
struct ThrottledRule : ::testing::Test {
    std::chrono::steady_clock::time_point now{};
    std::vector<std::string> lines;
    AlertDispatcher dispatcher{nullptr, [this] { return now; }};

    void SetUp() override {
        AlertRule rule;
        rule.name = "disk";
        rule.condition = Text("disk");
        rule.actions.highlight = true;
        dispatcher.SetRules({rule});
        dispatcher.SetListener([this](const Alert& alert) { lines.push_back(AlertLine(alert)); });
    }
    bool Send(const char* text) {
        Decoded message(text);
        return dispatcher.Deliver(message.record).highlight;
    }
};

TEST_F(ThrottledRule, OneAlertPerIntervalThenTheCountHeldBack) {
    EXPECT_TRUE(Send("<13>disk 1"));
    now += std::chrono::seconds(30);
    EXPECT_TRUE(Send("<13>disk 2")); // held back, still highlighted
    EXPECT_TRUE(Send("<13>disk 3"));
    EXPECT_FALSE(Send("<13>other"));
    now += std::chrono::seconds(30);
    EXPECT_TRUE(Send("<13>disk 4"));
    now += std::chrono::seconds(61);
    Send("<13>disk 5");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("disk 1"), std::string::npos);
    EXPECT_EQ(lines[0].find("more"), std::string::npos);
    EXPECT_NE(lines[1].find("disk 4 (and 2 more)"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2].find("more"), std::string::npos);
}

TEST_F(ThrottledRule, DisabledRulesDoNothing) {
    AlertRule rule = dispatcher.Rules().front();
    rule.enabled = false;
    dispatcher.SetRules({rule});
    EXPECT_FALSE(Send("<13>disk"));
    EXPECT_TRUE(lines.empty());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(AlertsFile, RulesComeBackAsWritten) {
    TempDir dir;
    AlertRule full;
    full.name = "Everything set";
    full.enabled = false;
    full.condition = {3, 1u << 4 | 1u << 23, "10.1.", "web", "nginx", "a=b [x]", true};
    full.actions = {true, true, true, true, "/usr/bin/page", {"--to", "", "%message%"}};
    full.intervalSeconds = 5;
    AlertRule plain;
    plain.name = "fresh";
    const std::string path = dir.Path() + "/alerts.ini";
    ASSERT_EQ(WriteAlertsFile(path, {full, plain}), "");
    const AlertsFileContent read = ReadAlertsFile(path);
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.rules, (std::vector<AlertRule>{full, plain}));
    EXPECT_EQ(ReadAll(path).substr(0, 42), "[Alert 1]\r\nNAME = Everything set\r\nENABLED ");
    EXPECT_EQ(ReadAll(path).find("\n[Alert 2]\r\nNAME = fresh\r\nENABLED = true\r\n") !=
                  std::string::npos,
              true);
}

TEST(AlertsFile, FaultsGiveNoRulesAndTheirPlace) {
    TempDir dir;
    const std::string path = dir.Path() + "/alerts.ini";
    EXPECT_EQ(ReadAlertsFile(path).error, ""); // missing: no rules, no fault
    const std::pair<const char*, const char*> faults[] = {
        {"[Alert 1]\r\nNAME = a\r\nCOLOUR = red\r\n", "line 3: not understood: COLOUR = red"},
        {"[Alert 1]\r\nMIN_SEVERITY = loud\r\n", "line 2"},
        {"[Alert 1]\r\nFACILITIES = mail,nope\r\n", "line 2"},
        {"[Alert 1]\r\nARG2 = x\r\n", "line 2"},
        {"NAME = outside\r\n", "line 1"},
        {"[Other]\r\n", "unknown section"},
        {"[Alert 1]\r\nNAME = r\r\nTEXT = (\r\nTEXT_REGEX = true\r\n",
         "regular expression in \"r\""},
    };
    for (const auto& [text, where] : faults) {
        std::ofstream(path, std::ios::binary) << text;
        const AlertsFileContent read = ReadAlertsFile(path);
        EXPECT_NE(read.error.find(where), std::string::npos) << text << " gave " << read.error;
        EXPECT_TRUE(read.rules.empty()) << text;
    }
}

} // namespace
