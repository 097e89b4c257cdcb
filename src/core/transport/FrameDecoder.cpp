#include "core/transport/FrameDecoder.h"

#include <algorithm>
#include <cstring>

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

FrameDecoder::Result FrameDecoder::Feed(std::string_view bytes, const MessageHandler& deliver) {
    while (!bytes.empty()) {
        const char c = bytes.front();
        switch (m_state) {
        case State::kFrameStart:
            if (c >= '1' && c <= '9') {
                m_state = State::kLength;
                m_lengthDigits = 0;
                m_remaining = 0;
            } else {
                m_state = State::kTrailer;
            }
            break;
        case State::kLength:
            if (c == ' ' && m_lengthDigits > 0) {
                m_state = State::kCounted;
            } else if (!IsDigit(c) || m_lengthDigits == kMaxLengthDigits) {
                // Only digits are counted, and never more than ten of them.
                return Result::kFramingError;
            } else {
                m_remaining = m_remaining * 10 + static_cast<std::uint64_t>(c - '0');
                ++m_lengthDigits;
            }
            bytes.remove_prefix(1);
            break;
        case State::kCounted:
            bytes.remove_prefix(TakeCounted(bytes));
            if (m_remaining == 0 && !EndFrame(deliver))
                return Result::kStopped;
            break;
        case State::kTrailer: {
            bool ended = false;
            bytes.remove_prefix(TakeTrailerFramed(bytes, ended));
            if (ended && !EndFrame(deliver))
                return Result::kStopped;
            break;
        }
        }
    }
    return Result::kGoOn;
}

std::size_t FrameDecoder::TakeCounted(std::string_view bytes) {
    const std::size_t taken =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_remaining, bytes.size()));
    Keep(bytes.substr(0, taken));
    m_remaining -= taken;
    return taken;
}

std::size_t FrameDecoder::TakeTrailerFramed(std::string_view bytes, bool& ended) {
    const char* begin = bytes.data();
    const auto* lineFeed = static_cast<const char*>(std::memchr(begin, '\n', bytes.size()));
    const std::size_t searched =
        lineFeed ? static_cast<std::size_t>(lineFeed - begin) : bytes.size();
    const auto* nul = static_cast<const char*>(std::memchr(begin, '\0', searched));
    const char* trailer = nul ? nul : lineFeed;
    if (!trailer) {
        Keep(bytes);
        return bytes.size();
    }
    Keep(bytes.substr(0, static_cast<std::size_t>(trailer - begin)));
    // A CR kept just before the LF belongs to the line end, unless bytes were dropped
    // after it: then it was inside the message.
    if (*trailer == '\n' && !m_cut && !m_message.empty() && m_message.back() == '\r')
        m_message.pop_back();
    ended = true;
    return static_cast<std::size_t>(trailer - begin) + 1;
}

void FrameDecoder::Keep(std::string_view bytes) {
    const std::size_t room = m_maxMessage > m_message.size() ? m_maxMessage - m_message.size() : 0;
    if (bytes.size() > room)
        m_cut = true;
    m_message.append(bytes.data(), std::min(room, bytes.size()));
}

bool FrameDecoder::EndFrame(const MessageHandler& deliver) {
    const bool goOn = m_message.empty() || deliver(m_message);
    m_message.clear();
    m_cut = false;
    m_state = State::kFrameStart;
    return goOn;
}

void FrameDecoder::Finish(const MessageHandler& deliver) {
    // Digits without their blank carried no message yet.
    if (m_state == State::kCounted || m_state == State::kTrailer)
        EndFrame(deliver);
    m_state = State::kFrameStart;
    m_message.clear();
    m_cut = false;
}
