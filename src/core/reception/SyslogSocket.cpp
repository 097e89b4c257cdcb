#include "core/reception/SyslogSocket.h"

#include <ctime>
#include <vector>

#include "core/platform/MessageBox.h"
#include "core/platform/MessageTarget.h"
#include "core/platform/SocketErrors.h"
#include "core/reception/AddressList.h"
#include "core/reception/Decode.h"
#include "core/settings/SettingsFile.h"

SyslogSocket g_listener;

namespace {
constexpr const char* kCreatePrefix = "Syslog: Couldn't create socket: ";
constexpr const char* kBindPrefix = "Syslog: Couldn't bind socket 514: ";
constexpr const char* kAttachPrefix = "Syslog: Couldn't attach socket: ";
constexpr const char* kSecurityKey = "LOG_SECURITY";

constexpr long kAllEvents = 63; // read, write, out-of-band, accept, connect, close
constexpr int kReadLimit = 1024;
// Room for a burst while the GUI thread is busy showing and logging earlier messages.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;

void ShowSocketError(const std::string& prefix) {
    AfxMessageBox(SocketErrorMessage(prefix, CAsyncSocket::GetLastError(),
                                     CAsyncSocket::GetLastSystemError()));
}
// Creates a UDP socket of the family, binds it to `port` on every address and attaches it
// to `target`. A failure shows its message and gives false.
bool OpenDatagramSocket(CAsyncSocket& target, Sockets::Family family, std::uint16_t port,
                        const std::string& bindPrefix) {
    target.Close();
    const NativeSocket socket = Sockets::Create(family, Sockets::Kind::Datagram);
    if (socket == Sockets::kInvalid) {
        ShowSocketError(kCreatePrefix);
        return false;
    }
    // No address reuse: a second server on the same port must fail here. An IPv6 socket
    // leaves IPv4 to the socket of its own.
    if ((family == Sockets::Family::IPv6 && !Sockets::SetIpv6Only(socket, true)) ||
        !Sockets::BindAny(socket, port, family)) {
        ShowSocketError(bindPrefix);
        Sockets::Close(socket);
        return false;
    }
    Sockets::EnlargeReceiveBuffer(socket, kReceiveBufferBytes);
    if (!target.Attach(socket, kAllEvents)) {
        ShowSocketError(kAttachPrefix);
        Sockets::Close(socket);
        return false;
    }
    return true;
}
} // namespace

bool Ipv6DatagramSocket::Open(std::uint16_t port) {
    return OpenDatagramSocket(*this, Sockets::Family::IPv6, port,
                              "Syslog: Couldn't bind IPv6 socket " + std::to_string(port) + ": ");
}

void Ipv6DatagramSocket::OnReceive(int) {
    m_owner.ReceiveDatagrams(*this);
}

SuspensionFlag& SuspensionFlag::operator=(int value) {
    const bool lifted = m_value != 0 && value == 0;
    m_value = value;
    if (lifted)
        m_owner.OnSuspensionLifted();
    return *this;
}

SyslogSocket::SyslogSocket() = default;

SyslogSocket::~SyslogSocket() {
    m_permittedAddresses.clear();
}

bool SyslogSocket::Open(std::uint16_t port) {
    return OpenDatagramSocket(*this, Sockets::Family::IPv4, port, kBindPrefix);
}

void SyslogSocket::ShutDownForExit() {
    m_suspended = 1;
    if (m_hSocket != 0)
        ShutDown(2);
    m_ipv6.Close();
}

bool SyslogSocket::SetIpv6(bool on) {
    if (!on || m_hSocket == 0) {
        m_ipv6.Close();
        return !on; // IPv6 joins an open IPv4 listener on its port
    }
    return HasIpv6() || m_ipv6.Open(Port());
}

std::uint16_t SyslogSocket::Port() const {
    return m_hSocket != 0 ? Sockets::LocalPort(m_hSocket) : 0;
}

void SyslogSocket::ReloadSourceFilter() {
    const std::string settingsPath = SettingsPath();
    m_suspended = 1;
    SettingsFile settings;
    settings.Load(settingsPath);
    if (!settings.GetBool(kSettingsSection, kSecurityKey, m_filterOn)) {
        m_filterOn = false;
        settings.SetBool(kSettingsSection, kSecurityKey, false);
        settings.Save(settingsPath);
    }
    if (m_filterOn) {
        // A list that cannot be opened stays empty, so every datagram is dropped.
        std::vector<std::string> entries;
        ReadAddressList(AddressListPath(), false, entries);
        m_permittedAddresses.assign(entries.begin(), entries.end());
    }
    m_suspended = 0;
}

bool SyslogSocket::IsPermittedSource(const std::string& address) const {
    return m_permittedAddresses.Contains(address);
}

void SyslogSocket::OnReceive(int) {
    ReceiveDatagrams(*this);
}

void SyslogSocket::ReceiveDatagrams(CAsyncSocket& socket) {
    if (IsHeld()) {
        // The datagram stays queued. A level-triggered notice would come straight back,
        // so notices pause until the suspension is lifted or the delivery is done.
        socket.PauseNotifications();
        return;
    }
    BeginDelivery();
    for (int read = 0; read < kDatagramsPerNotice && !m_suspended; ++read)
        if (!ReceiveOne(socket))
            break;
    EndDelivery();
}

bool SyslogSocket::ReceiveOne(CAsyncSocket& socket) {
    char buffer[kReadLimit + 1] = {};
    std::string address;
    unsigned port = 0;
    // A failed read has nothing to show; it ends this notice (an empty queue reads as a
    // failure too), and any datagram still queued brings the next notice.
    if (socket.ReceiveFrom(buffer, kReadLimit, address, port, 0) == SOCKET_ERROR)
        return false;
    DeliverMessage(buffer, address);
    return true;
}

bool SyslogSocket::DeliverMessage(const char* text, const std::string& address) {
    if (m_filterOn && !IsPermittedSource(address))
        return false;
    MessageTarget* window = AfxGetMainWnd();
    if (!window)
        return true; // during exit no window can show it: the message is discarded
    ReceiveTimeText time;
    SyslogRecord record;
    DecodeDatagram(text, address.c_str(), std::time(nullptr), time, record);
    window->SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
    return true;
}

void SyslogSocket::BeginDelivery(bool batch) {
    m_delivering = true;
    m_batch = batch;
    if (MessageTarget* window = batch ? AfxGetMainWnd() : nullptr)
        window->SendMessage(WM_SYSLOG_BATCH, 1, 0);
}

void SyslogSocket::EndDelivery() {
    // Still delivering: a failure shown by the flush holds other readers back too.
    if (MessageTarget* window = m_batch ? AfxGetMainWnd() : nullptr)
        window->SendMessage(WM_SYSLOG_BATCH, 0, 0);
    m_batch = false;
    m_delivering = false;
    if (!m_suspended)
        Resume();
}

void SyslogSocket::OnSuspensionLifted() {
    if (!m_delivering)
        Resume();
}

void SyslogSocket::Resume() {
    ResumeNotifications();
    m_ipv6.ResumeNotifications();
    if (m_onResume)
        m_onResume();
}
