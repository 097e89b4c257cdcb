#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/EventLoop.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
constexpr int kWaitMs = 2000;
// Long enough for a datagram on loopback to have arrived and been announced, if it will be.
constexpr int kQuietMs = 150;

// A UDP socket bound to an ephemeral loopback port, with plain socket calls so that these
// tests do not depend on the socket class built on top of the notifier.
class LoopbackSocket {
public:
    LoopbackSocket() {
        m_socket = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        Length length = sizeof address;
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~LoopbackSocket() {
#ifdef _WIN32
        closesocket(m_socket);
#else
        close(m_socket);
#endif
    }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    NativeSocket Handle() const {
        return m_socket;
    }
    bool IsBound() const {
        return m_port != 0;
    }

    void SendTo(const LoopbackSocket& target, const std::string& text) const {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(target.m_port);
        sendto(m_socket, text.data(), static_cast<int>(text.size()), 0,
               reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }

    std::string Receive() const {
        char buffer[256];
        // Never blocks: a stray notice must show up as a failed check, not hang the run. On
        // Windows the notifier has made the socket non-blocking already.
#ifdef MSG_DONTWAIT
        const int flags = MSG_DONTWAIT;
#else
        const int flags = 0;
#endif
        const auto length = recv(m_socket, buffer, sizeof buffer, flags);
        return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
    }

private:
#ifdef _WIN32
    using Length = int;
#else
    using Length = socklen_t;
#endif
    NativeSocket m_socket;
    std::uint16_t m_port = 0;
};

class SocketReadNotifierTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_receiver.IsBound() && m_sender.IsBound()); }

    // Reads one datagram per notice, as the listener does.
    SocketReadNotifier::Handler Reader() {
        return [this](int errorCode) {
            m_errorCodes.push_back(errorCode);
            m_received.push_back(m_receiver.Receive());
        };
    }
    bool ReceivedCount(std::size_t count) {
        return PumpEventsUntil([&] { return m_received.size() >= count; }, kWaitMs);
    }

    LoopbackSocket m_receiver;
    LoopbackSocket m_sender;
    std::vector<std::string> m_received;
    std::vector<int> m_errorCodes;
};
} // namespace

TEST_F(SocketReadNotifierTest, AnnouncesEachWaitingDatagramInTurn) {
    SocketReadNotifier notifier(m_receiver.Handle(), Reader());
    EXPECT_TRUE(notifier.IsEnabled());
    for (const char* text : {"first", "second", "third"})
        m_sender.SendTo(m_receiver, text);
    ASSERT_TRUE(ReceivedCount(3));
    EXPECT_EQ(m_received, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(m_errorCodes, (std::vector<int>{0, 0, 0}));
    PumpEventsFor(kQuietMs);
    EXPECT_EQ(m_received.size(), 3u) << "a notice came with nothing waiting";
}

TEST_F(SocketReadNotifierTest, DisabledNotifierAnnouncesTheWaitingDatagramOnceEnabled) {
    SocketReadNotifier notifier(m_receiver.Handle(), Reader());
    ASSERT_TRUE(notifier.SetEnabled(false));
    EXPECT_FALSE(notifier.IsEnabled());
    m_sender.SendTo(m_receiver, "held");
    PumpEventsFor(kQuietMs);
    EXPECT_TRUE(m_received.empty());

    ASSERT_TRUE(notifier.SetEnabled(true));
    ASSERT_TRUE(ReceivedCount(1));
    EXPECT_EQ(m_received.front(), "held");
}

TEST_F(SocketReadNotifierTest, NoticeQueuedForADestroyedNotifierIsDropped) {
    {
        SocketReadNotifier notifier(m_receiver.Handle(), Reader());
        m_sender.SendTo(m_receiver, "late");
        // Give the platform time to queue its notice before the notifier goes.
        std::this_thread::sleep_for(std::chrono::milliseconds(kQuietMs));
    }
    PumpEventsFor(kQuietMs);
    EXPECT_TRUE(m_received.empty());
}

TEST_F(SocketReadNotifierTest, EachSocketHasItsOwnNotices) {
    LoopbackSocket other;
    std::vector<std::string> otherReceived;
    SocketReadNotifier notifier(m_receiver.Handle(), Reader());
    SocketReadNotifier otherNotifier(other.Handle(),
                                     [&](int) { otherReceived.push_back(other.Receive()); });
    m_sender.SendTo(other, "to other");
    m_sender.SendTo(m_receiver, "to receiver");
    ASSERT_TRUE(PumpEventsUntil([&] { return m_received.size() == 1 && otherReceived.size() == 1; },
                                kWaitMs));
    EXPECT_EQ(m_received.front(), "to receiver");
    EXPECT_EQ(otherReceived.front(), "to other");
}

TEST(PumpEventsTest, ReportsWhetherTheConditionWasMet) {
    EXPECT_TRUE(PumpEventsUntil([] { return true; }, 0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(PumpEventsUntil([] { return false; }, 50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}
