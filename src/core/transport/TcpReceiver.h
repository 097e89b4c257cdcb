#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/AsyncSocket.h"
#include "core/tls/TlsStream.h"
#include "core/transport/FrameDecoder.h"
#include "core/transport/TcpErrorLog.h"

class LoopTimer;

class TcpReceiver;

// A listening socket: each notice accepts the connections waiting.
class TcpListeningSocket : public CAsyncSocket {
public:
    explicit TcpListeningSocket(TcpReceiver& owner) : m_owner(owner) {}
    void OnReceive(int errorCode) override;

private:
    TcpReceiver& m_owner;
};

// One sender's connection: its peer address and the frames that are not finished yet; over
// TLS also its TLS state and the time by which its handshake must be done.
class TcpConnection : public CAsyncSocket {
public:
    TcpConnection(TcpReceiver& owner, std::string peer, std::size_t maxMessage)
        : m_owner(owner), m_peer(std::move(peer)), m_decoder(maxMessage) {}
    void OnReceive(int errorCode) override;
    void OnSend(int errorCode) override;

    const std::string& Peer() const { return m_peer; }
    FrameDecoder& Decoder() { return m_decoder; }
    bool m_paused = false;            // notices stopped while reception is held
    std::unique_ptr<TlsStream> m_tls; // null over plain TCP
    std::time_t m_handshakeDeadline = 0;
    bool m_watchingWritable = false; // TLS waits for room to send
    bool m_readAgain = false;        // a read is posted: TLS holds bytes the socket won't announce

private:
    TcpReceiver& m_owner;
    std::string m_peer;
    FrameDecoder m_decoder;
};

// Syslog over TCP, or over TLS once a TLS context is set: the listening sockets and every
// connection accepted on them. Each message a connection brings is delivered where a
// datagram of the same bytes from the same sender goes (the listener's DeliverMessage), on
// the same thread.
//
// Fairness and flow control: a notice reads one bounded piece from one connection, so a
// busy sender cannot hold up the others, and nothing is read while delivery is held; a
// sender that outpaces the logging waits in TCP's flow control, and nothing is dropped.
// TLS handshakes go step by step as bytes come, so a slow one holds up nobody; one not done
// within kHandshakeSeconds is closed.
class TcpReceiver {
public:
    // Over TCP and TLS together: each connection holds a socket.
    static constexpr std::size_t kMaxConnections = 1000;
    static constexpr std::size_t kReadPiece = 64 * 1024;
    static constexpr std::size_t kDefaultMaxMessage = 8192;
    static constexpr std::time_t kHandshakeSeconds = 10;

    // `name` ("TCP" or "TLS") starts the status text, the reports and the bind message.
    explicit TcpReceiver(std::string name = "TCP");
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

    // TLS for the connections accepted from now on (null: plain TCP). Connections under way
    // keep the context they began with.
    void SetTlsContext(std::shared_ptr<const TlsServerContext> context);
    const std::shared_ptr<const TlsServerContext>& TlsContext() const { return m_tls; }

    std::size_t ConnectionCount() const { return m_connections.size(); }
    TcpErrorLog& Errors() { return m_errors; }
    const TcpErrorLog& Errors() const { return m_errors; }
    // Connections refused before a message could come: by the source filter, over the
    // limit, or (TLS) by a failed or late handshake.
    std::uint64_t RefusedCount() const;
    // "TCP: 3 connections", with the errors counted so far when there are any; over TLS
    // "TLS: 3 connections, 2 refused", with the other errors when there are any.
    std::string StatusText() const;
    // Called after every change of the connections or errors, for the status pane.
    void SetChangeHandler(std::function<void()> handler) { m_onChange = std::move(handler); }

    void AcceptWaiting(TcpListeningSocket& listener);
    void ReadFrom(TcpConnection& connection);
    // Reception was held and goes on: every paused connection asks for notices again.
    void ResumePaused();
    // Closes the TLS connections whose handshake is late at `now`.
    void CloseLateHandshakes(std::time_t now);

private:
    bool OpenListener(Sockets::Family family, bool ipv6Only);
    void Admit(NativeSocket socket, std::string peer);
    // Takes the handshake on; true once it is done and the stream may be read.
    bool Handshake(TcpConnection& connection);
    void ReadTls(TcpConnection& connection);
    void WatchWritable(TcpConnection& connection, bool on);
    // Reads the connection again from the event loop, not waiting for a socket notice.
    void ReadAgainLater(TcpConnection& connection);
    void ReadPosted();
    // Delivers what the stream brought; false when the connection is to be closed.
    bool Consume(TcpConnection& connection, std::string_view bytes);
    void FinishStream(TcpConnection& connection);
    void CloseConnection(TcpConnection& connection);
    void Count(TcpError kind, const std::string& detail = {});
    void PurgeClosed();
    void Changed();

    std::string m_name;
    std::shared_ptr<const TlsServerContext> m_tls;
    std::unique_ptr<LoopTimer> m_handshakeTimer;
    bool m_readPosted = false;
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
extern TcpReceiver g_tlsReceiver;
