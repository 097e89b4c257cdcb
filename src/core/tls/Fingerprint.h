#pragma once
#include <string>

#include <openssl/types.h>

// The SHA-256 fingerprint of a certificate's DER form as rsyslog's permitted peers and
// syslog-ng's trusted keys take it: "SHA256:" and colon-separated upper-case hex pairs.
std::string CertificateFingerprint(X509* certificate);
