#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include <openssl/types.h>

#include "core/platform/AsyncSocket.h"
#include "core/tls/TlsServerContext.h"

// The server's side of one TLS connection on a non-blocking socket. It keeps the context it
// was made with, so a reload of the certificate never touches a connection under way.
class TlsStream {
public:
    enum class Status {
        kDone,      // the handshake is finished, or bytes were read
        kWantRead,  // wait until the socket has bytes to read, then call again
        kWantWrite, // wait until the socket has room to send, then call again
        kClosed,    // the sender ended the stream
        kFailed     // the handshake or the connection failed: Reason() says how
    };

    // Null when OpenSSL could not make the connection's state.
    static std::unique_ptr<TlsStream> Create(std::shared_ptr<const TlsServerContext> context,
                                             NativeSocket socket);
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Takes the handshake as far as the socket allows.
    Status Handshake();
    bool Established() const { return m_established; }
    // Up to `length` bytes of the sender's stream; `got` is their count when kDone.
    Status Read(char* buffer, std::size_t length, std::size_t& got);
    // Bytes already taken from the socket and not yet read: the socket will not announce
    // them again.
    bool HasBufferedInput() const;
    // Why the last call failed, e.g. "certificate verify failed (certificate has expired)".
    const std::string& Reason() const { return m_reason; }

private:
    TlsStream() = default;
    Status Outcome(int result);

    std::shared_ptr<const TlsServerContext> m_context;
    SSL* m_ssl = nullptr;
    bool m_established = false;
    std::string m_reason;
};
