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

// Senders' IPv6 addresses come in canonical form, so an IPv6 entry is looked up by that.
void PermittedAddresses::Index(const std::string& entry) {
    m_lookup.insert(entry);
    std::string canonical;
    if (entry.find(':') != std::string::npos && CanonicalIpv6Text(entry, canonical) &&
        canonical != entry) {
        m_canonicalIpv6.push_back(std::move(canonical));
        m_lookup.insert(m_canonicalIpv6.back());
    }
}

void PermittedAddresses::clear() {
    m_lookup.clear();
    m_canonicalIpv6.clear();
    m_entries.clear();
}

void PermittedAddresses::Rebuild() {
    m_lookup.clear();
    m_canonicalIpv6.clear();
    m_lookup.reserve(m_entries.size());
    for (const std::string& entry : m_entries)
        Index(entry);
}
