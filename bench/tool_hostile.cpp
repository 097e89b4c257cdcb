// Sends a seeded mix of hostile datagrams to a loopback port and writes, for each one, the
// message text that the log line must carry, one per line. A syslog server that keeps
// every datagram gives a log whose message fields equal that file line for line.
//
//   hostile --expect FILE [--port 514] [--count 3000] [--rate 5000] [--seed 1]
//
// The mix: random bytes of any length, zero bytes (first, inside, only), 65,000-byte
// datagrams, empty datagrams, datagrams of only markers, priority numbers far out of
// range, line ends and control bytes, and lengths around the 1024-byte read limit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "pacing.h"
#include "udp_sender.h"

namespace {
constexpr std::size_t kReadLimit = 1024;

class HostileMix {
public:
    explicit HostileMix(std::uint64_t seed) : m_random(seed) {}

    std::string Next() {
        switch (Below(10)) {
        case 0:
            return RandomBytes(Below(2000));
        case 1:
            return ZeroBytes();
        case 2:
            return Below(4) == 0 ? std::string() : RandomBytes(65000);
        case 3:
            return Markers();
        case 4:
            return HugeNumber();
        case 5:
            return LineEnds();
        case 6:
            return RandomBytes(kReadLimit - 2 + Below(5)); // 1022 .. 1026
        case 7:
            return std::string(Below(3000), static_cast<char>(0x80 + Below(128)));
        case 8:
            return "<" + std::to_string(Below(2000)) + ">" + Printable(Below(200));
        default:
            return Printable(Below(1500));
        }
    }

private:
    std::uint64_t Below(std::uint64_t n) { return n ? m_random() % n : 0; }

    std::string RandomBytes(std::size_t n) {
        std::string s(n, '\0');
        for (char& c : s)
            c = static_cast<char>(Below(256));
        return s;
    }

    std::string Printable(std::size_t n) {
        std::string s(n, ' ');
        for (char& c : s)
            c = static_cast<char>(' ' + Below(95));
        return s;
    }

    std::string ZeroBytes() {
        switch (Below(4)) {
        case 0:
            return std::string(1 + Below(100), '\0');
        case 1:
            return std::string(1, '\0') + "<13>after a zero byte";
        case 2:
            return "<13>before" + std::string(1, '\0') + "after";
        default:
            return "<" + std::string(1, '\0') + "13>x";
        }
    }

    std::string Markers() {
        static const char* const kPieces[] = {"<", ">", "<>", "><", "<<", ">>"};
        std::string s;
        const std::size_t n = 1 + Below(1200);
        while (s.size() < n)
            s += kPieces[Below(6)];
        return s;
    }

    std::string HugeNumber() {
        static const char* const kPriorities[] = {"<99999999999999999999999999>",
                                                  "<-2147483648>",
                                                  "<-2147483649>",
                                                  "<4294967295>",
                                                  "<2147483647>",
                                                  "<+0000000000000000000013>",
                                                  "<-0>",
                                                  "< \t\r\n\v\f13>",
                                                  "<--13>",
                                                  "<+-13>",
                                                  "<13",
                                                  "13>"};
        std::string s = kPriorities[Below(12)];
        return s + Printable(Below(100));
    }

    std::string LineEnds() {
        static const char* const kBytes = "\r\n\x1a\x7f\x1b\t";
        std::string s;
        const std::size_t n = Below(300);
        for (std::size_t i = 0; i < n; ++i)
            s += Below(2) ? kBytes[Below(6)] : static_cast<char>('a' + Below(26));
        return s;
    }

    std::mt19937_64 m_random;
};

// The message text of the log line: the first 1024 bytes up to the first zero byte, after
// the first ">" when there is one, with CR and LF each shown as a blank.
std::string LoggedMessage(const std::string& datagram) {
    std::string text = datagram.substr(0, kReadLimit);
    text = text.substr(0, text.find('\0'));
    const std::size_t close = text.find('>');
    if (close != std::string::npos)
        text.erase(0, close + 1);
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

struct Options {
    std::string expect;
    unsigned port = 514;
    std::uint64_t count = 3000;
    double rate = 5000;
    std::uint64_t seed = 1;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--expect")
            o.expect = value;
        else if (name == "--port")
            o.port = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else if (name == "--count")
            o.count = std::strtoull(value, nullptr, 10);
        else if (name == "--rate")
            o.rate = std::strtod(value, nullptr);
        else if (name == "--seed")
            o.seed = std::strtoull(value, nullptr, 10);
        else
            return false;
    }
    return argc % 2 == 1 && !o.expect.empty() && o.port > 0 && o.port < 65536;
}
} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s --expect FILE [--port P] [--count N] [--rate R]"
                     " [--seed S]\n",
                     argv[0]);
        return 2;
    }
    UdpSender sender;
    std::string error;
    if (!sender.Open("127.0.0.1", o.port, error)) {
        std::fprintf(stderr, "hostile: %s\n", error.c_str());
        return 1;
    }
    std::FILE* expect = std::fopen(o.expect.c_str(), "wb");
    if (!expect) {
        std::perror(o.expect.c_str());
        return 1;
    }
    HostileMix mix(o.seed);
    Pacer pacer(o.rate);
    std::size_t failed = 0;
    std::uint64_t sent = 0;
    for (std::uint64_t i = 0; i < o.count; ++i) {
        pacer.Acquire(1);
        const std::string datagram = mix.Next();
        if (sender.Send(&datagram, 1, failed) != 1)
            continue; // never arrived, so no line is expected for it
        ++sent;
        const std::string logged = LoggedMessage(datagram);
        std::fwrite(logged.data(), 1, logged.size(), expect);
        std::fputc('\n', expect);
    }
    std::fclose(expect);
    std::printf("hostile: sent=%llu failed=%zu\n", static_cast<unsigned long long>(sent), failed);
    return failed ? 1 : 0;
}
