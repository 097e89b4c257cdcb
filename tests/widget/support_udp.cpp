#include "support_udp.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

LoopbackSender::LoopbackSender() : m_socket(Sockets::CreateUdp()) {}

LoopbackSender::~LoopbackSender() {
    if (m_socket != Sockets::kInvalid)
        Sockets::Close(m_socket);
}

bool LoopbackSender::Send(std::uint16_t port, std::string_view text) const {
    if (m_socket == Sockets::kInvalid)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const long long sent = ::sendto(m_socket, text.data(), static_cast<int>(text.size()), 0,
                                    reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<long long>(text.size());
}

bool SendDatagram(std::uint16_t port, std::string_view text) {
    return LoopbackSender().Send(port, text);
}
