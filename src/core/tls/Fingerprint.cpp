#include "core/tls/Fingerprint.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

std::string CertificateFingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "SHA256";
    for (unsigned int i = 0; i < length; ++i) {
        text += ':';
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}
