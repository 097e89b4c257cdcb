// The platform's headers come after our own: Winsock defines SOCKET_ERROR and FD_READ as
// macros, which would break the declarations of the same names in AsyncSocket.h.
#include "core/platform/AsyncSocket.h"

#include "core/platform/AddressText.h"
#include "core/platform/EventLoop.h"
#include "core/platform/SocketErrors.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
using SockLen = int;
#else
using SockLen = socklen_t;
#endif

struct LastError {
    int wsaCode = 0;
    int systemError = 0;
};
thread_local LastError t_lastError;

void RecordError(int systemError) {
    t_lastError.systemError = systemError;
    t_lastError.wsaCode = WsaCodeFromSystemError(systemError);
}

void RecordLastSystemError() {
#ifdef _WIN32
    RecordError(WSAGetLastError());
#else
    RecordError(errno);
#endif
}

// Reads must never block the GUI thread: a notice may find the queue already empty.
bool MakeNonBlocking(NativeSocket s) {
#ifdef _WIN32
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
#else
    const int flags = fcntl(s, F_GETFL);
    return flags != -1 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
#endif
}
// The sender's address text, or false for a family other than IPv4 and IPv6.
bool AddressTextOf(const sockaddr_storage& from, SockLen length, std::string& address,
                   unsigned& port) {
    if (from.ss_family == AF_INET && length >= static_cast<SockLen>(sizeof(sockaddr_in))) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(from);
        address = inet_ntoa(v4.sin_addr);
        port = ntohs(v4.sin_port);
        return true;
    }
    if (from.ss_family == AF_INET6 && length >= static_cast<SockLen>(sizeof(sockaddr_in6))) {
        // The zone of a link-local sender is left out: it names our interface, not the sender.
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(from);
        address = Ipv6AddressText(reinterpret_cast<const unsigned char*>(&v6.sin6_addr));
        port = ntohs(v6.sin6_port);
        return true;
    }
    return false;
}

bool LastCallWouldBlock() {
#ifdef _WIN32
    return t_lastError.systemError == WSAEWOULDBLOCK;
#else
    return t_lastError.systemError == EAGAIN || t_lastError.systemError == EWOULDBLOCK;
#endif
}

// Handle 0 means "no socket" to the listeners; a new handle is moved off it (stdin was
// closed). Returns kInvalid, with the error recorded, when that fails.
NativeSocket AwayFromZero(NativeSocket s) {
#ifdef _WIN32
    return s;
#else
    if (s != 0)
        return s;
    const int moved = fcntl(s, F_DUPFD_CLOEXEC, 1);
    const int error = errno;
    close(s);
    if (moved == -1) {
        RecordError(error);
        return Sockets::kInvalid;
    }
    return moved;
#endif
}

void SetOption(NativeSocket s, int level, int name, int value) {
    setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

void EnableKeepAlive(NativeSocket s) {
    SetOption(s, SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
    // A sender that vanished is found within about ten minutes instead of two hours.
    SetOption(s, IPPROTO_TCP, TCP_KEEPIDLE, 300);
    SetOption(s, IPPROTO_TCP, TCP_KEEPINTVL, 60);
    SetOption(s, IPPROTO_TCP, TCP_KEEPCNT, 5);
#endif
}
} // namespace

CAsyncSocket::CAsyncSocket() = default;

CAsyncSocket::~CAsyncSocket() {
    Close();
}

bool CAsyncSocket::Attach(NativeSocket socket, long events) {
    if (m_hSocket != 0 && m_hSocket != socket)
        Close();
    if (!MakeNonBlocking(socket)) {
        RecordLastSystemError();
        return false;
    }
    m_hSocket = socket;
    m_shutDown = false;
    m_readNotifier.reset();
    if (events & FD_READ) {
        m_readNotifier = std::make_unique<SocketReadNotifier>(
            socket, [this](int errorCode) { OnReceive(errorCode); });
        if (!m_readNotifier->IsEnabled()) {
            // The platform refused to announce this socket (Windows: WSAAsyncSelect).
            RecordLastSystemError();
            m_readNotifier.reset();
            m_hSocket = 0;
            return false;
        }
    }
    return true;
}

int CAsyncSocket::ReceiveFrom(void* buffer, int length, std::string& address, unsigned& port,
                              int flags) {
    if (length < 0) {
#ifdef _WIN32
        RecordError(WSAEINVAL);
#else
        RecordError(EINVAL);
#endif
        return SOCKET_ERROR;
    }
    sockaddr_storage from{};
    SockLen fromLength = sizeof from;
#ifdef _WIN32
    int received = recvfrom(m_hSocket, static_cast<char*>(buffer), length, flags,
                            reinterpret_cast<sockaddr*>(&from), &fromLength);
    // A datagram longer than the buffer fills it and reports WSAEMSGSIZE; the first
    // bytes and the sender are still good.
    if (received == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE)
        received = length;
#else
#ifdef __linux__
    // A longer datagram leaves its first bytes and its sender; MSG_TRUNC has Linux say so
    // by reporting the full length, which is cut back to the buffer's below.
    flags |= MSG_TRUNC;
#endif
    const auto received = recvfrom(m_hSocket, buffer, static_cast<std::size_t>(length), flags,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
#endif
    if (received < 0) {
        RecordLastSystemError();
        return SOCKET_ERROR;
    }
    AddressTextOf(from, fromLength, address, port);
    return received > length ? length : static_cast<int>(received);
}

int CAsyncSocket::Receive(void* buffer, int length) {
#ifdef _WIN32
    const int received = recv(m_hSocket, static_cast<char*>(buffer), length, 0);
#else
    const auto received = recv(m_hSocket, buffer, static_cast<std::size_t>(length), 0);
#endif
    if (received < 0) {
        RecordLastSystemError();
        return SOCKET_ERROR;
    }
    return static_cast<int>(received);
}

bool CAsyncSocket::ShutDown(int how) {
    m_shutDown = true;
    if (m_readNotifier)
        m_readNotifier->SetEnabled(false);
    if (m_hSocket == 0)
        return false;
    if (shutdown(m_hSocket, how) != 0) {
        RecordLastSystemError();
        return false;
    }
    return true;
}

void CAsyncSocket::Close() {
    m_readNotifier.reset();
    if (m_hSocket != 0)
        Sockets::Close(m_hSocket);
    m_hSocket = 0;
    m_shutDown = false;
}

void CAsyncSocket::PauseNotifications() {
    if (m_readNotifier)
        m_readNotifier->SetEnabled(false);
}

void CAsyncSocket::ResumeNotifications() {
    if (m_readNotifier && !m_shutDown)
        m_readNotifier->SetEnabled(true);
}

bool CAsyncSocket::WatchWritable(bool on) {
    if (!m_readNotifier)
        return false;
    if (!on)
        return m_readNotifier->WatchWritable(nullptr);
    return m_readNotifier->WatchWritable([this](int errorCode) { OnSend(errorCode); });
}

int CAsyncSocket::GetLastError() {
    return t_lastError.wsaCode;
}
int CAsyncSocket::GetLastSystemError() {
    return t_lastError.systemError;
}
bool CAsyncSocket::WouldBlock() {
    return LastCallWouldBlock();
}

void CAsyncSocket::OnReceive(int) {}

namespace Sockets {
bool Startup() {
#ifdef _WIN32
    // Version 1.1 is asked for and only 1.1 accepted, as the framework's AfxSocketInit does;
    // every Winsock 2 DLL still offers it.
    WSADATA data;
    const int result = WSAStartup(MAKEWORD(1, 1), &data);
    if (result != 0) {
        RecordError(result);
        return false;
    }
    if (data.wVersion != MAKEWORD(1, 1)) {
        WSACleanup();
        RecordError(WSAVERNOTSUPPORTED);
        return false;
    }
    return true;
#else
    return true;
#endif
}

NativeSocket CreateUdp() {
    return Create(Family::IPv4, Kind::Datagram);
}

NativeSocket Create(Family family, Kind kind) {
    const int domain = family == Family::IPv6 ? AF_INET6 : AF_INET;
    const int type = kind == Kind::Stream ? SOCK_STREAM : SOCK_DGRAM;
#ifdef _WIN32
    const SOCKET s = socket(domain, type, 0);
    if (s == INVALID_SOCKET) {
        RecordLastSystemError();
        return kInvalid;
    }
    // A child process must not inherit the port and keep it after we exit.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return s;
#else
#ifdef __linux__
    const int s = socket(domain, type | SOCK_CLOEXEC, 0);
#else
    const int s = socket(domain, type, 0);
    if (s != -1)
        fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
    if (s == -1) {
        RecordLastSystemError();
        return kInvalid;
    }
    return AwayFromZero(s);
#endif
}

bool BindAny(NativeSocket s, std::uint16_t port, Family family) {
    int result = 0;
    if (family == Family::IPv6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port);
        // sin6_addr stays all zero: the unspecified address.
        result = bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        static_assert(sizeof address == 16);
        result = bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (result != 0) {
        RecordLastSystemError();
        return false;
    }
    return true;
}

bool SetIpv6Only(NativeSocket s, bool only) {
    const int value = only ? 1 : 0;
    if (setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&value),
                   sizeof value) != 0) {
        RecordLastSystemError();
        return false;
    }
    return true;
}

void PrepareListeningPort(NativeSocket s) {
#ifdef _WIN32
    // SO_REUSEADDR would let another program bind the same port on Windows.
    SetOption(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
#else
    SetOption(s, SOL_SOCKET, SO_REUSEADDR, 1);
#endif
}

bool Listen(NativeSocket s, int backlog) {
    if (listen(s, backlog) != 0) {
        RecordLastSystemError();
        return false;
    }
    return true;
}

NativeSocket Accept(NativeSocket listener, std::string& peerAddress) {
    sockaddr_storage peer{};
    SockLen length = sizeof peer;
#ifdef __linux__
    NativeSocket s = accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
#else
    NativeSocket s = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
#endif
    if (s == kInvalid) {
        RecordLastSystemError();
        return kInvalid;
    }
#ifdef _WIN32
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // The new socket inherits the listener's WSAAsyncSelect, which would refuse FIONBIO
    // below and post its notices for a socket nobody watches yet.
    WSAEventSelect(s, nullptr, 0);
#elif !defined(__linux__)
    fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
    s = AwayFromZero(s);
    if (s == kInvalid)
        return kInvalid;
    unsigned port = 0;
    peerAddress.clear();
    AddressTextOf(peer, length, peerAddress, port);
    if (!MakeNonBlocking(s)) {
        RecordLastSystemError();
        Close(s);
        return kInvalid;
    }
    EnableKeepAlive(s);
    return s;
}

std::uint16_t LocalPort(NativeSocket s) {
    sockaddr_storage address{};
    SockLen length = sizeof address;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    std::string text;
    unsigned port = 0;
    return AddressTextOf(address, length, text, port) ? static_cast<std::uint16_t>(port) : 0;
}

void IgnoreBrokenPipes() {
#ifndef _WIN32
    static const bool ignored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)ignored;
#endif
}

void EnlargeReceiveBuffer(NativeSocket s, int bytes) {
    // Best effort: a smaller buffer only means that a long burst may lose datagrams.
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
#ifdef __linux__
    // The plain option is capped by net.core.rmem_max; root may go past the cap.
    if (geteuid() == 0)
        setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
#endif
}

bool SetNonBlocking(NativeSocket s) {
    return MakeNonBlocking(s);
}

void Close(NativeSocket s) {
#ifdef _WIN32
    closesocket(s);
#else
    close(s);
#endif
}
} // namespace Sockets
