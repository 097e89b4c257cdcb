#pragma once
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class SocketReadNotifier;

// POSIX signals delivered on the event loop's thread: the handler only writes the signal's
// number into a socket pair, whose read end the event loop watches; every signal that
// arrived since the last notice is handed on at once. One instance at a time. Windows has
// no such signals: there it watches nothing.
class SignalPipe {
public:
    using Handler = std::function<void(const std::vector<int>& arrived)>;

    SignalPipe(std::initializer_list<int> watched, Handler onSignals);
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

private:
    void OnReadable();

    std::vector<int> m_signals;
    Handler m_onSignals;
    int m_pair[2] = {-1, -1};
    std::unique_ptr<SocketReadNotifier> m_notifier;
};
