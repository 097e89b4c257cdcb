#pragma once
// A UDP sender for the load tools: a socket connected to one loopback port, sending
// batches of datagrams with one system call (sendmmsg) so that the sender itself is not
// what limits the rate under test. Linux only, like the load benchmark.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

class UdpSender {
public:
    static constexpr std::size_t kMaxBatch = 64;

    UdpSender() = default;
    ~UdpSender() {
        if (m_socket != -1)
            close(m_socket);
    }
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    // Only loopback addresses are accepted: these tools never send anywhere else.
    bool Open(const std::string& host, unsigned port, std::string& error) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        if (inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1 ||
            (ntohl(to.sin_addr.s_addr) >> 24) != 127) {
            error = "not a loopback IPv4 address: " + host;
            return false;
        }
        m_socket = socket(AF_INET, SOCK_DGRAM, 0);
        if (m_socket == -1 || connect(m_socket, reinterpret_cast<sockaddr*>(&to), sizeof to)) {
            error = std::string("socket: ") + std::strerror(errno);
            return false;
        }
        // A large send buffer keeps a burst from blocking the sender early.
        const int bytes = 4 * 1024 * 1024;
        setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
        return true;
    }

    // Sends the datagrams; returns how many went out. A failed datagram (for example
    // ECONNREFUSED after the receiver went away) is counted in `failed` and skipped.
    std::size_t Send(const std::string* datagrams, std::size_t count, std::size_t& failed) {
        std::size_t done = 0;
        std::size_t skipped = 0;
        while (done < count) {
            const std::size_t batch = std::min(kMaxBatch, count - done);
            iovec iov[kMaxBatch];
            mmsghdr messages[kMaxBatch] = {};
            for (std::size_t i = 0; i < batch; ++i) {
                const std::string& d = datagrams[done + i];
                iov[i].iov_base = const_cast<char*>(d.data());
                iov[i].iov_len = d.size();
                messages[i].msg_hdr.msg_iov = &iov[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            const int sent = sendmmsg(m_socket, messages, static_cast<unsigned>(batch), 0);
            if (sent > 0) {
                done += static_cast<std::size_t>(sent);
                continue;
            }
            if (sent < 0 && errno == EINTR)
                continue;
            ++skipped; // the first of the batch could not go; skip it
            ++done;
        }
        failed += skipped;
        return done - skipped;
    }

private:
    int m_socket = -1;
};
