#pragma once
#include <string>
#include <string_view>

// Sender addresses as text. An IPv4 address is dotted decimal (10.1.1.1); an IPv6 address is
// written in its one canonical form: lower case, no leading zeros, the longest run of two or
// more zero groups (the first of equal runs) as "::" (2001:db8::1).

// The canonical text of 16 address bytes in network order. An IPv4-mapped address
// (::ffff:a.b.c.d) gives the dotted IPv4 text of its last four bytes.
std::string Ipv6AddressText(const unsigned char bytes[16]);

// The canonical text of an IPv6 address written in any valid spelling (0:0:0:0:0:0:0:1,
// upper case, an embedded IPv4 part); false, with `canonical` untouched, for any other text.
bool CanonicalIpv6Text(std::string_view text, std::string& canonical);

// A sender address as a file name may hold it: each "." becomes "_" and each ":" becomes "-"
// (Windows allows no ":" in a file name).
std::string AddressFileStem(std::string address);
