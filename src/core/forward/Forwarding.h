#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/forward/ForwardWorker.h"

class SettingsFile;
struct SyslogRecord;

// Every forwarding target of the settings, each with its worker. Offer is called on the
// reception thread for every admitted message and costs a copy per target; with no target it
// costs nothing.
class Forwarding {
public:
    struct Totals {
        std::size_t targets = 0;
        std::uint64_t queued = 0;
        std::uint64_t dropped = 0;
    };
    using Reporter = ForwardWorker::Reporter;

    ~Forwarding() { Stop(); }

    // "Forward: N queued, K dropped", as the status bar shows it.
    static std::string StatusText(const Totals& totals);

    // Takes the TARGET lines of section [Forward]: a target whose line is unchanged keeps its
    // worker and connection, others start or stop. Gives one text per line not understood
    // (the line stays in the file, unused), e.g. "Forward: TARGET = tcp://x is not understood
    // (no port (1 to 65535) in "x"); the line is kept and not used."
    std::vector<std::string> Configure(const SettingsFile& settings);
    void Offer(const SyslogRecord& record);
    Totals Status() const;
    // Stops every worker; what was not sent stays in its disk queue for the next start. Gives
    // the counts as they were at the end.
    Totals Stop();
    // Where workers tell of lost connections and drops (called on their threads).
    void SetReporter(Reporter report) { m_report = std::move(report); }

private:
    struct Entry {
        std::string line;
        std::unique_ptr<ForwardWorker> worker;
    };
    std::vector<Entry> m_entries;
    Reporter m_report;
};

// The directory of a target's disk queue: "forward/<name>/" in the program directory.
std::string ForwardQueueDirectory(const ForwardTarget& target);

extern Forwarding g_forwarding;

// Configures g_forwarding from the settings file of the program directory; each line not
// understood is shown in a message box.
void ApplyForwardSettings();
