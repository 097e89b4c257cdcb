// The archive's costs, printed as figures: gzip throughput on a large log file, and the
// reception thread's longest pause when 10,000 per-address files start anew at midnight
// under 50,000 lines a second (the clock faked, so midnight comes at once).
//   bench_archive [MiB to compress, default 1024]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/archive/GzipFile.h"
#include "core/platform/Clock.h"
#include "core/platform/OpenFileLimit.h"
#include "core/platform/ProgramDir.h"
#include "core/storage/LogFileSet.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A log of about `mib` MiB with lines like the ones Marovind writes.
void WriteLog(const std::string& path, std::uint64_t mib) {
    std::ofstream out(path, std::ios::binary);
    std::string block;
    std::uint64_t seed = 88172645463325252ull;
    for (std::uint64_t written = 0, i = 0; written < mib << 20; ++i) {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        char line[160];
        const int n = std::snprintf(line, sizeof line,
                                    "Dec 09 %02u:%02u:%02u 10.1.%u.%u <13>Dec  9 host-%u app[%u]: "
                                    "request %llx served in %u ms\r\n",
                                    unsigned(i / 3600 % 24), unsigned(i / 60 % 60),
                                    unsigned(i % 60), unsigned(seed % 4), unsigned(seed % 250),
                                    unsigned(seed % 40), unsigned(seed % 30000),
                                    static_cast<unsigned long long>(seed), unsigned(seed % 900));
        block.append(line, static_cast<std::size_t>(n));
        if (block.size() > (1u << 20)) {
            out << block;
            written += block.size();
            block.clear();
        }
    }
}

void CompressionThroughput(const fs::path& dir, std::uint64_t mib) {
    const std::string plain = (dir / "syslog.2026-12-09.log").string();
    WriteLog(plain, mib);
    const double bytes = static_cast<double>(fs::file_size(plain));
    const std::atomic<bool> go{false};
    const auto began = Clock::now();
    const GzipOutcome outcome = CompressFile(plain, plain + ".gz", go);
    const double seconds = Seconds(Clock::now() - began);
    if (!outcome.ok) {
        std::printf("compression failed: %s\n", outcome.error.c_str());
        return;
    }
    const double packed = static_cast<double>(fs::file_size(plain + ".gz"));
    std::printf("gzip %.0f MiB: %.1f s, %.1f MB/s, %.1f%% of the size\n", bytes / 1048576, seconds,
                bytes / 1e6 / seconds, 100 * packed / bytes);
    fs::remove(plain);
    fs::remove(plain + ".gz");
}

void Midnight(const fs::path& dir) {
    constexpr int kFiles = 10000;
    constexpr int kPerSecond = 50000;
    g_programDir = (dir / "").string();
    std::ofstream list(g_programDir + "ipaddr.flt", std::ios::binary);
    std::vector<std::string> senders;
    for (int i = 0; i < kFiles; ++i) {
        senders.push_back("10.9." + std::to_string(i / 256) + "." + std::to_string(i % 256));
        list << senders.back() << "\r\n";
    }
    list.close();
    std::ofstream(g_programDir + "Marovind.ini", std::ios::binary)
        << "[Marovind]\r\nLOG_TYPE = 3\r\nLOG_DIR = " << g_programDir
        << "\r\nLOG_SECURITY = true\r\nROTATE_DAILY = true\r\n";
    RaiseOpenFileLimit();
    LogFileSet set;
    set.OpenLogFiles();
    std::tm parts{};
    parts.tm_year = 2026 - 1900, parts.tm_mon = 11, parts.tm_mday = 11;
    const std::time_t midnight = FromUtcParts(parts);
    Clock::duration longest{};
    Clock::duration total{};
    std::vector<double> pauses;
    for (std::time_t second = midnight - 1; second < midnight + 3; ++second) {
        char time[32];
        FormatSyslogTime(second, time, sizeof time);
        for (int i = 0; i < kPerSecond; ++i) {
            const std::string text = "seq=" + std::to_string(i);
            SyslogRecord record;
            record.sourceAddress = senders[(i * 7) % kFiles].c_str();
            record.receiveTime = time;
            record.severityName = "info";
            record.facilityName = "user";
            record.messageText = text.c_str();
            record.receivedAt = second;
            const auto began = Clock::now();
            if (i % (kPerSecond / 10) == 0)
                set.ArchiveTick(second);
            set.WriteLogLine(record);
            const Clock::duration took = Clock::now() - began;
            longest = std::max(longest, took);
            total += took;
            pauses.push_back(Seconds(took) * 1e6);
        }
    }
    std::sort(pauses.begin(), pauses.end());
    std::printf("midnight, %d files, %d lines/s over 4 s: longest pause %.0f us, 99.9%% under "
                "%.0f us, mean %.2f us a line, %.2f s in all\n",
                kFiles, kPerSecond, Seconds(longest) * 1e6, pauses[pauses.size() * 999 / 1000],
                Seconds(total) * 1e6 / double(pauses.size()), Seconds(total));
}
} // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const fs::path dir = fs::temp_directory_path() / "marovind-bench-archive";
    fs::remove_all(dir);
    fs::create_directories(dir / "gzip");
    fs::create_directories(dir / "midnight");
    setenv("TZ", "UTC0", 1);
    RefreshTimeZone();
    CompressionThroughput(dir / "gzip", mib);
    Midnight(dir / "midnight");
    fs::remove_all(dir);
}
