#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/transport/FrameDecoder.h"

namespace {
using namespace std::string_literals;
using Messages = std::vector<std::string>;

struct Decoded {
    Messages messages;
    FrameDecoder::Result result = FrameDecoder::Result::kGoOn;
};

// Feeds `stream` in pieces cut at `cuts` (ascending offsets), then ends it when `close`.
Decoded Decode(const std::string& stream, const std::vector<std::size_t>& cuts,
               std::size_t maxMessage = 8192, bool close = true) {
    FrameDecoder decoder(maxMessage);
    Decoded decoded;
    const auto keep = [&decoded](const std::string& message) {
        decoded.messages.push_back(message);
        return true;
    };
    std::size_t start = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(stream.size());
    for (const std::size_t end : ends) {
        decoded.result = decoder.Feed(std::string_view(stream).substr(start, end - start), keep);
        if (decoded.result != FrameDecoder::Result::kGoOn)
            return decoded;
        start = end;
    }
    if (close)
        decoder.Finish(keep);
    return decoded;
}

Decoded DecodeWhole(const std::string& stream, std::size_t maxMessage = 8192) {
    return Decode(stream, {}, maxMessage);
}

struct FramingCase {
    const char* name;
    std::string stream;
    Messages want;
    FrameDecoder::Result result = FrameDecoder::Result::kGoOn;
    std::size_t maxMessage = 8192;
};

const std::string kKiB(1024, 'x');

const FramingCase kCases[] = {
    {"line feed", "<13>one\n<13>two\n", {"<13>one", "<13>two"}},
    {"CR LF: the CR is not kept", "<13>one\r\n", {"<13>one"}},
    {"CR elsewhere stays", "<13>a\rb\r\r\n", {"<13>a\rb\r"}},
    {"NUL ends a frame (Python's SysLogHandler)", "<14>py\0<14>py2\0"s, {"<14>py", "<14>py2"}},
    {"CR before NUL stays", "<14>py\r\0"s, {"<14>py\r"}},
    {"octet counted", "7 <13>one3 abc", {"<13>one", "abc"}},
    {"octet counted holds LF, CR and NUL", "10 <13>a\nb\r\0c"s, {"<13>a\nb\r\0c"s}},
    {"framings mixed per frame", "3 abc<13>line\n2 de", {"abc", "<13>line", "de"}},
    {"empty frames yield nothing", "\n\r\n\0\n"s, {}},
    {"a frame starting with 0 is line framed", "0 zero\n", {"0 zero"}},
    {"length of ten digits", "1000000000 ab", {"ab"}},
    {"digits not followed by SP",
     "<13>ok\n12x<13>lost\n",
     {"<13>ok"},
     FrameDecoder::Result::kFramingError},
    {"eleven digits", "<13>ok\n12345678901 x", {"<13>ok"}, FrameDecoder::Result::kFramingError},
    {"close in a line frame", "<13>one\n<13>tw", {"<13>one", "<13>tw"}},
    {"close in a counted frame", "10 abc", {"abc"}},
    {"close after the length's blank", "10 ", {}},
    {"close in the length", "12", {}},
    {"line frame over the maximum",
     "abcdefgh\nxy\n",
     {"abcd", "xy"},
     FrameDecoder::Result::kGoOn,
     4},
    {"counted frame over the maximum",
     "8 abcdefgh2 xy",
     {"abcd", "xy"},
     FrameDecoder::Result::kGoOn,
     4},
    {"a CR past the maximum is dropped with the rest",
     "abcd\r\n",
     {"abcd"},
     FrameDecoder::Result::kGoOn,
     4},
    {"a CR just before LF at the maximum is the line end",
     "abc\r\n",
     {"abc"},
     FrameDecoder::Result::kGoOn,
     4},
    {"a kept CR before dropped bytes stays",
     "abc\rde\n",
     {"abc\r"},
     FrameDecoder::Result::kGoOn,
     4},
    {"UDP's 1024 bytes do not cut TCP messages", kKiB + kKiB + "\n", {kKiB + kKiB}},
};

class FramingTest : public testing::TestWithParam<FramingCase> {};

TEST_P(FramingTest, WholeStream) {
    const FramingCase& c = GetParam();
    const Decoded decoded = DecodeWhole(c.stream, c.maxMessage);
    EXPECT_EQ(decoded.messages, c.want);
    EXPECT_EQ(decoded.result, c.result);
}

// The same stream cut once at every offset, and byte by byte, gives the same messages.
TEST_P(FramingTest, EverySplitPoint) {
    const FramingCase& c = GetParam();
    for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
        const Decoded decoded = Decode(c.stream, {cut}, c.maxMessage);
        EXPECT_EQ(decoded.messages, c.want) << "cut at " << cut;
        EXPECT_EQ(decoded.result, c.result) << "cut at " << cut;
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < c.stream.size(); ++i)
        everyByte.push_back(i);
    const Decoded decoded = Decode(c.stream, everyByte, c.maxMessage);
    EXPECT_EQ(decoded.messages, c.want) << "byte by byte";
    EXPECT_EQ(decoded.result, c.result) << "byte by byte";
}

INSTANTIATE_TEST_SUITE_P(Frames, FramingTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FramingCase>& info) {
                             std::string name;
                             for (const char c : std::string(info.param.name))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name + "_" + std::to_string(info.index);
                         });

// Three frames of both kinds, cut into three pieces at every pair of offsets.
TEST(Framing, ThreeFramesAtEveryPairOfSplitPoints) {
    const std::string stream = "<13>first\r\n11 <13>second\n<14>third\0"s;
    const Messages want = {"<13>first", "<13>second\n", "<14>third"};
    for (std::size_t a = 0; a <= stream.size(); ++a)
        for (std::size_t b = a; b <= stream.size(); ++b)
            ASSERT_EQ(Decode(stream, {a, b}).messages, want) << a << ", " << b;
}

TEST(Framing, MessagesBeforeAFramingErrorInTheSameReadAreDelivered) {
    const Decoded decoded = Decode("3 abc<13>x\n9z", {}, 8192, false);
    EXPECT_EQ(decoded.messages, (Messages{"abc", "<13>x"}));
    EXPECT_EQ(decoded.result, FrameDecoder::Result::kFramingError);
}

TEST(Framing, AHandlerThatRefusesStopsTheStream) {
    FrameDecoder decoder(8192);
    Messages seen;
    const auto result = decoder.Feed("a\nb\nc\n", [&seen](const std::string& message) {
        seen.push_back(message);
        return message != "b";
    });
    EXPECT_EQ(result, FrameDecoder::Result::kStopped);
    EXPECT_EQ(seen, (Messages{"a", "b"}));
}

// A huge octet count is only counted down: nothing of its size is held.
TEST(Framing, AHugeCountedFrameIsDroppedAsItComes) {
    FrameDecoder decoder(1024);
    Messages seen;
    const auto keep = [&seen](const std::string& message) {
        seen.push_back(message);
        return true;
    };
    ASSERT_EQ(decoder.Feed("9999999999 ", keep), FrameDecoder::Result::kGoOn);
    const std::string piece(64 * 1024, 'y');
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(decoder.Feed(piece, keep), FrameDecoder::Result::kGoOn);
    decoder.Finish(keep);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::string(1024, 'y'));
}
} // namespace
