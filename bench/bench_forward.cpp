#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/forward/DiskQueue.h"
#include "core/forward/ForwardMessage.h"
#include "core/forward/Rfc5424Writer.h"

namespace {
std::string HundredBytes() {
    std::string text = "<34>Oct 11 22:14:15 mymachine su: 'su root' failed for lonvick";
    text.resize(100, '.');
    return text;
}

std::string ScratchDirectory() {
    return (std::filesystem::temp_directory_path() / "marovind-bench-queue").string();
}

// The rewrite a target with format=rfc5424 does per message, on its worker thread.
void RewriteAsRfc5424(benchmark::State& state) {
    ForwardMessage message;
    message.received = HundredBytes();
    message.bodyAt = 4;
    message.address = "10.1.1.1";
    message.priority = 34;
    message.severity = 2;
    for (auto _ : state)
        benchmark::DoNotOptimize(Rfc5424Text(message));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RewriteAsRfc5424);

// Frames of 104 bytes, 1,000 to a batch as the worker spills them, written and then read back
// and acknowledged: the disk queue's write and replay rates.
void DiskQueueWriteThenReplay(benchmark::State& state) {
    const std::vector<std::string> batch(1000, "100 " + HundredBytes());
    const bool replay = state.range(0) == 1;
    std::filesystem::remove_all(ScratchDirectory());
    DiskQueue queue(ScratchDirectory(), 1ull << 34);
    std::string error;
    queue.Open(error);
    std::vector<DiskQueue::Record> records;
    for (auto _ : state) {
        if (replay) {
            state.PauseTiming();
            queue.Append(batch);
            state.ResumeTiming();
            records.clear();
            queue.Read(records, batch.size() * batch[0].size());
            for (const DiskQueue::Record& record : records)
                queue.Acknowledge(record.end);
        } else {
            queue.Append(batch);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(batch.size()));
    state.SetBytesProcessed(state.items_processed() * static_cast<std::int64_t>(batch[0].size()));
    std::filesystem::remove_all(ScratchDirectory());
}
BENCHMARK(DiskQueueWriteThenReplay)->Arg(0)->Arg(1)->Iterations(2000);
} // namespace

BENCHMARK_MAIN();
