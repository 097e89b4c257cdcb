#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <ctime>
#include <string>

#include "core/reception/Decode.h"

namespace {

// A typical 100-byte datagram: priority field, the sender's own timestamp and host, text.
std::string HundredByteMessage() {
    std::string text =
        "<34>Oct 11 22:14:15 mymachine su: 'su root' failed for lonvick on /dev/pts/8";
    text.resize(100, '.');
    return text;
}

// As the receive handler does it: the clock is read and the record decoded per datagram.
void DecodeOneDatagram(benchmark::State& state) {
    std::array<char, 1025> buffer{};
    const std::string message = HundredByteMessage();
    std::memcpy(buffer.data(), message.data(), message.size());
    ReceiveTimeText time;
    SyslogRecord record;
    for (auto _ : state) {
        DecodeDatagram(buffer.data(), "10.1.1.1", std::time(nullptr), time, record);
        benchmark::DoNotOptimize(record);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DecodeOneDatagram);

// The worst case: every datagram arrives in a new second, so the time text is formatted
// afresh each time.
void DecodeEachInANewSecond(benchmark::State& state) {
    std::array<char, 1025> buffer{};
    const std::string message = HundredByteMessage();
    std::memcpy(buffer.data(), message.data(), message.size());
    ReceiveTimeText time;
    SyslogRecord record;
    std::time_t when = std::time(nullptr);
    for (auto _ : state) {
        DecodeDatagram(buffer.data(), "10.1.1.1", ++when, time, record);
        benchmark::DoNotOptimize(record);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DecodeEachInANewSecond);

} // namespace

BENCHMARK_MAIN();
