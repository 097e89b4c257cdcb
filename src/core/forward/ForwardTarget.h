#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// One collector that admitted messages are passed on to, as a line of section [Forward]:
// "TARGET = tcp://HOST:PORT" and options separated by blanks.
struct ForwardTarget {
    enum class Transport { Udp, Tcp, Tls };
    enum class Format { AsReceived, Rfc5424 };
    static constexpr std::uint64_t kDefaultQueueMb = 1024;

    Transport transport = Transport::Tcp;
    std::string host; // a name or an address, IPv6 without its brackets
    std::uint16_t port = 0;
    Format format = Format::AsReceived;
    int minSeverity = 7; // messages of this severity value or lower (more urgent) are sent
    std::uint64_t queueBytes = kDefaultQueueMb * 1024 * 1024; // the disk queue's bound
    std::string caFile;      // TLS: the collector's certificate is checked against this CA
    std::string fingerprint; // TLS: or pinned to this "SHA256:..." instead

    // "tcp://[::1]:6514" as written in the line.
    std::string Address() const;
    // The name of the target's disk queue directory: the address with every character a file
    // name may not hold replaced, e.g. "tcp_collector.example_6514".
    std::string QueueName() const;
    bool Sends(int severity) const { return severity <= minSeverity; }
};

inline constexpr const char* kForwardSection = "Forward";
inline constexpr const char* kForwardTargetKey = "TARGET";

// Reads the value of a TARGET line. False with `error` saying what is wrong, e.g.
// "unknown option \"colour=red\"".
bool ParseForwardTarget(std::string_view value, ForwardTarget& target, std::string& error);
