#include "core/reception/SenderPattern.h"

#include "core/platform/AsciiCase.h"

SenderPattern::SenderPattern(std::string typed) : m_prefix(std::move(typed)) {
    const bool ipv6 = m_prefix.find(':') != std::string::npos;
    if (ipv6)
        m_prefix = AsciiLowered(m_prefix);
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
