#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Takes a TCP stream apart into syslog messages. Each frame chooses its own framing by its
// first byte: a digit 1 to 9 starts an octet-counted frame ("MSG-LEN SP MSG", MSG-LEN of at
// most 10 digits); anything else a frame that ends at LF or NUL, where a CR just before the
// LF is not part of the message. A message keeps at most `maxMessage` bytes; the rest of its
// frame is read and dropped without being held.
class FrameDecoder {
public:
    // Called with each message that is not empty; returns false to stop the stream there.
    using MessageHandler = std::function<bool(const std::string& message)>;
    enum class Result { kGoOn, kStopped, kFramingError };

    explicit FrameDecoder(std::size_t maxMessage) : m_maxMessage(maxMessage) {}
    void SetMaxMessage(std::size_t maxMessage) { m_maxMessage = maxMessage; }

    // Hands over every message that `bytes` completes, in order. A framing error ends the
    // decoding after the messages before it; the stream cannot be resynchronised.
    Result Feed(std::string_view bytes, const MessageHandler& deliver);
    // The stream has ended: what arrived of an unfinished frame is one message.
    void Finish(const MessageHandler& deliver);

private:
    enum class State { kFrameStart, kLength, kCounted, kTrailer };
    static constexpr int kMaxLengthDigits = 10;

    std::size_t TakeCounted(std::string_view bytes);
    std::size_t TakeTrailerFramed(std::string_view bytes, bool& ended);
    void Keep(std::string_view bytes);
    bool EndFrame(const MessageHandler& deliver);

    std::size_t m_maxMessage;
    State m_state = State::kFrameStart;
    int m_lengthDigits = 0;
    std::uint64_t m_remaining = 0; // bytes of an octet-counted message still to come
    std::string m_message;
    bool m_cut = false; // bytes past the maximum were dropped from this message
};
