#include "core/reception/PermittedAddresses.h"

#include "core/platform/AddressText.h"

PermittedAddresses& PermittedAddresses::operator=(std::initializer_list<std::string> entries) {
    assign(entries.begin(), entries.end());
    return *this;
}

void PermittedAddresses::push_back(const std::string& entry) {
    m_entries.push_back(entry);
    Index(m_entries.back());
}

bool PermittedAddresses::Contains(std::string_view address) const {
    if (m_lookup.count(address) != 0)
        return true;
    // Senders' IPv6 addresses come in canonical form; only those hold a colon.
    return !m_ipv6.empty() && address.find(':') != std::string_view::npos &&
           m_ipv6.count(std::string(address)) != 0;
}

void PermittedAddresses::Index(const std::string& entry) {
    m_lookup.insert(entry);
    std::string canonical;
    if (entry.find(':') != std::string::npos && CanonicalIpv6Text(entry, canonical))
        m_ipv6.insert(std::move(canonical));
}

void PermittedAddresses::clear() {
    m_lookup.clear();
    m_ipv6.clear();
    m_entries.clear();
}

void PermittedAddresses::Rebuild() {
    m_lookup.clear();
    m_ipv6.clear();
    m_lookup.reserve(m_entries.size());
    for (const std::string& entry : m_entries)
        Index(entry);
}
