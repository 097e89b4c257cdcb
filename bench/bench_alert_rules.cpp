#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/alerts/AlertDispatcher.h"
#include "core/reception/Decode.h"

namespace {

// 50 rules as an operator might keep them: half look for words, half for regular
// expressions; some also narrow by severity, facility, sender or application. None
// matches the benchmark's message, so every one is looked at in full.
std::vector<AlertRule> FiftyRules() {
    std::vector<AlertRule> rules;
    for (int i = 0; i < 50; ++i) {
        AlertRule rule;
        rule.name = "rule " + std::to_string(i);
        rule.actions.notify = true;
        AlertCondition& c = rule.condition;
        if (i % 2 == 0) {
            c.text = "disk " + std::to_string(i) + " failed";
        } else {
            c.text = "fail(ed|ure) for (user|root) [a-z]+ on dev" + std::to_string(i);
            c.textIsRegex = true;
        }
        if (i % 5 == 1)
            c.minimumSeverity = 6;
        if (i % 7 == 3)
            c.facilities = 1u << 4 | 1u << 10;
        if (i % 11 == 5)
            c.address = "10.";
        if (i % 13 == 6)
            c.app = "su";
        rules.push_back(rule);
    }
    return rules;
}

void DeliverTo(benchmark::State& state, std::vector<AlertRule> rules) {
    std::string text =
        "<34>Oct 11 22:14:15 mymachine su: 'su root' failed for lonvick on /dev/pts/8";
    text.resize(100, '.');
    ReceiveTimeText time;
    SyslogRecord record;
    DecodeDatagram(text.c_str(), "10.1.1.1", 0, time, record);
    AlertDispatcher dispatcher(nullptr);
    dispatcher.SetRules(std::move(rules));
    for (auto _ : state)
        benchmark::DoNotOptimize(dispatcher.Deliver(record));
}

void NoRules(benchmark::State& state) {
    DeliverTo(state, {});
}
BENCHMARK(NoRules);

void FiftyRulesHalfRegex(benchmark::State& state) {
    DeliverTo(state, FiftyRules());
}
BENCHMARK(FiftyRulesHalfRegex);

// The worst a regular expression costs: its plain text is in the message, so it runs.
void OneRegexThatRuns(benchmark::State& state) {
    AlertRule rule;
    rule.condition.text = "failed for (user|root) on";
    rule.condition.textIsRegex = true;
    DeliverTo(state, {rule});
}
BENCHMARK(OneRegexThatRuns);

} // namespace

BENCHMARK_MAIN();
