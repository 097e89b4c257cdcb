#include "core/transport/TcpReceiver.h"

#include <algorithm>
#include <ctime>

#include "core/platform/EventLoop.h"
#include "core/platform/MessageBox.h"
#include "core/platform/SocketErrors.h"
#include "core/reception/SyslogSocket.h"

TcpReceiver g_tcpReceiver;
TcpReceiver g_tlsReceiver("TLS");

namespace {
constexpr long kAllEvents = 63;
constexpr int kBacklog = 1024; // a burst of reconnects after a restart waits here
constexpr int kAcceptsPerNotice = 64;
constexpr int kHandshakeCheckMs = 1000;

std::size_t AllConnections() {
    return g_tcpReceiver.ConnectionCount() + g_tlsReceiver.ConnectionCount();
}

void ResumeAllPaused() {
    g_tcpReceiver.ResumePaused();
    g_tlsReceiver.ResumePaused();
}

void ShowSocketError(const std::string& prefix) {
    AfxMessageBox(SocketErrorMessage(prefix, CAsyncSocket::GetLastError(),
                                     CAsyncSocket::GetLastSystemError()));
}

// Each message of the connection on the datagrams' road. False, which stops the stream,
// when the filter no longer admits the sender (the list changed since it connected).
FrameDecoder::MessageHandler DeliveryFrom(const TcpConnection& connection) {
    return [&connection](const std::string& message) {
        return g_listener.DeliverMessage(message.c_str(), connection.Peer());
    };
}
} // namespace

void TcpListeningSocket::OnReceive(int) {
    m_owner.AcceptWaiting(*this);
}

void TcpConnection::OnReceive(int) {
    m_owner.ReadFrom(*this);
}

// Only TLS asks for this: its handshake or read waits for room to send.
void TcpConnection::OnSend(int) {
    m_owner.ReadFrom(*this);
}

TcpReceiver::TcpReceiver(std::string name) : m_name(std::move(name)) {
    m_errors.SetName(m_name);
}

TcpReceiver::~TcpReceiver() {
    m_onChange = nullptr; // whoever showed the counts may be gone at exit
    Close();
}

bool TcpReceiver::Listen(std::uint16_t port, bool ipv6) {
    if (port == m_port && ipv6 == m_ipv6 && (port == 0 || !m_listeners.empty()))
        return true;
    if (port == 0) {
        Close();
        return true;
    }
    // Registered here, not at construction: both are globals of different files.
    g_listener.SetResumeHandler(ResumeAllPaused);
    // Connections already accepted go on; only the listening sockets change.
    m_listeners.clear();
    m_port = port;
    m_ipv6 = ipv6;
    bool opened = false;
    if (ipv6) {
        // One socket for both families; where the system refuses that, one for each.
        opened = OpenListener(Sockets::Family::IPv6, false) ||
                 (OpenListener(Sockets::Family::IPv6, true) &&
                  OpenListener(Sockets::Family::IPv4, false));
    } else {
        opened = OpenListener(Sockets::Family::IPv4, false);
    }
    if (!opened) {
        ShowSocketError("Syslog: Couldn't bind " + m_name + " socket " + std::to_string(port) +
                        ": ");
        m_listeners.clear();
    }
    Changed();
    return opened;
}

bool TcpReceiver::OpenListener(Sockets::Family family, bool ipv6Only) {
    const NativeSocket socket = Sockets::Create(family, Sockets::Kind::Stream);
    if (socket == Sockets::kInvalid)
        return false;
    Sockets::PrepareListeningPort(socket);
    const bool ready =
        (family == Sockets::Family::IPv4 || Sockets::SetIpv6Only(socket, ipv6Only)) &&
        Sockets::BindAny(socket, m_port, family) && Sockets::Listen(socket, kBacklog);
    auto listener = std::make_unique<TcpListeningSocket>(*this);
    if (!ready || !listener->Attach(socket, kAllEvents)) {
        Sockets::Close(socket);
        return false;
    }
    m_listeners.push_back(std::move(listener));
    return true;
}

void TcpReceiver::SetMaxMessage(std::size_t maxMessage) {
    m_maxMessage = maxMessage;
    for (auto& connection : m_connections)
        connection->Decoder().SetMaxMessage(maxMessage);
}

void TcpReceiver::SetTlsContext(std::shared_ptr<const TlsServerContext> context) {
    m_tls = std::move(context);
}

void TcpReceiver::Close() {
    m_handshakeTimer.reset();
    m_listeners.clear();
    m_connections.clear();
    m_closed.clear();
    m_port = 0;
    m_anyPaused = false;
    Changed();
}

std::uint64_t TcpReceiver::RefusedCount() const {
    return m_errors.CountOf(TcpError::kRefused) + m_errors.CountOf(TcpError::kOverLimit) +
           m_errors.CountOf(TcpError::kHandshake) + m_errors.CountOf(TcpError::kHandshakeTimeout);
}

std::string TcpReceiver::StatusText() const {
    std::string text = m_name + ": " + std::to_string(m_connections.size()) +
                       (m_connections.size() == 1 ? " connection" : " connections");
    std::uint64_t errors = m_errors.Total();
    if (m_tls || m_name == "TLS") {
        const std::uint64_t refused = RefusedCount();
        text += ", " + std::to_string(refused) + " refused";
        errors -= refused;
    }
    if (errors != 0)
        text += ", " + std::to_string(errors) + (errors == 1 ? " error" : " errors");
    return text;
}

void TcpReceiver::AcceptWaiting(TcpListeningSocket& listener) {
    if (g_listener.IsHeld()) {
        listener.PauseNotifications();
        m_anyPaused = true;
        return;
    }
    PurgeClosed();
    for (int accepted = 0; accepted < kAcceptsPerNotice; ++accepted) {
        std::string peer;
        const NativeSocket socket = Sockets::Accept(listener.m_hSocket, peer);
        if (socket == Sockets::kInvalid) {
            if (!CAsyncSocket::WouldBlock())
                Count(TcpError::kAccept);
            return;
        }
        Admit(socket, std::move(peer));
    }
}

void TcpReceiver::Admit(NativeSocket socket, std::string peer) {
    // Refused before anything is read: the filter is asked about the peer itself.
    if (g_listener.m_filterOn && !g_listener.IsPermittedSource(peer)) {
        Sockets::Close(socket);
        Count(TcpError::kRefused);
        return;
    }
    if (AllConnections() >= kMaxConnections) {
        Sockets::Close(socket);
        Count(TcpError::kOverLimit);
        return;
    }
    auto connection = std::make_unique<TcpConnection>(*this, std::move(peer), m_maxMessage);
    if (!connection->Attach(socket, kAllEvents)) {
        Sockets::Close(socket);
        Count(TcpError::kAccept);
        return;
    }
    if (m_tls) {
        connection->m_tls = TlsStream::Create(m_tls, socket);
        if (!connection->m_tls) {
            Count(TcpError::kAccept); // the connection's socket closes with it
            return;
        }
        connection->m_handshakeDeadline = std::time(nullptr) + kHandshakeSeconds;
        if (!m_handshakeTimer)
            m_handshakeTimer = std::make_unique<LoopTimer>(
                kHandshakeCheckMs, [this] { CloseLateHandshakes(std::time(nullptr)); });
        m_handshakeTimer->Start();
    }
    m_connections.push_back(std::move(connection));
    Changed();
}

void TcpReceiver::ReadFrom(TcpConnection& connection) {
    // A handshake delivers nothing, so it goes on while delivery is held.
    if (connection.m_tls && !connection.m_tls->Established() && !Handshake(connection))
        return;
    if (g_listener.IsHeld()) {
        connection.PauseNotifications();
        WatchWritable(connection, false);
        connection.m_paused = true;
        m_anyPaused = true;
        return;
    }
    PurgeClosed();
    if (connection.m_tls) {
        ReadTls(connection);
        return;
    }
    if (m_piece.empty())
        m_piece.resize(kReadPiece);
    // A full piece leaves the rest to the next notice. A short one emptied the socket: it is
    // read once more, since a close that came with those bytes is announced only once
    // (Windows), and would otherwise never be seen.
    for (int read = 0; read < 2; ++read) {
        const int received = connection.Receive(m_piece.data(), static_cast<int>(m_piece.size()));
        if (received == CAsyncSocket::SOCKET_ERROR && CAsyncSocket::WouldBlock())
            return;
        if (received <= 0) {
            if (received < 0)
                Count(TcpError::kReset);
            FinishStream(connection);
            CloseConnection(connection);
            return;
        }
        if (!Consume(connection, std::string_view(m_piece.data(), std::size_t(received)))) {
            CloseConnection(connection);
            return;
        }
        if (static_cast<std::size_t>(received) == m_piece.size())
            return;
    }
}

bool TcpReceiver::Handshake(TcpConnection& connection) {
    const TlsStream::Status status = connection.m_tls->Handshake();
    WatchWritable(connection, status == TlsStream::Status::kWantWrite);
    switch (status) {
    case TlsStream::Status::kDone:
        return true;
    case TlsStream::Status::kWantRead:
    case TlsStream::Status::kWantWrite:
        return false;
    case TlsStream::Status::kClosed:
    case TlsStream::Status::kFailed:
        break;
    }
    // Plain text, a failed handshake, a sender certificate refused: closed and counted.
    Count(TcpError::kHandshake,
          connection.Peer() + ": " +
              (status == TlsStream::Status::kClosed ? std::string("closed during the handshake")
                                                    : connection.m_tls->Reason()));
    CloseConnection(connection);
    return false;
}

// As the plain read, one piece per notice; TLS gives a record per call, so the piece is
// filled by several. What TLS already holds past a full piece is read on the next turn.
void TcpReceiver::ReadTls(TcpConnection& connection) {
    if (m_piece.empty())
        m_piece.resize(kReadPiece);
    TlsStream& tls = *connection.m_tls;
    std::size_t filled = 0;
    TlsStream::Status status = TlsStream::Status::kDone;
    while (filled < m_piece.size()) {
        std::size_t got = 0;
        status = tls.Read(m_piece.data() + filled, m_piece.size() - filled, got);
        if (status != TlsStream::Status::kDone)
            break;
        filled += got;
    }
    WatchWritable(connection, status == TlsStream::Status::kWantWrite);
    if (filled > 0 && !Consume(connection, std::string_view(m_piece.data(), filled))) {
        CloseConnection(connection);
        return;
    }
    switch (status) {
    case TlsStream::Status::kDone:
        // A full piece: the rest, in the socket or already in TLS, waits for its turn.
        ReadAgainLater(connection);
        return;
    case TlsStream::Status::kWantRead:
    case TlsStream::Status::kWantWrite:
        return;
    case TlsStream::Status::kFailed:
        Count(TcpError::kReset, connection.Peer() + ": " + tls.Reason());
        break;
    case TlsStream::Status::kClosed:
        break;
    }
    FinishStream(connection);
    CloseConnection(connection);
}

void TcpReceiver::WatchWritable(TcpConnection& connection, bool on) {
    if (connection.m_watchingWritable == on)
        return;
    connection.m_watchingWritable = on;
    connection.WatchWritable(on);
}

void TcpReceiver::ReadAgainLater(TcpConnection& connection) {
    connection.m_readAgain = true;
    if (m_readPosted)
        return;
    m_readPosted = true;
    PostToLoop([this] { ReadPosted(); });
}

void TcpReceiver::ReadPosted() {
    m_readPosted = false;
    std::vector<TcpConnection*> waiting;
    for (auto& connection : m_connections) {
        if (connection->m_readAgain) {
            connection->m_readAgain = false;
            waiting.push_back(connection.get());
        }
    }
    for (TcpConnection* connection : waiting) {
        // One read may close another connection of the list; only open ones are read.
        const bool open =
            std::any_of(m_connections.begin(), m_connections.end(),
                        [connection](const auto& entry) { return entry.get() == connection; });
        if (open && !connection->m_paused)
            ReadFrom(*connection);
    }
}

void TcpReceiver::CloseLateHandshakes(std::time_t now) {
    std::vector<TcpConnection*> late;
    for (auto& connection : m_connections) {
        // Whole seconds: "past" the deadline second, so no handshake gets less than its full time.
        if (connection->m_tls && !connection->m_tls->Established() &&
            now > connection->m_handshakeDeadline)
            late.push_back(connection.get());
    }
    for (TcpConnection* connection : late) {
        Count(TcpError::kHandshakeTimeout, connection->Peer());
        CloseConnection(*connection);
    }
}

// The peer closed or the connection failed: what arrived of a frame still counts.
void TcpReceiver::FinishStream(TcpConnection& connection) {
    g_listener.BeginDelivery(/*batch=*/true);
    connection.Decoder().Finish(DeliveryFrom(connection));
    g_listener.EndDelivery();
}

bool TcpReceiver::Consume(TcpConnection& connection, std::string_view bytes) {
    g_listener.BeginDelivery(/*batch=*/true);
    const FrameDecoder::Result result = connection.Decoder().Feed(bytes, DeliveryFrom(connection));
    g_listener.EndDelivery();
    if (result == FrameDecoder::Result::kFramingError)
        Count(TcpError::kFraming);
    else if (result == FrameDecoder::Result::kStopped)
        Count(TcpError::kRefused);
    return result == FrameDecoder::Result::kGoOn;
}

void TcpReceiver::CloseConnection(TcpConnection& connection) {
    const auto found =
        std::find_if(m_connections.begin(), m_connections.end(),
                     [&connection](const auto& entry) { return entry.get() == &connection; });
    if (found == m_connections.end())
        return;
    // This runs inside the connection's own notice, so it is destroyed later; the peer
    // learns of the close now.
    WatchWritable(connection, false);
    connection.ShutDown(2);
    m_closed.push_back(std::move(*found));
    m_connections.erase(found);
    Changed();
}

void TcpReceiver::ResumePaused() {
    if (!m_anyPaused)
        return;
    m_anyPaused = false;
    for (auto& listener : m_listeners)
        listener->ResumeNotifications();
    for (auto& connection : m_connections) {
        if (connection->m_paused) {
            connection->m_paused = false;
            connection->ResumeNotifications();
            // TLS may hold bytes the socket has no more, or wait to send.
            if (connection->m_tls)
                ReadAgainLater(*connection);
        }
    }
}

void TcpReceiver::Count(TcpError kind, const std::string& detail) {
    m_errors.Count(kind, std::time(nullptr), detail);
    Changed();
}

void TcpReceiver::PurgeClosed() {
    m_closed.clear();
}

void TcpReceiver::Changed() {
    if (m_onChange)
        m_onChange();
}
