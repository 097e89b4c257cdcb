// Sends numbered syslog messages over TCP to a loopback port, from many connections at once,
// as fast as the receiver takes them, and prints the rate it achieved. Connection c sends
// sequence numbers c*count to c*count+count-1 in order, each message
// "<13>tcpload conn=CCCCC seq=NNNNNNNN " padded with "x" to the chosen size, framed by LF or
// by octet counting, so that logcheck can tell which arrived and the order can be checked
// per connection.
//
//   tcploadgen [--host 127.0.0.1|::1] [--port 514] [--connections 1] [--count 100000]
//              [--size 100] [--framing lf|octet]
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "pacing.h"

namespace {

struct Options {
    std::string host = "127.0.0.1";
    unsigned port = 514;
    unsigned connections = 1;
    std::uint64_t count = 100000;
    std::size_t size = 100;
    bool octetCounting = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--host")
            o.host = value;
        else if (name == "--port")
            o.port = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (name == "--connections")
            o.connections = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (name == "--count")
            o.count = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--size")
            o.size = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--framing" && (value == "lf" || value == "octet"))
            o.octetCounting = value == "octet";
        else
            return false;
    }
    return argc % 2 == 1 && o.port > 0 && o.port < 65536 && o.connections > 0 &&
           o.connections <= 10000;
}

// Only loopback addresses are accepted: these tools never send anywhere else.
int Connect(const Options& o, std::string& error) {
    sockaddr_storage to{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&to);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&to);
    if (inet_pton(AF_INET, o.host.c_str(), &v4->sin_addr) == 1 &&
        (ntohl(v4->sin_addr.s_addr) >> 24) == 127) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(o.port));
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, o.host.c_str(), &v6->sin6_addr) == 1 &&
               IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr)) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(o.port));
        length = sizeof *v6;
    } else {
        error = "not a loopback address: " + o.host;
        return -1;
    }
    const int s = socket(to.ss_family, SOCK_STREAM, 0);
    if (s == -1 || connect(s, reinterpret_cast<sockaddr*>(&to), length) != 0) {
        error = std::string("connect: ") + std::strerror(errno);
        if (s != -1)
            close(s);
        return -1;
    }
    return s;
}

void AppendMessage(std::string& out, unsigned connection, std::uint64_t seq, const Options& o) {
    char head[64];
    const int n = std::snprintf(head, sizeof head, "<13>tcpload conn=%05u seq=%08llu ", connection,
                                static_cast<unsigned long long>(seq));
    std::string message(head, static_cast<std::size_t>(n));
    if (message.size() < o.size)
        message.append(o.size - message.size(), 'x');
    if (o.octetCounting)
        out += std::to_string(message.size()) + ' ' + message;
    else
        out += message + '\n';
}

// One connection's stream, made a piece at a time as the socket takes it.
struct Stream {
    int socket = -1;
    unsigned index = 0;
    std::uint64_t next = 0; // messages made so far
    std::string pending;
    std::size_t offset = 0;
    bool done = false;
};

constexpr std::size_t kPieceBytes = 64 * 1024;

// Writes what the socket takes; false on a failure.
bool Pump(Stream& stream, const Options& o) {
    for (;;) {
        if (stream.offset == stream.pending.size()) {
            stream.pending.clear();
            stream.offset = 0;
            while (stream.next < o.count && stream.pending.size() < kPieceBytes)
                AppendMessage(stream.pending, stream.index,
                              std::uint64_t{stream.index} * o.count + stream.next++, o);
            if (stream.pending.empty()) {
                stream.done = true;
                shutdown(stream.socket, SHUT_WR);
                return true;
            }
        }
        const ssize_t sent =
            send(stream.socket, stream.pending.data() + stream.offset,
                 stream.pending.size() - stream.offset, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        stream.offset += static_cast<std::size_t>(sent);
    }
}

// Waits until the receiver has closed each connection or read it to the end.
void AwaitClose(std::vector<Stream>& streams) {
    for (Stream& stream : streams) {
        char byte;
        while (recv(stream.socket, &byte, 1, 0) > 0) {
        }
        close(stream.socket);
    }
}
} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--host 127.0.0.1|::1] [--port P] [--connections C] [--count N]"
                     " [--size B] [--framing lf|octet]\n",
                     argv[0]);
        return 2;
    }
    std::vector<Stream> streams(o.connections);
    for (unsigned i = 0; i < o.connections; ++i) {
        std::string error;
        streams[i].index = i;
        streams[i].socket = Connect(o, error);
        if (streams[i].socket == -1) {
            std::fprintf(stderr, "tcploadgen: %s\n", error.c_str());
            return 1;
        }
    }
    const std::int64_t began = NowNs();
    std::size_t open = streams.size();
    std::vector<pollfd> polls;
    while (open > 0) {
        polls.clear();
        for (const Stream& stream : streams)
            if (!stream.done)
                polls.push_back({stream.socket, POLLOUT, 0});
        if (poll(polls.data(), polls.size(), 10000) <= 0) {
            std::fprintf(stderr, "tcploadgen: the receiver took nothing for 10 s\n");
            return 1;
        }
        open = 0;
        for (Stream& stream : streams) {
            if (!stream.done && !Pump(stream, o)) {
                std::fprintf(stderr, "tcploadgen: send: %s\n", std::strerror(errno));
                return 1;
            }
            open += stream.done ? 0 : 1;
        }
    }
    AwaitClose(streams); // the receiver has read everything once it closes
    const double seconds = static_cast<double>(NowNs() - began) / 1e9;
    const std::uint64_t sent = std::uint64_t{o.connections} * o.count;
    std::printf("tcploadgen: sent=%llu connections=%u framing=%s size=%zu seconds=%.3f "
                "rate=%.0f\n",
                static_cast<unsigned long long>(sent), o.connections,
                o.octetCounting ? "octet" : "lf", o.size, seconds,
                seconds > 0 ? static_cast<double>(sent) / seconds : 0);
    return 0;
}
