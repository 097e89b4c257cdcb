#pragma once
#include <string>
#include <vector>

// The IPv4 addresses of this host's own name, in the resolver's order, as dotted decimal
// text. Empty when the name cannot be had or resolved.
std::vector<std::string> HostIPv4Addresses();
