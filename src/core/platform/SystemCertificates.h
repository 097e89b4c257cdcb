#pragma once
#include <string>
#include <vector>

namespace SystemCertificates {
// The root certificates the system trusts, each DER-encoded, where the system keeps them
// out of OpenSSL's reach (Windows' certificate store). Empty where OpenSSL's default paths
// already are the system's store, as on Linux.
std::vector<std::string> TrustedRoots();
} // namespace SystemCertificates
