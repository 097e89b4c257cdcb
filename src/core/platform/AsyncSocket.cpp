// The platform's headers come after our own: Winsock defines SOCKET_ERROR and FD_READ as
// macros, which would break the declarations of the same names in AsyncSocket.h.
#include "core/platform/AsyncSocket.h"

#include "core/platform/EventLoop.h"
#include "core/platform/SocketErrors.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
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
    sockaddr_in from{};
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
    if (from.sin_family == AF_INET && fromLength >= static_cast<SockLen>(sizeof from)) {
        address = inet_ntoa(from.sin_addr);
        port = ntohs(from.sin_port);
    }
    return received > length ? length : static_cast<int>(received);
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

int CAsyncSocket::GetLastError() {
    return t_lastError.wsaCode;
}
int CAsyncSocket::GetLastSystemError() {
    return t_lastError.systemError;
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
#ifdef _WIN32
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        RecordLastSystemError();
        return kInvalid;
    }
    // A child process must not inherit the port and keep it after we exit.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return s;
#else
#ifdef __linux__
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
#else
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s != -1)
        fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
    if (s == -1) {
        RecordLastSystemError();
        return kInvalid;
    }
    if (s == 0) {
        // Handle 0 means "no socket" to the listener; move off it (stdin was closed).
        const int moved = fcntl(s, F_DUPFD_CLOEXEC, 1);
        const int error = errno;
        close(s);
        if (moved == -1) {
            RecordError(error);
            return kInvalid;
        }
        s = moved;
    }
    return s;
#endif
}

bool BindAny(NativeSocket s, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    static_assert(sizeof address == 16);
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        RecordLastSystemError();
        return false;
    }
    return true;
}

std::uint16_t LocalPort(NativeSocket s) {
    sockaddr_in address{};
    SockLen length = sizeof address;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
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

void Close(NativeSocket s) {
#ifdef _WIN32
    closesocket(s);
#else
    close(s);
#endif
}
} // namespace Sockets
