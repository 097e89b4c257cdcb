#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "core/forward/ForwardTarget.h"
#include "core/platform/AsyncSocket.h"

class TlsClient;

// The way to one collector over UDP, TCP or TLS, for the target's worker thread.
class Connection {
public:
    explicit Connection(const ForwardTarget& target);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects within `timeoutMs`; false with `error` saying why.
    bool Open(int timeoutMs, std::string& error);
    void Close();
    bool IsOpen() const { return m_socket != Sockets::kInvalid; }
    // Bytes taken: their count, 0 when there was no room within `timeoutMs` (offer the same
    // bytes again first), -1 when the connection failed and was closed.
    long Send(const char* data, std::size_t length, int timeoutMs, std::string& error);
    // False once the collector has closed a stream; a datagram target never closes.
    bool StillOpen();

private:
    ForwardTarget m_target;
    NativeSocket m_socket = Sockets::kInvalid;
    std::unique_ptr<TlsClient> m_tls;
};
