#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "RecordingWindow.h"
#include "core/platform/AsyncSocket.h"
#include "core/platform/EventLoop.h"
#include "core/platform/MessageBox.h"
#include "core/platform/MessageTarget.h"
#include "core/reception/SyslogRecord.h"
#include "core/reception/SyslogSocket.h"

#ifdef _WIN32
#include <winsock2.h>
// windows.h turns this name into a macro; here it is the main window's own.
#undef SendMessage
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
// A plain UDP socket that sends to the listener from 127.0.0.1.
class Sender {
public:
    Sender() : m_socket(Sockets::CreateUdp()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = inet_addr("127.0.0.1");
        EXPECT_EQ(bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    }
    ~Sender() { Sockets::Close(m_socket); }
    void Send(std::uint16_t port, const std::string& datagram) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = inet_addr("127.0.0.1");
        const long long sent = sendto(m_socket, datagram.data(), static_cast<int>(datagram.size()),
                                      0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ASSERT_EQ(sent, static_cast<long long>(datagram.size()));
    }

private:
    NativeSocket m_socket;
};

constexpr int kWaitMs = 10000;
// Long enough for a datagram on loopback to have arrived and been announced, if it will be.
constexpr int kQuietMs = 100;

// Counts the notices that reach the handler.
class CountingListener : public SyslogSocket {
public:
    void OnReceive(int errorCode) override {
        ++notices;
        SyslogSocket::OnReceive(errorCode);
    }
    int notices = 0;
};

class ListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousBox = SetMessageBoxHandler([this](const std::string& text) {
            boxes.push_back(text);
            return IDOK;
        });
        AfxSetMainWnd(&window);
    }
    void TearDown() override {
        AfxSetMainWnd(nullptr);
        SetMessageBoxHandler(std::move(m_previousBox));
    }
    // Opens on an ephemeral port and lowers the flag, as start-up's first rebuild does.
    std::uint16_t OpenListening(SyslogSocket& listener) {
        EXPECT_TRUE(listener.Open(0));
        listener.m_suspended = 0;
        return Sockets::LocalPort(listener.m_hSocket);
    }
    bool WaitForRecords(std::size_t count) {
        return PumpEventsUntil([&] { return window.records.size() >= count; }, kWaitMs);
    }

    RecordingWindow window;
    std::vector<std::string> boxes;

private:
    MessageBoxHandler m_previousBox;
};
} // namespace

TEST_F(ListenerTest, DeliversDecodedRecordsInArrivalOrder) {
    SyslogSocket listener;
    const std::uint16_t port = OpenListening(listener);
    ASSERT_NE(port, 0);
    Sender sender;
    // More than one notice's worth, so the later notices must pick up the rest.
    constexpr int kCount = 600;
    for (int i = 0; i < kCount; ++i)
        sender.Send(port, "<34>message " + std::to_string(i));
    ASSERT_TRUE(WaitForRecords(kCount));
    ASSERT_EQ(window.records.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        const ReceivedRecord& r = window.records[static_cast<std::size_t>(i)];
        ASSERT_EQ(r.text, "message " + std::to_string(i));
        EXPECT_EQ(r.address, "127.0.0.1");
        EXPECT_EQ(r.facility, "auth");
        EXPECT_EQ(r.severity, "crit");
        EXPECT_EQ(r.time.size(), 15u);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ListenerTest, OneNoticeReadsAtMostItsShare) {
    SyslogSocket listener;
    const std::uint16_t port = OpenListening(listener);
    listener.m_suspended = 1;
    Sender sender;
    constexpr int kCount = SyslogSocket::kDatagramsPerNotice + 20;
    for (int i = 0; i < kCount; ++i)
        sender.Send(port, std::to_string(i));
    listener.m_suspended = 0;
    listener.OnReceive(0);
    EXPECT_LE(window.records.size(), static_cast<std::size_t>(SyslogSocket::kDatagramsPerNotice));
    ASSERT_TRUE(WaitForRecords(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(window.records[static_cast<std::size_t>(i)].text, std::to_string(i));
}

TEST_F(ListenerTest, LongDatagramIsCutAndKeepsItsSender) {
    SyslogSocket listener;
    const std::uint16_t port = OpenListening(listener);
    Sender sender;
    const std::string body(1500 - 4, 'a');
    sender.Send(port, "<13>" + body);
    sender.Send(port, "<13>after");
    ASSERT_TRUE(WaitForRecords(2));
    EXPECT_EQ(window.records[0].text, body.substr(0, 1024 - 4));
    EXPECT_EQ(window.records[0].address, "127.0.0.1");
    EXPECT_EQ(window.records[0].severity, "notice");
    EXPECT_EQ(window.records[1].text, "after");
}

TEST_F(ListenerTest, ZeroByteAndEmptyDatagrams) {
    SyslogSocket listener;
    const std::uint16_t port = OpenListening(listener);
    Sender sender;
    sender.Send(port, std::string("<13>up to\0hidden", 16));
    sender.Send(port, "");
    ASSERT_TRUE(WaitForRecords(2));
    EXPECT_EQ(window.records[0].text, "up to");
    EXPECT_EQ(window.records[1].text, "");
    EXPECT_EQ(window.records[1].facility, "user");
    EXPECT_EQ(window.records[1].severity, "info");
    EXPECT_EQ(window.records[1].address, "127.0.0.1");
}

TEST_F(ListenerTest, FilterDropsUnlistedSenders) {
    CountingListener listener;
    const std::uint16_t port = OpenListening(listener);
    Sender sender; // from 127.0.0.1
    listener.m_filterOn = true;
    listener.m_permittedAddresses = {"10.9.9.9", "127.0.0.10", " 127.0.0.1", "127.0.0.1 "};
    sender.Send(port, "dropped 1");
    sender.Send(port, "dropped 2");
    // The notice reads what is queued: dropped datagrams are gone, not left for later.
    ASSERT_TRUE(PumpEventsUntil([&] { return listener.notices >= 1; }, kWaitMs));
    listener.m_permittedAddresses.push_back("127.0.0.1");
    sender.Send(port, "kept");
    ASSERT_TRUE(WaitForRecords(1));
    listener.m_filterOn = false;
    listener.m_permittedAddresses.clear();
    sender.Send(port, "unfiltered");
    ASSERT_TRUE(WaitForRecords(2));
    PumpEventsFor(kQuietMs);
    ASSERT_EQ(window.records.size(), 2u);
    EXPECT_EQ(window.records[0].text, "kept");
    EXPECT_EQ(window.records[1].text, "unfiltered");
}

TEST_F(ListenerTest, EmptyPermittedListDropsEverything) {
    CountingListener listener;
    const std::uint16_t port = OpenListening(listener);
    listener.m_filterOn = true;
    Sender sender;
    sender.Send(port, "dropped");
    // The notice reads what is queued: the datagram is gone, not left for later.
    ASSERT_TRUE(PumpEventsUntil([&] { return listener.notices >= 1; }, kWaitMs));
    listener.m_filterOn = false;
    sender.Send(port, "kept");
    ASSERT_TRUE(WaitForRecords(1));
    PumpEventsFor(kQuietMs);
    ASSERT_EQ(window.records.size(), 1u);
    EXPECT_EQ(window.records[0].text, "kept");
}

TEST_F(ListenerTest, SuspensionHoldsDatagramsWithoutSpinningAndResumes) {
    CountingListener listener;
    const std::uint16_t port = OpenListening(listener);
    listener.m_suspended = 1;
    Sender sender;
    for (int i = 0; i < 5; ++i)
        sender.Send(port, "held " + std::to_string(i));
    ASSERT_TRUE(PumpEventsUntil([&] { return listener.notices >= 1; }, kWaitMs));
    // A paused notifier is not announced again while the flag stays raised.
    PumpEventsFor(kQuietMs);
    EXPECT_EQ(listener.notices, 1);
    EXPECT_TRUE(window.records.empty());

    listener.m_suspended = 0;
    ASSERT_TRUE(WaitForRecords(5));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(window.records[static_cast<std::size_t>(i)].text, "held " + std::to_string(i));
}

TEST_F(ListenerTest, RaisingTheFlagDuringDeliveryStopsReading) {
    SyslogSocket listener;
    const std::uint16_t port = OpenListening(listener);
    listener.m_suspended = 1;
    Sender sender;
    for (int i = 0; i < 3; ++i)
        sender.Send(port, std::to_string(i));
    // A rebuild started by the first record suspends reception until it is lifted.
    window.onRecord = [&] { listener.m_suspended = 1; };
    listener.m_suspended = 0;
    ASSERT_TRUE(WaitForRecords(1));
    PumpEventsFor(kQuietMs);
    EXPECT_EQ(window.records.size(), 1u);
    window.onRecord = nullptr;
    listener.m_suspended = 0;
    ASSERT_TRUE(WaitForRecords(3));
    EXPECT_EQ(window.records[2].text, "2");
}

TEST_F(ListenerTest, NoticeDuringDeliveryWaitsForIt) {
    SyslogSocket listener;
    const std::uint16_t port = OpenListening(listener);
    Sender sender;
    // A modal loop inside the delivery (a message box) dispatches notices; they must not
    // deliver a second record while the first is still being handled.
    std::size_t nestedDeliveries = 0;
    bool inDelivery = false;
    window.onRecord = [&] {
        if (inDelivery) {
            ++nestedDeliveries;
            return;
        }
        if (window.records.back().text != "first")
            return;
        inDelivery = true;
        sender.Send(port, "second");
        PumpEventsFor(kQuietMs);
        inDelivery = false;
    };
    sender.Send(port, "first");
    ASSERT_TRUE(WaitForRecords(2));
    PumpEventsFor(kQuietMs);
    EXPECT_EQ(window.records.size(), 2u);
    EXPECT_EQ(nestedDeliveries, 0u);
    EXPECT_EQ(window.records[0].text, "first");
    EXPECT_EQ(window.records[1].text, "second");
}

TEST_F(ListenerTest, WithoutMainWindowDatagramsAreDiscarded) {
    CountingListener listener;
    const std::uint16_t port = OpenListening(listener);
    // A notice that finds nothing queued yields no record.
    listener.OnReceive(0);
    EXPECT_TRUE(window.records.empty());

    AfxSetMainWnd(nullptr);
    const int before = listener.notices;
    Sender sender;
    sender.Send(port, "nobody sees this");
    ASSERT_TRUE(PumpEventsUntil([&] { return listener.notices > before; }, kWaitMs));
    AfxSetMainWnd(&window);
    sender.Send(port, "seen");
    ASSERT_TRUE(WaitForRecords(1));
    PumpEventsFor(kQuietMs);
    ASSERT_EQ(window.records.size(), 1u);
    EXPECT_EQ(window.records[0].text, "seen");
}

TEST_F(ListenerTest, SecondListenerOnSamePortFailsToBind) {
    SyslogSocket first;
    const std::uint16_t port = OpenListening(first);
    SyslogSocket second;
    EXPECT_FALSE(second.Open(port));
    EXPECT_EQ(second.m_hSocket, NativeSocket{0});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Syslog: Couldn't bind socket 514: [10048] Address already in use");
}

TEST_F(ListenerTest, ExitStepEndsReceptionForGood) {
    SyslogSocket never;
    never.ShutDownForExit(); // no socket attached: nothing to shut down
    EXPECT_EQ(never.m_suspended, 1);

    SyslogSocket listener;
    const std::uint16_t port = OpenListening(listener);
    SyslogSocket witness;
    const std::uint16_t witnessPort = OpenListening(witness);
    listener.ShutDownForExit();
    EXPECT_EQ(listener.m_suspended, 1);
    Sender sender;
    sender.Send(port, "too late");
    sender.Send(witnessPort, "witness");
    ASSERT_TRUE(WaitForRecords(1));
    // Even lowering the flag again must not bring back notices on a shut-down socket.
    listener.m_suspended = 0;
    PumpEventsFor(kQuietMs);
    ASSERT_EQ(window.records.size(), 1u);
    EXPECT_EQ(window.records[0].text, "witness");
}

TEST(AsyncSocketTest, AttachRejectsAHandleThatIsNoSocket) {
    const NativeSocket s = Sockets::CreateUdp();
    ASSERT_NE(s, Sockets::kInvalid);
    Sockets::Close(s);
    CAsyncSocket socket;
    EXPECT_FALSE(socket.Attach(s, 1)); // 1: read notices (FD_READ is a macro on Windows)
    // Bad file number (BSD) or socket operation on non-socket (Windows).
    const int code = CAsyncSocket::GetLastError();
    EXPECT_TRUE(code == 10009 || code == 10038) << code;
    EXPECT_EQ(socket.m_hSocket, NativeSocket{0});
}

#ifdef __linux__
TEST_F(ListenerTest, ReceiveBufferHoldsALongBurst) {
    // Without root the kernel caps the request at net.core.rmem_max.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to pass net.core.rmem_max";
    SyslogSocket listener;
    OpenListening(listener);
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ASSERT_EQ(getsockopt(listener.m_hSocket, SOL_SOCKET, SO_RCVBUF, &bytes, &length), 0);
    EXPECT_GE(bytes, 4 * 1024 * 1024);
}
#endif
