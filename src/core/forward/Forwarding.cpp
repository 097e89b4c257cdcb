#include "core/forward/Forwarding.h"

#include <algorithm>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/AddressList.h"
#include "core/reception/SyslogRecord.h"
#include "core/settings/SettingsFile.h"

Forwarding g_forwarding;

namespace {
std::string NotUnderstood(const std::string& line, const std::string& reason) {
    return std::string("Forward: ") + kForwardTargetKey + " = " + line + " is not understood (" +
           reason + "); the line is kept and not used.";
}
} // namespace

std::string ForwardQueueDirectory(const ForwardTarget& target) {
    const char separator = DirectorySeparator();
    return g_programDir + "forward" + separator + target.QueueName() + separator;
}

std::vector<std::string> Forwarding::Configure(const SettingsFile& settings) {
    std::vector<std::string> problems;
    std::vector<Entry> kept;
    std::vector<std::string> queues;
    for (const std::string& line : settings.GetStrings(kForwardSection, kForwardTargetKey)) {
        ForwardTarget target;
        std::string error;
        if (!ParseForwardTarget(line, target, error)) {
            problems.push_back(NotUnderstood(line, error));
            continue;
        }
        if (std::find(queues.begin(), queues.end(), target.QueueName()) != queues.end()) {
            problems.push_back(NotUnderstood(line, "the same collector twice"));
            continue;
        }
        queues.push_back(target.QueueName());
        const auto same = std::find_if(m_entries.begin(), m_entries.end(), [&line](const Entry& e) {
            return e.worker && e.line == line;
        });
        if (same != m_entries.end()) {
            kept.push_back(std::move(*same));
            continue;
        }
        kept.push_back({line, nullptr});
    }
    m_entries.clear(); // stops the workers of targets that went or changed
    m_entries = std::move(kept);
    for (Entry& entry : m_entries)
        if (!entry.worker) {
            ForwardTarget target;
            std::string error;
            ParseForwardTarget(entry.line, target, error);
            const std::string directory = ForwardQueueDirectory(target);
            entry.worker = std::make_unique<ForwardWorker>(std::move(target), directory, m_report);
        }
    return problems;
}

void Forwarding::Offer(const SyslogRecord& record) {
    if (m_entries.empty())
        return;
    const ForwardMessage message = ForwardMessage::From(record);
    for (Entry& entry : m_entries)
        if (entry.worker->Target().Sends(record.severity))
            entry.worker->Offer(message);
}

Forwarding::Totals Forwarding::Status() const {
    Totals totals;
    totals.targets = m_entries.size();
    for (const Entry& entry : m_entries) {
        const ForwardWorker::Counts counts = entry.worker->Status();
        totals.queued += counts.queued;
        totals.dropped += counts.dropped;
    }
    return totals;
}

Forwarding::Totals Forwarding::Stop() {
    for (Entry& entry : m_entries)
        entry.worker->Stop();
    const Totals totals = Status();
    m_entries.clear();
    return totals;
}

std::string Forwarding::StatusText(const Totals& totals) {
    return "Forward: " + std::to_string(totals.queued) + " queued, " +
           std::to_string(totals.dropped) + " dropped";
}

void ApplyForwardSettings() {
    SettingsFile settings;
    settings.Load(SettingsPath());
    for (const std::string& problem : g_forwarding.Configure(settings))
        AfxMessageBox(problem.c_str());
}
