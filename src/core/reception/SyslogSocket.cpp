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

void ShowSocketError(const char* prefix) {
    AfxMessageBox(SocketErrorMessage(prefix, CAsyncSocket::GetLastError(),
                                     CAsyncSocket::GetLastSystemError()));
}
} // namespace

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
    Close();
    const NativeSocket socket = Sockets::CreateUdp();
    if (socket == Sockets::kInvalid) {
        ShowSocketError(kCreatePrefix);
        return false;
    }
    // No address reuse: a second server on the same port must fail here.
    if (!Sockets::BindAny(socket, port)) {
        ShowSocketError(kBindPrefix);
        Sockets::Close(socket);
        return false;
    }
    Sockets::EnlargeReceiveBuffer(socket, kReceiveBufferBytes);
    if (!Attach(socket, kAllEvents)) {
        ShowSocketError(kAttachPrefix);
        Sockets::Close(socket);
        return false;
    }
    return true;
}

void SyslogSocket::ShutDownForExit() {
    m_suspended = 1;
    if (m_hSocket != 0)
        ShutDown(2);
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

void SyslogSocket::OnReceive(int errorCode) {
    if (m_suspended || m_delivering) {
        // The datagram stays queued. A level-triggered notice would come straight back,
        // so notices pause until the suspension is lifted or the delivery is done.
        PauseNotifications();
        CAsyncSocket::OnReceive(errorCode);
        return;
    }
    m_delivering = true;
    for (int read = 0; read < kDatagramsPerNotice && !m_suspended; ++read)
        if (!ReceiveOne())
            break;
    m_delivering = false;
    if (!m_suspended)
        ResumeNotifications();
}

bool SyslogSocket::ReceiveOne() {
    char buffer[kReadLimit + 1] = {};
    std::string address;
    unsigned port = 0;
    // A failed read has nothing to show; it ends this notice (an empty queue reads as a
    // failure too), and any datagram still queued brings the next notice.
    if (ReceiveFrom(buffer, kReadLimit, address, port, 0) == SOCKET_ERROR)
        return false;
    if (m_filterOn && !IsPermittedSource(address))
        return true;
    MessageTarget* window = AfxGetMainWnd();
    if (!window)
        return true; // during exit no window can show it: the datagram is discarded
    ReceiveTimeText time;
    SyslogRecord record;
    DecodeDatagram(buffer, address.c_str(), std::time(nullptr), time, record);
    window->SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&record));
    return true;
}

void SyslogSocket::OnSuspensionLifted() {
    ResumeNotifications();
}
