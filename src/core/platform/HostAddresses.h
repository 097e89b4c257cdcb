#pragma once
#include <string>
#include <vector>

// The IPv4 addresses of this host's own name, in the resolver's order, as dotted decimal
// text. Empty when the name cannot be had or resolved.
std::vector<std::string> HostIPv4Addresses();

// The host's IPv6 addresses in canonical form: on Windows those of its own name, elsewhere
// those of its interfaces (a host name rarely resolves to them there). Empty when none.
std::vector<std::string> HostIPv6Addresses();

// This host's name, then its fully qualified name when the resolver knows one that differs.
// Empty when the system gives no name.
std::vector<std::string> HostNames();

// The IPv4 addresses, then, when `ipv6` is true, the IPv6 ones.
std::vector<std::string> HostAddresses(bool ipv6);

constexpr const char* kVersionText = "Marovind Version 1.0";
constexpr const char* kListeningPrefix = "Listening for syslog messages on IP address: ";

constexpr const char* kTcpListeningPrefix = "Listening for syslog messages on TCP port: ";
constexpr const char* kTlsListeningPrefix = "Listening for syslog messages on TLS port: ";
constexpr const char* kTlsFingerprintPrefix = "TLS certificate fingerprint: ";

// What the server says first: the version line, one listening line per address, then the
// TCP port's line when `tcpPort` is not 0, then the TLS port's line and the fingerprint of
// its certificate when `tlsPort` is not 0 and the certificate loads (`tlsFingerprint` not
// empty).
std::vector<std::string> StartupLines(const std::vector<std::string>& addresses,
                                      unsigned tcpPort = 0, unsigned tlsPort = 0,
                                      const std::string& tlsFingerprint = {});
