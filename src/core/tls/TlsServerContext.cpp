#include "core/tls/TlsServerContext.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "core/platform/Clock.h"
#include "core/platform/ProgramDir.h"
#include "core/tls/Fingerprint.h"

namespace {
constexpr long kMaxPemFile = 16L * 1024 * 1024; // far beyond any chain or CA bundle
constexpr unsigned char kSessionContext[] = "marovind";

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;

// The whole file, or false with the reason ("no such file", "Permission denied", ...).
bool ReadFile(const std::string& path, std::string& bytes, std::string& reason) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = errno == ENOENT ? "no such file" : std::strerror(errno);
        return false;
    }
    bytes.clear();
    char buffer[16384];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
        if (static_cast<long>(bytes.size()) > kMaxPemFile)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        reason = std::string("cannot be read: ") + std::strerror(error != 0 ? error : EIO);
        return false;
    }
    if (static_cast<long>(bytes.size()) > kMaxPemFile) {
        reason = "too large for a PEM file";
        return false;
    }
    return true;
}

BioPtr MemoryBio(const std::string& bytes) {
    return BioPtr(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

// OpenSSL's reason for the last error, for texts where OpenSSL knows best.
std::string OpenSslReason() {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason ? reason : "refused by OpenSSL";
}

// Keys with a passphrase are refused instead of asked for: nobody is there to type it.
int NoPassphrase(char*, int, int, void*) {
    return -1;
}

std::time_t TimeOf(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1)
        return 0;
    return FromUtcParts(parts);
}

bool LoadCertificate(SSL_CTX* context, const std::string& file, std::string& error) {
    std::string bytes;
    std::string reason;
    if (!ReadFile(file, bytes, reason)) {
        error = "TLS certificate " + file + ": " + reason;
        return false;
    }
    const BioPtr bio = MemoryBio(bytes);
    const X509Ptr certificate(PEM_read_bio_X509_AUX(bio.get(), nullptr, NoPassphrase, nullptr));
    if (!certificate) {
        ERR_clear_error();
        error = "TLS certificate " + file + ": not a PEM certificate";
        return false;
    }
    if (SSL_CTX_use_certificate(context, certificate.get()) != 1) {
        error = "TLS certificate " + file + ": " + OpenSslReason();
        return false;
    }
    // The rest of the file is the chain, sent along to the senders.
    SSL_CTX_clear_chain_certs(context);
    while (X509* next = PEM_read_bio_X509(bio.get(), nullptr, NoPassphrase, nullptr)) {
        if (SSL_CTX_add0_chain_cert(context, next) != 1) {
            X509_free(next);
            error = "TLS certificate " + file + ": " + OpenSslReason();
            return false;
        }
    }
    ERR_clear_error(); // the end of the file reads as "no start line"
    return true;
}

bool LoadKey(SSL_CTX* context, const TlsFiles& files, std::string& error) {
    std::string bytes;
    std::string reason;
    if (files.key.empty()) {
        error = "TLS key: no file is named (TLS_KEY)";
        return false;
    }
    if (!ReadFile(files.key, bytes, reason)) {
        error = "TLS key " + files.key + ": " + reason;
        return false;
    }
    const BioPtr bio = MemoryBio(bytes);
    const std::unique_ptr<EVP_PKEY, KeyFree> key(
        PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassphrase, nullptr));
    if (!key) {
        ERR_clear_error();
        error = "TLS key " + files.key + ": " +
                (bytes.find("ENCRYPTED") != std::string::npos
                     ? "protected by a passphrase, which nobody is there to type"
                     : "not a PEM private key");
        return false;
    }
    if (SSL_CTX_use_PrivateKey(context, key.get()) != 1 ||
        SSL_CTX_check_private_key(context) != 1) {
        ERR_clear_error();
        error = "TLS key " + files.key + ": does not match the certificate " + files.certificate;
        return false;
    }
    return true;
}

bool LoadClientCa(SSL_CTX* context, const std::string& file, std::string& error) {
    std::string bytes;
    std::string reason;
    if (!ReadFile(file, bytes, reason)) {
        error = "TLS client CA " + file + ": " + reason;
        return false;
    }
    const BioPtr bio = MemoryBio(bytes);
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    int loaded = 0;
    while (X509* authority = PEM_read_bio_X509(bio.get(), nullptr, NoPassphrase, nullptr)) {
        const X509Ptr owned(authority);
        // The names go to the senders, so that they choose a certificate these signed.
        if (X509_STORE_add_cert(store, authority) != 1 ||
            SSL_CTX_add_client_CA(context, authority) != 1) {
            error = "TLS client CA " + file + ": " + OpenSslReason();
            return false;
        }
        ++loaded;
    }
    ERR_clear_error();
    if (loaded == 0) {
        error = "TLS client CA " + file + ": not a PEM certificate";
        return false;
    }
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    return true;
}
} // namespace

std::string ProgramRelativePath(const std::string& path) {
    if (path.empty() || !std::filesystem::path(path).is_relative())
        return path;
    return g_programDir + path;
}

std::shared_ptr<const TlsServerContext> TlsServerContext::Load(const TlsFiles& files,
                                                               std::string& error) {
    error.clear();
    if (files.certificate.empty()) {
        error = "TLS certificate: no file is named (TLS_CERT)";
        return nullptr;
    }
    std::shared_ptr<TlsServerContext> loaded(new TlsServerContext);
    loaded->m_files = files;
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    loaded->m_context = context;
    if (!context) {
        error = "TLS: " + OpenSslReason();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // Compression is off in OpenSSL 3 already; said here so that it stays off. A sender that
    // closes without a close_notify has ended its stream, as over TCP.
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION |
                                     SSL_OP_IGNORE_UNEXPECTED_EOF);
    // No TLS 1.3 session tickets: they are sent after the handshake, and a sender that never
    // reads (most syslog senders) would close with them unread, which resets the connection
    // and loses the messages still waiting in our socket. Syslog connections last long anyway.
    SSL_CTX_set_num_tickets(context, 0);
    // Many small records are taken from the socket in one read.
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_session_id_context(context, kSessionContext, sizeof kSessionContext - 1);
    if (!LoadCertificate(context, files.certificate, error) || !LoadKey(context, files, error) ||
        (!files.clientCa.empty() && !LoadClientCa(context, files.clientCa, error)))
        return nullptr;
    X509* certificate = SSL_CTX_get0_certificate(context);
    loaded->m_fingerprint = CertificateFingerprint(certificate);
    loaded->m_notAfter = TimeOf(X509_get0_notAfter(certificate));
    return loaded;
}

TlsServerContext::~TlsServerContext() {
    SSL_CTX_free(m_context);
}

std::string CertificateExpiryWarning(const std::string& file, std::time_t notAfter,
                                     std::time_t now) {
    if (notAfter == 0 || notAfter - now > kCertificateWarningSeconds)
        return {};
    char date[32] = "";
    std::tm parts{};
    ToUtcParts(notAfter, parts);
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", &parts);
    if (notAfter <= now)
        return "Syslog: The TLS certificate " + file + " expired on " + date +
               "; senders that check it will refuse to connect.";
    const long long days = (notAfter - now) / (24 * 60 * 60);
    return "Syslog: The TLS certificate " + file + " expires on " + date + " (in " +
           std::to_string(days) + (days == 1 ? " day" : " days") +
           "); senders that check it will refuse to connect after that.";
}

std::string CertificateFileFingerprint(const std::string& file) {
    std::string bytes;
    std::string reason;
    if (!ReadFile(file, bytes, reason))
        return {};
    const BioPtr bio = MemoryBio(bytes);
    const X509Ptr certificate(PEM_read_bio_X509_AUX(bio.get(), nullptr, NoPassphrase, nullptr));
    ERR_clear_error();
    return CertificateFingerprint(certificate.get());
}
