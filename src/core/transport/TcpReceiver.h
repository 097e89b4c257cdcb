#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/AsyncSocket.h"
#include "core/transport/FrameDecoder.h"
#include "core/transport/TcpErrorLog.h"

class TcpReceiver;

// A listening socket: each notice accepts the connections waiting.
class TcpListeningSocket : public CAsyncSocket {
public:
    explicit TcpListeningSocket(TcpReceiver& owner) : m_owner(owner) {}
    void OnReceive(int errorCode) override;

private:
    TcpReceiver& m_owner;
};

// One sender's connection: its peer address and the frames that are not finished yet.
class TcpConnection : public CAsyncSocket {
public:
    TcpConnection(TcpReceiver& owner, std::string peer, std::size_t maxMessage)
        : m_owner(owner), m_peer(std::move(peer)), m_decoder(maxMessage) {}
    void OnReceive(int errorCode) override;

    const std::string& Peer() const { return m_peer; }
    FrameDecoder& Decoder() { return m_decoder; }
    bool m_paused = false; // notices stopped while reception is held

private:
    TcpReceiver& m_owner;
    std::string m_peer;
    FrameDecoder m_decoder;
};

// Syslog over TCP: the listening sockets and every connection accepted on them. Each
// message a connection brings is delivered where a datagram of the same bytes from the
// same sender goes (the listener's DeliverMessage), on the same thread.
//
// Fairness and flow control: a notice reads one bounded piece from one connection, so a
// busy sender cannot hold up the others, and nothing is read while delivery is held; a
// sender that outpaces the logging waits in TCP's flow control, and nothing is dropped.
class TcpReceiver {
public:
    static constexpr std::size_t kMaxConnections = 1000;
    static constexpr std::size_t kReadPiece = 64 * 1024;
    static constexpr std::size_t kDefaultMaxMessage = 8192;

    TcpReceiver();
    ~TcpReceiver();
    TcpReceiver(const TcpReceiver&) = delete;
    TcpReceiver& operator=(const TcpReceiver&) = delete;

    // Listens on `port` of every address, IPv4 only or dual-stack; a port already in force
    // is kept. 0 stops listening and closes every connection. A port that cannot be bound
    // shows the bind message naming it, and false comes back.
    bool Listen(std::uint16_t port, bool ipv6);
    std::uint16_t Port() const { return m_port; }
    void SetMaxMessage(std::size_t maxMessage);
    // Closes the listening sockets and every connection.
    void Close();

    std::size_t ConnectionCount() const { return m_connections.size(); }
    TcpErrorLog& Errors() { return m_errors; }
    // "TCP: 3 connections", with the errors counted so far when there are any.
    std::string StatusText() const;
    // Called after every change of the connections or errors, for the status pane.
    void SetChangeHandler(std::function<void()> handler) { m_onChange = std::move(handler); }

    void AcceptWaiting(TcpListeningSocket& listener);
    void ReadFrom(TcpConnection& connection);
    // Reception was held and goes on: every paused connection asks for notices again.
    void ResumePaused();

private:
    bool OpenListener(Sockets::Family family, bool ipv6Only);
    void Admit(NativeSocket socket, std::string peer);
    // Delivers what the stream brought; false when the connection is to be closed.
    bool Consume(TcpConnection& connection, std::string_view bytes);
    void FinishStream(TcpConnection& connection);
    void CloseConnection(TcpConnection& connection);
    void Count(TcpError kind);
    void PurgeClosed();
    void Changed();

    std::vector<std::unique_ptr<TcpListeningSocket>> m_listeners;
    std::uint16_t m_port = 0;
    bool m_ipv6 = false;
    std::size_t m_maxMessage = kDefaultMaxMessage;
    std::vector<std::unique_ptr<TcpConnection>> m_connections;
    // Closed inside their own notice: destroyed at the next notice, outside it.
    std::vector<std::unique_ptr<TcpConnection>> m_closed;
    bool m_anyPaused = false;
    std::vector<char> m_piece;
    TcpErrorLog m_errors;
    std::function<void()> m_onChange;
};

extern TcpReceiver g_tcpReceiver;
