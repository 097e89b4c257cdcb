#pragma once
#include <cstdint>
#include <string_view>

#include "core/platform/AsyncSocket.h"

// A UDP socket that sends datagrams to a port on 127.0.0.1, as a device on the network
// sends to the server. Sockets::Startup() must have been called on Windows.
class LoopbackSender {
public:
    LoopbackSender();
    ~LoopbackSender();
    LoopbackSender(const LoopbackSender&) = delete;
    LoopbackSender& operator=(const LoopbackSender&) = delete;

    // Whether the whole datagram was handed to the network.
    bool Send(std::uint16_t port, std::string_view text) const;

private:
    NativeSocket m_socket;
};

// One datagram from a socket of its own.
bool SendDatagram(std::uint16_t port, std::string_view text);
