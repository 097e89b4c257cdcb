// The platform's headers come after our own: Winsock defines FD_READ and SOCKET_ERROR as
// macros, which would break the declarations of the same names in AsyncSocket.h.
#include "core/platform/EventLoop.h"

#include <atomic>
#include <chrono>
#include <unordered_map>

#include <winsock2.h> // before windows.h, which would bring the old Winsock

#include <windows.h>

struct SocketReadNotifier::Impl {
    SOCKET socket;
    Handler onReadable;
    bool enabled = false;
    Handler onWritable; // while sending waits for room
};

struct LoopTimer::Impl {
    UINT_PTR id = 0;
    int intervalMs = 0;
    std::function<void()> onTimeout;
    bool active = false;
};

namespace {
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kPostedCallMessage = WM_APP + 2;
constexpr const char* kWindowClass = "MarovindSocketWindow";
// A listening socket announces a connection to accept, a stream the peer's close: both are
// answered by reading, as data is.
constexpr long kReadEvents = FD_READ | FD_ACCEPT | FD_CLOSE;

// Notices still queued for a socket whose notifier is gone are dropped by this lookup, so a
// late message never reaches a destroyed handler.
std::unordered_map<SOCKET, SocketReadNotifier::Impl*>& Notifiers() {
    static std::unordered_map<SOCKET, SocketReadNotifier::Impl*> notifiers;
    return notifiers;
}

std::unordered_map<UINT_PTR, LoopTimer::Impl*>& Timers() {
    static std::unordered_map<UINT_PTR, LoopTimer::Impl*> timers;
    return timers;
}

LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        const auto found = Timers().find(static_cast<UINT_PTR>(wParam));
        if (found != Timers().end() && found->second->active) {
            const std::function<void()> handler = found->second->onTimeout; // may stop it
            handler();
        }
        return 0;
    }
    if (message == kPostedCallMessage) {
        std::unique_ptr<std::function<void()>> call(
            reinterpret_cast<std::function<void()>*>(lParam));
        (*call)();
        return 0;
    }
    if (message != kSocketMessage)
        return DefWindowProcA(window, message, wParam, lParam);
    const auto found = Notifiers().find(static_cast<SOCKET>(wParam));
    // A notice posted before the notifier was disabled may still be in the queue.
    if (found != Notifiers().end() && found->second->enabled &&
        (WSAGETSELECTEVENT(lParam) & kReadEvents) != 0) {
        // Copied: the handler may destroy its own notifier.
        const SocketReadNotifier::Handler handler = found->second->onReadable;
        handler(WSAGETSELECTERROR(lParam));
        return 0;
    }
    if (found != Notifiers().end() && found->second->enabled &&
        (WSAGETSELECTEVENT(lParam) & FD_WRITE) != 0 && found->second->onWritable) {
        const SocketReadNotifier::Handler handler = found->second->onWritable;
        handler(WSAGETSELECTERROR(lParam));
    }
    return 0;
}

// Message-only windows need no display, so this works in services and under a headless
// wine as well. Created on first use by the thread that pumps the loop.
HWND SocketWindow() {
    static const HWND window = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = SocketWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        RegisterClassA(&windowClass);
        return CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
    }();
    return window;
}

bool Select(SOCKET socket, bool read, bool write = false) {
    const HWND window = SocketWindow();
    if (!window) {
        WSASetLastError(WSAENOBUFS);
        return false;
    }
    const long events = (read ? kReadEvents : 0) | (read && write ? FD_WRITE : 0);
    return WSAAsyncSelect(socket, window, read ? kSocketMessage : 0, events) == 0;
}
} // namespace

SocketReadNotifier::SocketReadNotifier(NativeSocket socket, Handler onReadable)
    : m_impl(std::make_unique<Impl>(
          Impl{static_cast<SOCKET>(socket), std::move(onReadable), false, nullptr})) {
    Notifiers()[m_impl->socket] = m_impl.get();
    SetEnabled(true);
}

SocketReadNotifier::~SocketReadNotifier() {
    SetEnabled(false);
    const auto found = Notifiers().find(m_impl->socket);
    if (found != Notifiers().end() && found->second == m_impl.get())
        Notifiers().erase(found);
}

bool SocketReadNotifier::SetEnabled(bool enabled) {
    if (enabled == m_impl->enabled)
        return true;
    // Asking again for FD_READ posts a notice at once when a datagram is already waiting.
    if (!Select(m_impl->socket, enabled, m_impl->onWritable != nullptr))
        return false;
    m_impl->enabled = enabled;
    return true;
}

bool SocketReadNotifier::IsEnabled() const {
    return m_impl->enabled;
}

bool SocketReadNotifier::WatchWritable(Handler onWritable) {
    const bool was = m_impl->onWritable != nullptr;
    m_impl->onWritable = std::move(onWritable);
    const bool now = m_impl->onWritable != nullptr;
    // FD_WRITE comes after a send that found the socket full, once there is room again.
    if (was == now || !m_impl->enabled)
        return true;
    return Select(m_impl->socket, true, now);
}

LoopTimer::LoopTimer(int intervalMs, std::function<void()> onTimeout)
    : m_impl(std::make_unique<Impl>()) {
    static UINT_PTR nextId = 1;
    m_impl->id = nextId++;
    m_impl->intervalMs = intervalMs;
    m_impl->onTimeout = std::move(onTimeout);
    Timers()[m_impl->id] = m_impl.get();
}

LoopTimer::~LoopTimer() {
    Stop();
    Timers().erase(m_impl->id);
}

void LoopTimer::Start() {
    if (m_impl->active)
        return;
    if (SetTimer(SocketWindow(), m_impl->id, static_cast<UINT>(m_impl->intervalMs), nullptr) != 0)
        m_impl->active = true;
}

void LoopTimer::Stop() {
    if (!m_impl->active)
        return;
    KillTimer(SocketWindow(), m_impl->id);
    m_impl->active = false;
}

bool LoopTimer::IsActive() const {
    return m_impl->active;
}

void PostToLoop(std::function<void()> call) {
    auto* posted = new std::function<void()>(std::move(call));
    if (!PostMessageA(SocketWindow(), kPostedCallMessage, 0, reinterpret_cast<LPARAM>(posted)))
        delete posted;
}

bool PumpEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done && done())
            return true;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        // Rounded up, or the last fraction of a millisecond would end the wait early.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void PumpEventsFor(int milliseconds) {
    PumpEventsUntil(nullptr, milliseconds);
}

namespace {
std::atomic<DWORD> g_loopThread{0};
std::atomic<bool> g_quitRequested{false};
} // namespace

void RunEventLoop() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists now
    g_loopThread = GetCurrentThreadId();
    if (g_quitRequested.exchange(false))
        return;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    g_quitRequested = false;
}

void QuitEventLoop() {
    g_quitRequested = true;
    if (const DWORD thread = g_loopThread)
        PostThreadMessageA(thread, WM_QUIT, 0, 0);
}
