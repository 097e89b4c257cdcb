#include "core/reception/SenderPattern.h"

#include <algorithm>

SenderPattern::SenderPattern(std::string typed) : m_prefix(std::move(typed)) {
    const bool ipv6 = m_prefix.find(':') != std::string::npos;
    if (ipv6)
        std::transform(m_prefix.begin(), m_prefix.end(), m_prefix.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    const char separator = ipv6 ? ':' : '.';
    if (!m_prefix.empty() && m_prefix.back() == separator)
        m_typedWithSeparator = true;
    else if (!m_prefix.empty())
        m_prefix += separator; // the typed parts must end where a part ends
}

bool SenderPattern::Matches(std::string_view address) const {
    if (m_prefix.empty() || address.starts_with(m_prefix))
        return true;
    // Typed without a trailing separator: the whole address matches too.
    return !m_typedWithSeparator && address.size() + 1 == m_prefix.size() &&
           std::string_view(m_prefix).starts_with(address);
}
