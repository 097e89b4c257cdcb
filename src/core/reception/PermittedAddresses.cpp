#include "core/reception/PermittedAddresses.h"

PermittedAddresses& PermittedAddresses::operator=(std::initializer_list<std::string> entries) {
    assign(entries.begin(), entries.end());
    return *this;
}

void PermittedAddresses::push_back(const std::string& entry) {
    m_entries.push_back(entry);
    m_lookup.insert(m_entries.back());
}

void PermittedAddresses::clear() {
    m_lookup.clear();
    m_entries.clear();
}

void PermittedAddresses::Rebuild() {
    m_lookup.clear();
    m_lookup.reserve(m_entries.size());
    for (const std::string& entry : m_entries)
        m_lookup.insert(entry);
}
