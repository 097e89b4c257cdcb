#pragma once
#include <cstdint>
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

// The one UDP endpoint of the server. Each readiness notice reads the datagrams waiting,
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

    void OnReceive(int errorCode) override;

    bool m_filterOn = false;
    SuspensionFlag m_suspended{*this, 1};
    PermittedAddresses m_permittedAddresses;

private:
    friend class SuspensionFlag;
    void OnSuspensionLifted();
    bool ReceiveOne(); // false when nothing was waiting

    // Set while records are being delivered: a notice dispatched by a modal loop inside
    // the delivery waits until the delivery is done instead of nesting.
    bool m_delivering = false;
};

extern SyslogSocket g_listener;
