#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "core/platform/AsyncSocket.h"
#include "core/reception/PermittedAddresses.h"

class SyslogSocket;

// The listener's suspended flag: an integer used as a boolean. While it is non-zero the
// receive handler leaves datagrams unread; lowering it lets queued datagrams be read.
class SuspensionFlag {
public:
    explicit SuspensionFlag(SyslogSocket& owner, int value) : m_owner(owner), m_value(value) {}
    SuspensionFlag& operator=(int value);
    operator int() const { return m_value; }

private:
    SyslogSocket& m_owner;
    int m_value;
};

// The UDP socket for IPv6 senders, beside the IPv4 one: IPV6_V6ONLY on, so IPv4 keeps its
// own socket, which switching IPv6 on or off never touches. Its datagrams take the same road.
class Ipv6DatagramSocket : public CAsyncSocket {
public:
    explicit Ipv6DatagramSocket(SyslogSocket& owner) : m_owner(owner) {}
    bool Open(std::uint16_t port); // failures show the bind message and give false
    void OnReceive(int errorCode) override;

private:
    SyslogSocket& m_owner;
};

// The UDP endpoint of the server. Each readiness notice reads the datagrams waiting,
// lets the source filter admit or drop them, decodes them and hands each record
// synchronously to the main window as WM_SYSLOG_MESSAGE.
class SyslogSocket : public CAsyncSocket {
public:
    static constexpr std::uint16_t kSyslogPort = 514;
    static constexpr int kDatagramsPerNotice = 256;

    SyslogSocket();
    ~SyslogSocket() override;

    // Creates the socket, binds it to `port` on every interface and attaches it. A failure
    // shows its message box and returns false.
    bool Open(std::uint16_t port = kSyslogPort);
    // The exit step: suspends reception for good and shuts the socket down.
    void ShutDownForExit();

    // Rereads LOG_SECURITY and, when it is on, ipaddr.flt from g_programDir.
    void ReloadSourceFilter();
    bool IsPermittedSource(const std::string& address) const;

    // Also receive from IPv6 senders on the same port, or stop; false when the socket for
    // them could not be opened (its message has been shown).
    bool SetIpv6(bool on);
    bool HasIpv6() const { return m_ipv6.m_hSocket != 0; }
    std::uint16_t Port() const;

    void OnReceive(int errorCode) override;
    // Reads the datagrams waiting on `socket` (this one or the IPv6 one) and delivers them.
    void ReceiveDatagrams(CAsyncSocket& socket);

    // One received message on the road every datagram takes: the source filter, decoding,
    // and the main window, which shows and logs it. `text` ends at its first zero byte, as a
    // datagram's does. False when the filter refuses the sender.
    bool DeliverMessage(const char* text, const std::string& address);
    // While true, readers leave their bytes waiting: reception is suspended, or a delivery is
    // under way (a modal loop inside it dispatches notices). Call the delivery pair around
    // every batch of DeliverMessage calls.
    bool IsHeld() const { return m_suspended || m_delivering; }
    // With `batch`, the main window may keep the log lines of the messages delivered until
    // EndDelivery in its files' buffers (WM_SYSLOG_BATCH): for the messages of one read from
    // a stream.
    void BeginDelivery(bool batch = false);
    void EndDelivery();
    // Called whenever a hold ends, so that other readers may resume their notices.
    void SetResumeHandler(std::function<void()> handler) { m_onResume = std::move(handler); }

    bool m_filterOn = false;
    SuspensionFlag m_suspended{*this, 1};
    PermittedAddresses m_permittedAddresses;

private:
    friend class SuspensionFlag;
    void OnSuspensionLifted();
    bool ReceiveOne(CAsyncSocket& socket); // false when nothing was waiting
    void Resume();

    // Set while records are being delivered: a notice dispatched by a modal loop inside
    // the delivery waits until the delivery is done instead of nesting.
    bool m_delivering = false;
    bool m_batch = false;
    Ipv6DatagramSocket m_ipv6{*this};
    std::function<void()> m_onResume;
};

extern SyslogSocket g_listener;
