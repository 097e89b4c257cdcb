// Sends numbered syslog datagrams to a loopback port at a chosen rate, as fast as it can,
// or in bursts, and prints the rate it achieved. Each datagram is
// "<13>loadgen seq=NNNNNN " padded with "x" to the chosen size, so that logcheck can
// tell from a log file which ones arrived.
//
//   loadgen [--port 514] [--host 127.0.0.1] [--count 200000] [--size 100]
//           [--rate MSGS_PER_S (0: as fast as possible)] [--burst N --pause-ms MS]
//           [--start FIRST_SEQ]
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/prctl.h>

#include "pacing.h"
#include "udp_sender.h"

namespace {

struct Options {
    std::string host = "127.0.0.1";
    unsigned port = 514;
    std::uint64_t count = 200000;
    std::size_t size = 100;
    double rate = 0;
    std::uint64_t burst = 0;
    double pauseMs = 100;
    std::uint64_t start = 0;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--host")
            o.host = value;
        else if (name == "--port")
            o.port = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else if (name == "--count")
            o.count = std::strtoull(value, nullptr, 10);
        else if (name == "--size")
            o.size = std::strtoull(value, nullptr, 10);
        else if (name == "--rate")
            o.rate = std::strtod(value, nullptr);
        else if (name == "--burst")
            o.burst = std::strtoull(value, nullptr, 10);
        else if (name == "--pause-ms")
            o.pauseMs = std::strtod(value, nullptr);
        else if (name == "--start")
            o.start = std::strtoull(value, nullptr, 10);
        else
            return false;
    }
    return argc % 2 == 1 && o.port > 0 && o.port < 65536 && o.size <= 65507;
}

void FormatDatagram(std::string& out, std::uint64_t seq, std::size_t size) {
    char head[64];
    const int n = std::snprintf(head, sizeof head, "<13>loadgen seq=%06llu ",
                                static_cast<unsigned long long>(seq));
    out.assign(head, static_cast<std::size_t>(n));
    if (out.size() < size)
        out.append(size - out.size(), 'x');
}

struct Totals {
    std::uint64_t sent = 0;
    std::size_t failed = 0;
    std::int64_t sendingNs = 0; // time spent sending, pauses between bursts left out
};

// Sends datagrams start .. start+count-1, paced, without pauses.
void SendRun(UdpSender& sender, Pacer& pacer, const Options& o, std::uint64_t first,
             std::uint64_t count, Totals& totals) {
    std::string batch[UdpSender::kMaxBatch];
    std::uint64_t done = 0;
    const std::int64_t began = NowNs();
    pacer.Restart();
    while (done < count) {
        const std::uint64_t n =
            pacer.Acquire(std::min<std::uint64_t>(UdpSender::kMaxBatch, count - done));
        for (std::uint64_t i = 0; i < n; ++i)
            FormatDatagram(batch[i], first + done + i, o.size);
        totals.sent += sender.Send(batch, n, totals.failed);
        done += n;
    }
    totals.sendingNs += NowNs() - began;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--port P] [--host 127.x.x.x] [--count N] [--size B]"
                     " [--rate R] [--burst N --pause-ms MS] [--start SEQ]\n",
                     argv[0]);
        return 2;
    }
    UdpSender sender;
    std::string error;
    if (!sender.Open(o.host, o.port, error)) {
        std::fprintf(stderr, "loadgen: %s\n", error.c_str());
        return 1;
    }
    prctl(PR_SET_TIMERSLACK, 1UL); // sleeps as short as asked
    Pacer pacer(o.rate);
    Totals totals;
    const std::uint64_t burst = o.burst ? o.burst : o.count;
    const std::int64_t began = NowNs();
    for (std::uint64_t done = 0; done < o.count; done += burst) {
        if (done > 0)
            SleepNs(static_cast<std::int64_t>(o.pauseMs * 1e6));
        SendRun(sender, pacer, o, o.start + done, std::min(burst, o.count - done), totals);
    }
    const std::int64_t ended = NowNs();
    const double seconds = static_cast<double>(ended - began) / 1e9;
    const double sendingSeconds = static_cast<double>(totals.sendingNs) / 1e9;
    std::string datagram;
    FormatDatagram(datagram, o.start, o.size);
    std::printf("loadgen: sent=%llu failed=%zu size=%zu asked=%.0f seconds=%.3f rate=%.0f "
                "sending_rate=%.0f began_ms=%.3f ended_ms=%.3f\n",
                static_cast<unsigned long long>(totals.sent), totals.failed, datagram.size(),
                o.rate, seconds, seconds > 0 ? static_cast<double>(totals.sent) / seconds : 0,
                sendingSeconds > 0 ? static_cast<double>(totals.sent) / sendingSeconds : 0,
                static_cast<double>(began) / 1e6, static_cast<double>(ended) / 1e6);
    return totals.failed ? 1 : 0;
}
