#include "core/tls/TlsClient.h"

#include <cctype>
#include <chrono>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "core/platform/ClientSocket.h"
#include "core/tls/Fingerprint.h"
#include "core/tls/OpenSslPtr.h"

namespace {
std::string LastReason(SSL* ssl, const char* otherwise) {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    std::string text = reason ? reason : otherwise;
    const long verified = ssl ? SSL_get_verify_result(ssl) : X509_V_OK;
    if (verified != X509_V_OK)
        text += std::string(" (") + X509_verify_cert_error_string(verified) + ")";
    ERR_clear_error();
    return text;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The certificate must name `host`: as an IP address when it is one, else as a DNS name.
bool ExpectHost(SSL* ssl, const std::string& host) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1)
        return true;
    ERR_clear_error();
    return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 &&
           SSL_set1_host(ssl, host.c_str()) == 1;
}

SSL_CTX* MakeContext(const TlsClientTrust& trust, std::string& error) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        error = LastReason(nullptr, "OpenSSL could not make a TLS context");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    bool trusted = true;
    if (!trust.fingerprint.empty())
        SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr); // checked after the handshake
    else if (!trust.caFile.empty())
        trusted = SSL_CTX_load_verify_locations(context, trust.caFile.c_str(), nullptr) == 1;
    else
        trusted = SSL_CTX_set_default_verify_paths(context) == 1;
    if (!trusted) {
        error = "TLS CA " + trust.caFile + ": " + LastReason(nullptr, "cannot be loaded");
        SSL_CTX_free(context);
        return nullptr;
    }
    if (trust.fingerprint.empty())
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    return context;
}
} // namespace

std::unique_ptr<TlsClient> TlsClient::Connect(NativeSocket socket, const TlsClientTrust& trust,
                                              int timeoutMs, std::string& error) {
    Sockets::IgnoreBrokenPipes();
    std::unique_ptr<TlsClient> client(new TlsClient);
    client->m_context = MakeContext(trust, error);
    if (!client->m_context)
        return nullptr;
    client->m_ssl = SSL_new(client->m_context);
    if (!client->m_ssl || SSL_set_fd(client->m_ssl, static_cast<int>(socket)) != 1 ||
        (trust.fingerprint.empty() && !ExpectHost(client->m_ssl, trust.host))) {
        error = LastReason(nullptr, "OpenSSL could not start the connection");
        return nullptr;
    }
    SSL_set_connect_state(client->m_ssl);
    if (!client->Handshake(socket, timeoutMs, error) || !client->PeerMatches(trust, error))
        return nullptr;
    return client;
}

TlsClient::~TlsClient() {
    SSL_free(m_ssl);
    SSL_CTX_free(m_context);
}

bool TlsClient::Handshake(NativeSocket socket, int timeoutMs, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_do_handshake(m_ssl);
        if (result == 1)
            return true;
        const int reason = SSL_get_error(m_ssl, result);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int wait = static_cast<int>(left.count());
        bool ready = false;
        if (reason == SSL_ERROR_WANT_READ && wait > 0)
            ready = ClientSockets::WaitReadable(socket, wait);
        else if (reason == SSL_ERROR_WANT_WRITE && wait > 0)
            ready = ClientSockets::WaitWritable(socket, wait);
        else {
            error = "TLS handshake: " + LastReason(m_ssl, "the connection was closed");
            return false;
        }
        if (!ready) {
            error = "TLS handshake: no answer";
            return false;
        }
    }
}

bool TlsClient::PeerMatches(const TlsClientTrust& trust, std::string& error) const {
    if (trust.fingerprint.empty())
        return true;
    const X509Ptr certificate(SSL_get1_peer_certificate(m_ssl));
    const std::string seen = certificate ? CertificateFingerprint(certificate.get()) : "";
    if (SameText(seen, trust.fingerprint))
        return true;
    error = "TLS: the collector's certificate " + (seen.empty() ? "is missing" : seen) +
            " is not the pinned " + trust.fingerprint;
    return false;
}

long TlsClient::Write(const char* data, std::size_t length, std::string& error) {
    ERR_clear_error();
    std::size_t written = 0;
    const int result = SSL_write_ex(m_ssl, data, length, &written);
    if (result == 1)
        return static_cast<long>(written);
    const int reason = SSL_get_error(m_ssl, result);
    if (reason == SSL_ERROR_WANT_WRITE || reason == SSL_ERROR_WANT_READ)
        return 0;
    error = LastReason(m_ssl, "connection reset");
    return -1;
}

bool TlsClient::PeerHasClosed() {
    char scratch[4096];
    for (;;) {
        ERR_clear_error();
        std::size_t got = 0;
        const int result = SSL_read_ex(m_ssl, scratch, sizeof scratch, &got);
        if (result == 1)
            continue;
        const int reason = SSL_get_error(m_ssl, result);
        ERR_clear_error();
        return reason != SSL_ERROR_WANT_READ && reason != SSL_ERROR_WANT_WRITE;
    }
}
