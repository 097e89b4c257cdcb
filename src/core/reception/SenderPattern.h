#pragma once
#include <string>
#include <string_view>

// A sender address as an operator types it to pick senders: a whole address, or its first
// parts (whole numbers of an IPv4 address, whole groups of an IPv6 one). "10.1." and "10.1"
// both mean the senders 10.1.x.x; "10.1" also matches the address "10.1" itself. IPv6 is
// matched in lower case, as addresses are shown. Empty matches every sender.
class SenderPattern {
public:
    explicit SenderPattern(std::string typed = {});

    bool IsSet() const { return !m_prefix.empty(); }
    bool Matches(std::string_view address) const;

private:
    std::string m_prefix; // ends in a separator
    bool m_typedWithSeparator = false;
};
