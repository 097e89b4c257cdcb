#include "core/forward/Connection.h"

#include "core/platform/ClientSocket.h"
#include "core/tls/TlsClient.h"
#include "core/tls/TlsServerContext.h"

namespace {
using Transport = ForwardTarget::Transport;
}

Connection::Connection(const ForwardTarget& target) : m_target(target) {}

Connection::~Connection() {
    Close();
}

bool Connection::Open(int timeoutMs, std::string& error) {
    Close();
    if (m_target.transport == Transport::Udp) {
        m_socket = ClientSockets::ConnectDatagram(m_target.host, m_target.port, error);
        return IsOpen();
    }
    m_socket = ClientSockets::ConnectStream(m_target.host, m_target.port, timeoutMs, error);
    if (!IsOpen() || m_target.transport != Transport::Tls)
        return IsOpen();
    const TlsClientTrust trust{m_target.host, ProgramRelativePath(m_target.caFile),
                               m_target.fingerprint};
    m_tls = TlsClient::Connect(m_socket, trust, timeoutMs, error);
    if (!m_tls)
        Close();
    return IsOpen();
}

void Connection::Close() {
    m_tls.reset();
    if (IsOpen())
        Sockets::Close(m_socket);
    m_socket = Sockets::kInvalid;
}

long Connection::Send(const char* data, std::size_t length, int timeoutMs, std::string& error) {
    if (!IsOpen())
        return -1;
    long sent = m_tls ? m_tls->Write(data, length, error)
                      : ClientSockets::SendSome(m_socket, data, length, error);
    if (sent == 0 && ClientSockets::WaitWritable(m_socket, timeoutMs))
        sent = m_tls ? m_tls->Write(data, length, error)
                     : ClientSockets::SendSome(m_socket, data, length, error);
    // A datagram the network refused is lost like any other; the socket stays.
    if (sent < 0 && m_target.transport == Transport::Udp)
        return static_cast<long>(length);
    if (sent < 0)
        Close();
    return sent;
}

bool Connection::StillOpen() {
    if (!IsOpen())
        return false;
    if (m_target.transport == Transport::Udp)
        return true;
    const bool closed = m_tls ? m_tls->PeerHasClosed() : ClientSockets::PeerHasClosed(m_socket);
    if (closed)
        Close();
    return !closed;
}
