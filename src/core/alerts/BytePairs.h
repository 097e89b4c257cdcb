#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// The pairs of neighbouring bytes a text holds, hashed into 4096 bits. A text that lacks
// one of a needle's pairs cannot contain the needle, so made once per message it settles
// most searches that fail with a few bit tests instead of a pass over the text. Hash
// collisions only let a needle through to the real search.
class BytePairs {
public:
    static constexpr unsigned kBits = 4096;

    BytePairs() = default;
    explicit BytePairs(std::string_view text) {
        for (std::size_t i = 1; i < text.size(); ++i) {
            const unsigned pair = Index(text[i - 1], text[i]);
            m_bits[pair >> 6] |= std::uint64_t{1} << (pair & 63);
        }
    }

    static unsigned Index(char first, char second) {
        return (static_cast<unsigned char>(first) * 67u + static_cast<unsigned char>(second)) &
               (kBits - 1);
    }
    // The distinct pairs of a needle, in its order.
    static std::vector<std::uint16_t> Of(std::string_view needle) {
        std::vector<std::uint16_t> pairs;
        for (std::size_t i = 1; i < needle.size(); ++i) {
            const auto pair = static_cast<std::uint16_t>(Index(needle[i - 1], needle[i]));
            if (std::find(pairs.begin(), pairs.end(), pair) == pairs.end())
                pairs.push_back(pair);
        }
        return pairs;
    }
    bool HasAll(const std::vector<std::uint16_t>& pairs) const {
        for (const std::uint16_t pair : pairs)
            if (!(m_bits[pair >> 6] >> (pair & 63) & 1))
                return false;
        return true;
    }

private:
    std::array<std::uint64_t, kBits / 64> m_bits{};
};
