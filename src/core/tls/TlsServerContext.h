#pragma once
#include <ctime>
#include <memory>
#include <string>

#include <openssl/types.h>

// The PEM files of a TLS server as the settings name them.
struct TlsFiles {
    std::string certificate; // the server certificate, then its chain
    std::string key;         // its private key, without a passphrase
    std::string clientCa;    // empty: senders need no certificate
};

// A path of the settings as a file name: a relative path is taken from the program
// directory (g_programDir); an empty one stays empty.
std::string ProgramRelativePath(const std::string& path);

// What every TLS connection is accepted with: TLS 1.2 or 1.3, OpenSSL's default ciphers, no
// compression and no renegotiation, the server's certificate chain and key, and when a client
// CA is given, a sender certificate that it signed and that is valid now. Immutable once
// loaded: a reload makes a new one, and connections keep the one they started with.
class TlsServerContext {
public:
    // Loads the files (relative paths already resolved). On failure null comes back and
    // `error` names the file and the reason, e.g. "TLS key /x/key.pem: no such file".
    static std::shared_ptr<const TlsServerContext> Load(const TlsFiles& files, std::string& error);
    ~TlsServerContext();
    TlsServerContext(const TlsServerContext&) = delete;
    TlsServerContext& operator=(const TlsServerContext&) = delete;

    SSL_CTX* Native() const { return m_context; }
    const TlsFiles& Files() const { return m_files; }
    // "SHA256:AB:CD:..." of the server certificate.
    const std::string& Fingerprint() const { return m_fingerprint; }
    // The end of the certificate's validity.
    std::time_t NotAfter() const { return m_notAfter; }
    bool MutualAuthentication() const { return !m_files.clientCa.empty(); }

private:
    TlsServerContext() = default;
    SSL_CTX* m_context = nullptr;
    TlsFiles m_files;
    std::string m_fingerprint;
    std::time_t m_notAfter = 0;
};

// How long before its end a certificate is reported.
constexpr std::time_t kCertificateWarningSeconds = 30 * 24 * 60 * 60;

// The warning for a certificate that ends within 30 days of `now` or has ended, e.g. "Syslog:
// The TLS certificate /x/cert.pem expires on 2026-12-20 (in 9 days); senders will refuse it
// after that."; empty when it is further away.
std::string CertificateExpiryWarning(const std::string& file, std::time_t notAfter,
                                     std::time_t now);

// The fingerprint of the first certificate of a PEM file, or empty when it has none.
std::string CertificateFileFingerprint(const std::string& file);
