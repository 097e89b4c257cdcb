// FrameDecoder on any TCP stream, whole and cut in two at a point the input chooses: both
// give the same messages and the same end, no message is empty or longer than the maximum,
// and a message never holds more bytes than the stream.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/transport/FrameDecoder.h"
#include "fuzz_support.h"

namespace {
struct Outcome {
    std::vector<std::string> messages;
    FrameDecoder::Result result = FrameDecoder::Result::kGoOn;
};

Outcome Decode(std::string_view stream, std::size_t cut, std::size_t maxMessage) {
    FrameDecoder decoder(maxMessage);
    Outcome outcome;
    const auto keep = [&outcome](const std::string& message) {
        outcome.messages.push_back(message);
        return true;
    };
    outcome.result = decoder.Feed(stream.substr(0, cut), keep);
    if (outcome.result == FrameDecoder::Result::kGoOn)
        outcome.result = decoder.Feed(stream.substr(cut), keep);
    if (outcome.result == FrameDecoder::Result::kGoOn)
        decoder.Finish(keep);
    return outcome;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first two bytes choose the maximum (small, so it is often met) and the cut.
    const std::size_t maxMessage = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t cut = stream.empty() ? 0 : data[1] % (stream.size() + 1);

    const Outcome whole = Decode(stream, stream.size(), maxMessage);
    const Outcome split = Decode(stream, cut, maxMessage);
    FUZZ_CHECK(whole.messages == split.messages);
    FUZZ_CHECK(whole.result == split.result);
    std::size_t total = 0;
    for (const std::string& message : whole.messages) {
        FUZZ_CHECK(!message.empty());
        FUZZ_CHECK(message.size() <= maxMessage);
        total += message.size();
    }
    FUZZ_CHECK(total <= stream.size());
    return 0;
}
