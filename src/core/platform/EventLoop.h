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
    // Also announce, to `onWritable`, that the socket can take more bytes to send, or stop
    // (a null handler). For a stream whose send found the socket full (TLS handshakes);
    // false when the platform refused.
    bool WatchWritable(Handler onWritable);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// A callback every `intervalMs` milliseconds on the thread that pumps the event loop, from
// Start until Stop or destruction.
class LoopTimer {
public:
    LoopTimer(int intervalMs, std::function<void()> onTimeout);
    ~LoopTimer();
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;
    void Start();
    void Stop();
    bool IsActive() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// Calls `call` once from the event loop, after the events already waiting.
void PostToLoop(std::function<void()> call);

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
