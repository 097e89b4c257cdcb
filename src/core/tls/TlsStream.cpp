#include "core/tls/TlsStream.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

std::unique_ptr<TlsStream> TlsStream::Create(std::shared_ptr<const TlsServerContext> context,
                                             NativeSocket socket) {
    if (!context)
        return nullptr;
    // OpenSSL sends on the socket itself (alerts, the handshake): a sender that has gone
    // must give an error, not end the program.
    Sockets::IgnoreBrokenPipes();
    std::unique_ptr<TlsStream> stream(new TlsStream);
    stream->m_ssl = SSL_new(context->Native());
    stream->m_context = std::move(context);
    // The socket stays the connection's own: OpenSSL neither closes it nor changes its mode.
    // Windows socket handles fit an int, as OpenSSL's own socket BIO assumes.
    if (!stream->m_ssl || SSL_set_fd(stream->m_ssl, static_cast<int>(socket)) != 1) {
        ERR_clear_error();
        return nullptr;
    }
    SSL_set_accept_state(stream->m_ssl);
    return stream;
}

TlsStream::~TlsStream() {
    SSL_free(m_ssl);
}

TlsStream::Status TlsStream::Handshake() {
    if (m_established)
        return Status::kDone;
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    if (result == 1) {
        m_established = true;
        return Status::kDone;
    }
    return Outcome(result);
}

TlsStream::Status TlsStream::Read(char* buffer, std::size_t length, std::size_t& got) {
    got = 0;
    ERR_clear_error();
    const int result = SSL_read_ex(m_ssl, buffer, length, &got);
    if (result == 1)
        return Status::kDone;
    return Outcome(result);
}

bool TlsStream::HasBufferedInput() const {
    return SSL_has_pending(m_ssl) == 1;
}

TlsStream::Status TlsStream::Outcome(int result) {
    const int error = SSL_get_error(m_ssl, result);
    switch (error) {
    case SSL_ERROR_WANT_READ:
        return Status::kWantRead;
    case SSL_ERROR_WANT_WRITE:
        return Status::kWantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Status::kClosed;
    default:
        break;
    }
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    if (error == SSL_ERROR_SYSCALL && code == 0)
        m_reason = m_established ? "connection reset" : "connection closed during the handshake";
    else
        m_reason = reason ? reason : "TLS error";
    const long verified = SSL_get_verify_result(m_ssl);
    if (verified != X509_V_OK)
        m_reason += std::string(" (") + X509_verify_cert_error_string(verified) + ")";
    ERR_clear_error();
    return Status::kFailed;
}
