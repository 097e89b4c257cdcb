// The platform's headers come after our own, as in AsyncSocket.cpp.
#include "core/platform/ClientSocket.h"

#include "core/platform/SocketErrors.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
constexpr int kSendFlags = 0;
int LastSocketError() {
    return WSAGetLastError();
}
bool IsInProgress(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}
bool IsWouldBlock(int error) {
    return error == WSAEWOULDBLOCK;
}
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
int LastSocketError() {
    return errno;
}
bool IsInProgress(int error) {
    return error == EINPROGRESS || error == EWOULDBLOCK || error == EAGAIN;
}
bool IsWouldBlock(int error) {
    return error == EWOULDBLOCK || error == EAGAIN || error == EINTR;
}
#endif

std::string ErrorText(const std::string& prefix, int systemError) {
    return SocketErrorMessage(prefix, WsaCodeFromSystemError(systemError), systemError);
}

// select() on one socket; on Windows its descriptor limit is the number of sockets, not the
// handle's value, and poll() there has known faults, so both use select.
bool WaitFor(NativeSocket s, bool write, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    fd_set* readSet = write ? nullptr : &set;
    fd_set* writeSet = write ? &set : nullptr;
    return select(static_cast<int>(s) + 1, readSet, writeSet, nullptr, &limit) > 0;
}

int PendingError(NativeSocket s) {
    int error = 0;
#ifdef _WIN32
    int length = sizeof error;
#else
    socklen_t length = sizeof error;
#endif
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    return error;
}

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first)
            freeaddrinfo(first);
    }
};

bool Resolve(const std::string& host, std::uint16_t port, int type, AddressList& list,
             std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    const std::string service = std::to_string(port);
    const int result = getaddrinfo(host.c_str(), service.c_str(), &hints, &list.first);
    if (result == 0 && list.first)
        return true;
    error = host + ": the name could not be resolved";
    return false;
}

Sockets::Family FamilyOf(const addrinfo& address) {
    return address.ai_family == AF_INET6 ? Sockets::Family::IPv6 : Sockets::Family::IPv4;
}

// One attempt: kInvalid with `error` set when the address does not answer in time.
NativeSocket ConnectTo(const addrinfo& address, int timeoutMs, std::string& error) {
    const NativeSocket s = Sockets::Create(FamilyOf(address), Sockets::Kind::Stream);
    if (s == Sockets::kInvalid || !Sockets::SetNonBlocking(s)) {
        error = ErrorText("socket: ", LastSocketError());
        if (s != Sockets::kInvalid)
            Sockets::Close(s);
        return Sockets::kInvalid;
    }
    int failure = 0;
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        failure = LastSocketError();
        if (IsInProgress(failure))
            failure = WaitFor(s, true, timeoutMs) ? PendingError(s) : -1;
    }
    if (failure == 0) {
        const int on = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        return s;
    }
    error = failure == -1 ? std::string("no answer") : ErrorText("", failure);
    Sockets::Close(s);
    return Sockets::kInvalid;
}
} // namespace

namespace ClientSockets {
NativeSocket ConnectStream(const std::string& host, std::uint16_t port, int timeoutMs,
                           std::string& error) {
    AddressList list;
    if (!Resolve(host, port, SOCK_STREAM, list, error))
        return Sockets::kInvalid;
    std::string reason;
    for (const addrinfo* address = list.first; address; address = address->ai_next) {
        const NativeSocket s = ConnectTo(*address, timeoutMs, reason);
        if (s != Sockets::kInvalid)
            return s;
    }
    error = host + ":" + std::to_string(port) + ": " + reason;
    return Sockets::kInvalid;
}

NativeSocket ConnectDatagram(const std::string& host, std::uint16_t port, std::string& error) {
    AddressList list;
    if (!Resolve(host, port, SOCK_DGRAM, list, error))
        return Sockets::kInvalid;
    const NativeSocket s = Sockets::Create(FamilyOf(*list.first), Sockets::Kind::Datagram);
    if (s != Sockets::kInvalid &&
        connect(s, list.first->ai_addr, static_cast<int>(list.first->ai_addrlen)) == 0 &&
        Sockets::SetNonBlocking(s))
        return s;
    error = ErrorText(host + ":" + std::to_string(port) + ": ", LastSocketError());
    if (s != Sockets::kInvalid)
        Sockets::Close(s);
    return Sockets::kInvalid;
}

bool WaitWritable(NativeSocket s, int timeoutMs) {
    return WaitFor(s, true, timeoutMs);
}

bool WaitReadable(NativeSocket s, int timeoutMs) {
    return WaitFor(s, false, timeoutMs);
}

long SendSome(NativeSocket s, const char* data, std::size_t length, std::string& error) {
    const int chunk = length > 1 << 30 ? 1 << 30 : static_cast<int>(length);
    const auto sent = send(s, data, chunk, kSendFlags);
    if (sent >= 0)
        return static_cast<long>(sent);
    const int failure = LastSocketError();
    if (IsWouldBlock(failure))
        return 0;
    error = ErrorText("", failure);
    return -1;
}

bool PeerHasClosed(NativeSocket s) {
    char scratch[4096];
    while (WaitFor(s, false, 0)) {
        const auto got = recv(s, scratch, sizeof scratch, 0);
        if (got > 0)
            continue;
        return got == 0 || !IsWouldBlock(LastSocketError());
    }
    return false;
}
} // namespace ClientSockets
