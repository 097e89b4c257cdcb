#include <benchmark/benchmark.h>

#include <string>

#include "core/fields/MessageFields.h"

namespace {

// Typical messages as the list holds them (after the priority), one per header format.
const std::string kRfc5424 =
    "1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog - ID47 "
    "[exampleSDID@32473 iut=\"3\" eventSource=\"Application\" eventID=\"1011\"] "
    "An application event log entry";
const std::string kBsd = "Oct 11 22:14:15 web-3 sshd[1234]: Accepted publickey for root from "
                         "10.1.2.3 port 52144 ssh2";
const std::string kCisco = "123: *Mar  1 18:46:11.123: %SYS-5-CONFIG_I: Configured from console";
const std::string kNoHeader = "a plain line of text that fits no header format at all, 80 bytes";

void Parse(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        MessageFields fields = ParseMessageFields(text);
        benchmark::DoNotOptimize(fields);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(Parse, Rfc5424, kRfc5424);
BENCHMARK_CAPTURE(Parse, Bsd, kBsd);
BENCHMARK_CAPTURE(Parse, Cisco, kCisco);
BENCHMARK_CAPTURE(Parse, NoHeader, kNoHeader);

} // namespace

BENCHMARK_MAIN();
