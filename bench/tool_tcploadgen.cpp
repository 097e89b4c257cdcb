// Sends numbered syslog messages over TCP to a loopback port, from many connections at once,
// as fast as the receiver takes them, and prints the rate it achieved. Connection c sends
// sequence numbers c*count to c*count+count-1 in order, each message
// "<13>tcpload conn=CCCCC seq=NNNNNNNN " padded with "x" to the chosen size, framed by LF or
// by octet counting, so that logcheck can tell which arrived and the order can be checked
// per connection.
//
// With --tls yes the streams go over TLS (OpenSSL, any server certificate accepted). With
// --handshakes N it sends nothing: the connections make N TLS handshakes between them, one
// after another on each, closing each connection after its handshake, and the rate of
// handshakes is printed.
//
//   tcploadgen [--host 127.0.0.1|::1] [--port 514] [--connections 1] [--count 100000]
//              [--size 100] [--framing lf|octet] [--tls no|yes] [--handshakes N]
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "pacing.h"

namespace {

struct Options {
    std::string host = "127.0.0.1";
    unsigned port = 514;
    unsigned connections = 1;
    std::uint64_t count = 100000;
    std::size_t size = 100;
    bool octetCounting = false;
    bool tls = false;
    std::uint64_t handshakes = 0;
};

SSL_CTX* g_tls = nullptr; // the client context when --tls yes

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
        else if (name == "--tls" && (value == "yes" || value == "no"))
            o.tls = value == "yes";
        else if (name == "--handshakes")
            o.handshakes = std::strtoull(value.c_str(), nullptr, 10);
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

// A TLS client on a connected blocking socket, or null (and the reason) when the handshake
// failed.
SSL* StartTls(int socket, std::string& error) {
    SSL* ssl = SSL_new(g_tls);
    SSL_set_fd(ssl, socket);
    if (SSL_connect(ssl) != 1) {
        const unsigned long code = ERR_get_error();
        error = std::string("TLS handshake: ") +
                (code ? ERR_reason_error_string(code) : std::strerror(errno));
        SSL_free(ssl);
        return nullptr;
    }
    return ssl;
}

// One connection's stream, made a piece at a time as the socket takes it.
struct Stream {
    int socket = -1;
    SSL* ssl = nullptr;
    short waitFor = POLLOUT; // what the socket must be ready for next
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
                if (stream.ssl) {
                    // close_notify ends the stream; blocking again for it.
                    const int flags = fcntl(stream.socket, F_GETFL);
                    fcntl(stream.socket, F_SETFL, flags & ~O_NONBLOCK);
                    SSL_shutdown(stream.ssl);
                }
                shutdown(stream.socket, SHUT_WR);
                return true;
            }
        }
        if (stream.ssl) {
            std::size_t written = 0;
            const int result = SSL_write_ex(stream.ssl, stream.pending.data() + stream.offset,
                                            stream.pending.size() - stream.offset, &written);
            if (result != 1) {
                const int error = SSL_get_error(stream.ssl, result);
                stream.waitFor = error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
                return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
            }
            stream.offset += written;
            stream.waitFor = POLLOUT;
            continue;
        }
        const ssize_t sent =
            send(stream.socket, stream.pending.data() + stream.offset,
                 stream.pending.size() - stream.offset, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        stream.offset += static_cast<std::size_t>(sent);
    }
}

// --handshakes: each thread makes its share, one connection after another.
int Handshakes(const Options& o) {
    std::atomic<std::uint64_t> made{0};
    std::atomic<bool> failed{false};
    const std::int64_t began = NowNs();
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < o.connections; ++t) {
        threads.emplace_back([&, t] {
            const std::uint64_t share =
                o.handshakes / o.connections + (t < o.handshakes % o.connections ? 1 : 0);
            for (std::uint64_t i = 0; i < share && !failed; ++i) {
                std::string error;
                const int s = Connect(o, error);
                SSL* ssl = s == -1 ? nullptr : StartTls(s, error);
                if (!ssl) {
                    std::fprintf(stderr, "tcploadgen: %s\n", error.c_str());
                    failed = true;
                    if (s != -1)
                        close(s);
                    return;
                }
                SSL_shutdown(ssl);
                SSL_free(ssl);
                close(s);
                ++made;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const double seconds = static_cast<double>(NowNs() - began) / 1e9;
    std::printf("tcploadgen: handshakes=%llu connections=%u seconds=%.3f rate=%.0f\n",
                static_cast<unsigned long long>(made.load()), o.connections, seconds,
                seconds > 0 ? static_cast<double>(made.load()) / seconds : 0);
    return failed ? 1 : 0;
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
                     " [--size B] [--framing lf|octet] [--tls no|yes] [--handshakes N]\n",
                     argv[0]);
        return 2;
    }
    if (o.tls || o.handshakes > 0) {
        g_tls = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_verify(g_tls, SSL_VERIFY_NONE, nullptr);
        SSL_CTX_set_mode(g_tls,
                         SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    }
    if (o.handshakes > 0)
        return Handshakes(o);
    std::vector<Stream> streams(o.connections);
    for (unsigned i = 0; i < o.connections; ++i) {
        std::string error;
        streams[i].index = i;
        streams[i].socket = Connect(o, error);
        if (streams[i].socket != -1 && o.tls) {
            streams[i].ssl = StartTls(streams[i].socket, error);
            if (!streams[i].ssl) {
                close(streams[i].socket);
                streams[i].socket = -1;
            } else {
                fcntl(streams[i].socket, F_SETFL, fcntl(streams[i].socket, F_GETFL) | O_NONBLOCK);
            }
        }
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
                polls.push_back({stream.socket, stream.waitFor, 0});
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
    std::printf("tcploadgen: sent=%llu connections=%u framing=%s size=%zu tls=%s seconds=%.3f "
                "rate=%.0f\n",
                static_cast<unsigned long long>(sent), o.connections,
                o.octetCounting ? "octet" : "lf", o.size, o.tls ? "yes" : "no", seconds,
                seconds > 0 ? static_cast<double>(sent) / seconds : 0);
    return 0;
}
