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
};

namespace {
constexpr UINT kSocketMessage = WM_APP + 1;
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

LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kSocketMessage)
        return DefWindowProcA(window, message, wParam, lParam);
    const auto found = Notifiers().find(static_cast<SOCKET>(wParam));
    // A notice posted before the notifier was disabled may still be in the queue.
    if (found != Notifiers().end() && found->second->enabled &&
        (WSAGETSELECTEVENT(lParam) & kReadEvents) != 0) {
        // Copied: the handler may destroy its own notifier.
        const SocketReadNotifier::Handler handler = found->second->onReadable;
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

bool Select(SOCKET socket, bool read) {
    const HWND window = SocketWindow();
    if (!window) {
        WSASetLastError(WSAENOBUFS);
        return false;
    }
    return WSAAsyncSelect(socket, window, read ? kSocketMessage : 0, read ? kReadEvents : 0) == 0;
}
} // namespace

SocketReadNotifier::SocketReadNotifier(NativeSocket socket, Handler onReadable)
    : m_impl(std::make_unique<Impl>(Impl{static_cast<SOCKET>(socket), std::move(onReadable)})) {
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
    if (!Select(m_impl->socket, enabled))
        return false;
    m_impl->enabled = enabled;
    return true;
}

bool SocketReadNotifier::IsEnabled() const {
    return m_impl->enabled;
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
