#pragma once
#include <string>
#include <vector>

// The two files "Create Certificate..." and `marovindd --create-certificate` write.
struct CertificateFiles {
    static constexpr const char* kCertificateName = "marovind-cert.pem";
    static constexpr const char* kKeyName = "marovind-key.pem";

    std::string certificate;
    std::string key;

    // The pair in `directory`, which ends in the platform's separator.
    static CertificateFiles In(const std::string& directory);
    // Whether either file is there already: writing then replaces it.
    bool AnyExists() const;
};

// Whom a certificate names: the first DNS name is also its common name.
struct CertificateSubject {
    std::vector<std::string> dnsNames;
    std::vector<std::string> ipAddresses; // IPv4 or IPv6 text

    // This host: its name and fully qualified name, and its IPv4 and IPv6 addresses.
    static CertificateSubject ThisHost();
};

// A new ECDSA P-256 key and a self-signed server certificate for `subject`, valid from now
// for kValidDays, as PEM text.
struct CertificatePem {
    static constexpr int kValidDays = 825;

    std::string certificate;
    std::string key;
    std::string fingerprint; // SHA256:AB:CD:...
    std::string error;       // why nothing was made; empty when it was
};
CertificatePem MakeSelfSignedCertificate(const CertificateSubject& subject);

struct CertificateResult {
    std::string fingerprint; // the new certificate's, empty on failure
    std::string error;       // why no pair was written; empty on success
};

// Makes a pair for `subject` and writes it to `files`, the key readable by its owner only.
// Existing files are left alone unless `replace` is true, which the caller sets only once
// the operator agreed to lose them.
CertificateResult CreateCertificateFiles(const CertificateFiles& files,
                                         const CertificateSubject& subject, bool replace);
