#pragma once
#include <cstddef>
#include <initializer_list>
#include <list>
#include <string>
#include <string_view>
#include <unordered_set>

// The source filter's list: its entries in file order, duplicates kept, and beside them a
// hash set of the same texts, so that admitting a sender costs the same for 65,536
// entries as for ten. Every change to the entries keeps the set in step. An entry that is
// an IPv6 address in any spelling admits that address; every other entry admits only the
// sender whose address text it equals exactly.
class PermittedAddresses {
public:
    using List = std::list<std::string>;
    using value_type = std::string;
    using iterator = List::const_iterator;
    using const_iterator = List::const_iterator;

    PermittedAddresses() = default;
    PermittedAddresses(const PermittedAddresses&) = delete; // the set views the entries
    PermittedAddresses& operator=(const PermittedAddresses&) = delete;
    PermittedAddresses& operator=(std::initializer_list<std::string> entries);

    template <class Iterator> void assign(Iterator first, Iterator last) {
        m_entries.assign(first, last);
        Rebuild();
    }
    void push_back(const std::string& entry);
    void clear();

    // Whether some entry equals the address text exactly, or is that IPv6 address.
    bool Contains(std::string_view address) const { return m_lookup.count(address) != 0; }

    bool empty() const { return m_entries.empty(); }
    std::size_t size() const { return m_entries.size(); }
    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }
    friend bool operator==(const PermittedAddresses& list, const List& entries) {
        return list.m_entries == entries;
    }

private:
    void Rebuild();
    void Index(const std::string& entry);

    List m_entries;                                // list nodes never move,
    List m_canonicalIpv6;                          // (the canonical form of IPv6 entries)
    std::unordered_set<std::string_view> m_lookup; // so views into both stay valid
};
