#pragma once
#include <cstdint>
#include <memory>
#include <string>

class SocketReadNotifier; // core/platform/EventLoop.h

#ifdef _WIN32
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

// The asynchronous socket: a native socket handle whose readiness to read is announced
// on the GUI thread through the event loop (SocketReadNotifier), as OnReceive.
class CAsyncSocket {
public:
    enum Event : long {
        FD_READ = 1,
        FD_WRITE = 2,
        FD_OOB = 4,
        FD_ACCEPT = 8,
        FD_CONNECT = 16,
        FD_CLOSE = 32
    };
    static constexpr int SOCKET_ERROR = -1;

    CAsyncSocket();          // out of line: the notifier's type is only known there
    virtual ~CAsyncSocket(); // closes m_hSocket when one is held
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    // Takes over `socket` and asks for the given events; only reading is ever announced.
    bool Attach(NativeSocket socket, long events);
    // One datagram into `buffer`: its length, or SOCKET_ERROR. On success `address` is the
    // sender's address (IPv4 as inet_ntoa writes it, IPv6 in canonical form, an IPv4-mapped
    // sender as IPv4) and `port` its port in host order.
    int ReceiveFrom(void* buffer, int length, std::string& address, unsigned& port, int flags = 0);
    // Bytes of a stream into `buffer`: their count, 0 once the peer has closed, or
    // SOCKET_ERROR (WouldBlock() tells an empty socket from a failure).
    int Receive(void* buffer, int length);
    // Shuts the socket down (2: both directions) and stops the notices for good.
    bool ShutDown(int how = 2);
    // Stops the notices and closes the handle; m_hSocket is 0 afterwards.
    void Close();

    // Stops and restarts the read notices without touching the socket; a datagram left
    // unread while notices are paused is announced again once they resume.
    void PauseNotifications();
    void ResumeNotifications();
    // While on, room to send on the socket is announced as OnSend (after a send found it
    // full); false when the platform refused.
    bool WatchWritable(bool on);

    // The Windows Sockets error code of the last failed call on this thread.
    static int GetLastError();
    // The operating system's own number for that error (errno; on Windows the same code).
    static int GetLastSystemError();
    // Whether the last failed call only found nothing to read or accept.
    static bool WouldBlock();

    virtual void OnReceive(int errorCode);
    virtual void OnSend(int) {}
    virtual void OnOutOfBandData(int) {}
    virtual void OnAccept(int) {}
    virtual void OnConnect(int) {}
    virtual void OnClose(int) {}

    NativeSocket m_hSocket = 0; // 0: no socket attached

private:
    std::unique_ptr<SocketReadNotifier> m_readNotifier;
    bool m_shutDown = false; // a shut-down socket reads as always ready: no notices then
};

// Socket calls of the platform, with errors as Windows Sockets codes.
namespace Sockets {
enum class Family { IPv4, IPv6 };
enum class Kind { Datagram, Stream };

bool Startup();           // WSAStartup for 1.1 sockets on Windows; true elsewhere
NativeSocket CreateUdp(); // socket(AF_INET, SOCK_DGRAM, 0); kInvalid on failure
// A socket that no child process inherits and whose handle is never 0; kInvalid on failure.
NativeSocket Create(Family family, Kind kind);
constexpr NativeSocket kInvalid = static_cast<NativeSocket>(-1);
// The unspecified address ([::] or 0.0.0.0) and port; an IPv4 socket is bound without
// address reuse.
bool BindAny(NativeSocket s, std::uint16_t port, Family family = Family::IPv4);
// IPV6_V6ONLY, set explicitly: systems differ in its default (Windows: on, Linux: off).
bool SetIpv6Only(NativeSocket s, bool only);
// A listening port that a restart may bind again while old connections linger, but that no
// other program can take over while it is bound. Before BindAny.
void PrepareListeningPort(NativeSocket s);
bool Listen(NativeSocket s, int backlog);
// The next waiting connection, non-blocking and with TCP keepalive on, and its peer's
// address as ReceiveFrom writes it; kInvalid when none waits or on failure.
NativeSocket Accept(NativeSocket listener, std::string& peerAddress);
std::uint16_t LocalPort(NativeSocket s); // the bound port, host order
void EnlargeReceiveBuffer(NativeSocket s, int bytes);
// Calls on the socket return at once instead of waiting; false when the platform refused.
bool SetNonBlocking(NativeSocket s);
// A send to a peer that has gone gives an error instead of ending the program (SIGPIPE is
// ignored where there is one). For sockets written by a library (OpenSSL's handshakes).
void IgnoreBrokenPipes();
void Close(NativeSocket s);
} // namespace Sockets
