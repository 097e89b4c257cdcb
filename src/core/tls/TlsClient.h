#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include <openssl/types.h>

#include "core/platform/AsyncSocket.h"

// How a collector's certificate is trusted.
struct TlsClientTrust {
    std::string host;        // the name or address the certificate must be made out to
    std::string caFile;      // a CA in PEM; empty: the system's certificate store
    std::string fingerprint; // "SHA256:..." of the very certificate, in place of a CA
};

// The sending side of one TLS connection on a connected non-blocking socket: TLS 1.2 or 1.3
// through OpenSSL, the collector's certificate checked against the trust given.
class TlsClient {
public:
    // Takes the handshake to its end within `timeoutMs`; null with `error` saying why.
    static std::unique_ptr<TlsClient> Connect(NativeSocket socket, const TlsClientTrust& trust,
                                              int timeoutMs, std::string& error);
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    // Bytes taken: their count, 0 when the socket is full (call again with the same bytes
    // first), -1 when the connection failed (`error` says why).
    long Write(const char* data, std::size_t length, std::string& error);
    // True when the collector has closed the connection; never waits.
    bool PeerHasClosed();

private:
    TlsClient() = default;
    bool Handshake(NativeSocket socket, int timeoutMs, std::string& error);
    bool PeerMatches(const TlsClientTrust& trust, std::string& error) const;

    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
};
