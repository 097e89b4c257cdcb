#pragma once
#include <functional>
#include <memory>

#include "core/platform/AsyncSocket.h"

// Readiness of a socket to read, announced on the thread that pumps the event loop. Off
// Windows this is Qt Core's loop (QSocketNotifier); on Windows it is the framework's way, a
// hidden message-only window that WSAAsyncSelect posts to, so it needs no Qt and is pumped by
// any Windows message loop, Qt's included.
//
// A notice comes when a datagram or stream bytes wait, when a listening socket has a
// connection to accept, and when a stream's peer has closed. A handler that leaves it unread may be
// called again at once (Qt) or only after the next read (Windows): pause the notifier instead.
class SocketReadNotifier {
public:
    using Handler = std::function<void(int errorCode)>;

    // Starts enabled. The socket must stay open while the notifier lives.
    SocketReadNotifier(NativeSocket socket, Handler onReadable);
    ~SocketReadNotifier();
    SocketReadNotifier(const SocketReadNotifier&) = delete;
    SocketReadNotifier& operator=(const SocketReadNotifier&) = delete;

    // Disabling stops the notices; enabling again announces a datagram that waited. False
    // when the platform refused (the error is the socket's last error).
    bool SetEnabled(bool enabled);
    bool IsEnabled() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// Dispatches the thread's pending events and those that arrive until `done` returns true or
// `timeoutMs` milliseconds have passed; true when `done` was met. For tests and tools that
// have no loop of their own.
bool PumpEventsUntil(const std::function<bool()>& done, int timeoutMs);

// Dispatches events for `milliseconds`, whether any come or not.
void PumpEventsFor(int milliseconds);

// Runs the thread's event loop until QuitEventLoop. On Qt a core application must exist.
void RunEventLoop();
// Ends RunEventLoop. On Windows it may be called from any thread, also before the loop
// has started; elsewhere only from the loop's own thread.
void QuitEventLoop();
