#pragma once
#include <string>
#include <vector>

// The IPv4 addresses of this host's own name, in the resolver's order, as dotted decimal
// text. Empty when the name cannot be had or resolved.
std::vector<std::string> HostIPv4Addresses();

constexpr const char* kVersionText = "Marovind Version 1.0";
constexpr const char* kListeningPrefix = "Listening for syslog messages on IP address: ";

// What the server says first: the version line, then one listening line per address.
std::vector<std::string> StartupLines(const std::vector<std::string>& addresses);
