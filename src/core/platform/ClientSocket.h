#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/platform/AsyncSocket.h"

// The client side of a connection, for threads that may wait: every socket is non-blocking and
// each wait has its own bound, so a caller can look after other work in between.
namespace ClientSockets {
// Resolves `host` (a name, an IPv4 address or an IPv6 address without brackets) and connects a
// stream socket to the first address that answers within `timeoutMs`. kInvalid on failure, with
// `error` saying why, e.g. "127.0.0.1:6601: [10061] Connection refused".
NativeSocket ConnectStream(const std::string& host, std::uint16_t port, int timeoutMs,
                           std::string& error);
// A datagram socket whose sends go to `host`'s first address.
NativeSocket ConnectDatagram(const std::string& host, std::uint16_t port, std::string& error);

// Waits until the socket can take bytes (or has bytes to read); false on time-out.
bool WaitWritable(NativeSocket s, int timeoutMs);
bool WaitReadable(NativeSocket s, int timeoutMs);
// Bytes handed to the system: their count, 0 when the socket has no room now, -1 when the
// connection failed (`error` says why).
long SendSome(NativeSocket s, const char* data, std::size_t length, std::string& error);
// True when the peer has closed or reset the connection; never waits. Bytes the peer sent are
// read and thrown away (a syslog collector has nothing to say).
bool PeerHasClosed(NativeSocket s);
} // namespace ClientSockets
