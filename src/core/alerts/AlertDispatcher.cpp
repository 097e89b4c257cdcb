#include "core/alerts/AlertDispatcher.h"

#include "core/alerts/ProgramRunner.h"
#include "core/reception/SyslogRecord.h"

struct AlertDispatcher::Compiled {
    const AlertRule* rule;
    AlertMatcher matcher;
    AlertThrottle throttle;
};

std::string AlertLine(const Alert& alert) {
    const AlertValues& v = alert.values;
    std::string line = "Alert " + alert.rule.name + ": " + v.time + " " + v.address + " " +
                       v.facility + "." + v.severity + " " + FlattenLineBreaks(v.message.c_str());
    if (alert.heldBack > 0)
        line += " (and " + std::to_string(alert.heldBack) + " more)";
    return line;
}

AlertDispatcher::AlertDispatcher(ProgramRunner* runner, std::function<Clock::time_point()> clock)
    : m_runner(runner), m_clock(std::move(clock)) {}

AlertDispatcher::~AlertDispatcher() = default;

void AlertDispatcher::SetRules(std::vector<AlertRule> rules) {
    m_compiled.clear();
    m_rules = std::move(rules);
    for (const AlertRule& rule : m_rules) {
        std::string error;
        std::optional<AlertMatcher> matcher = AlertMatcher::Compile(rule.condition, error);
        if (rule.enabled && matcher)
            m_compiled.push_back({&rule, std::move(*matcher),
                                  AlertThrottle(std::chrono::seconds(rule.intervalSeconds))});
    }
}

bool AlertDispatcher::AnyEnabled(bool AlertActions::*action) const {
    for (const Compiled& compiled : m_compiled)
        if (compiled.rule->actions.*action)
            return true;
    return false;
}

AlertDispatcher::Outcome AlertDispatcher::Deliver(const SyslogRecord& record) {
    Outcome outcome;
    if (m_compiled.empty())
        return outcome;
    AlertMessage message(record);
    std::optional<AlertValues> values; // worked out once, for the first rule that fires
    for (Compiled& compiled : m_compiled) {
        if (!compiled.matcher.Matches(message))
            continue;
        outcome.highlight = outcome.highlight || compiled.rule->actions.highlight;
        if (const auto heldBack = compiled.throttle.OnMatch(m_clock()))
            Fire(compiled, message, values, *heldBack);
    }
    return outcome;
}

void AlertDispatcher::Fire(Compiled& compiled, AlertMessage& message,
                           std::optional<AlertValues>& values, std::uint64_t heldBack) {
    if (!values)
        values = AlertValues::Of(message.Record(), message.Fields());
    const AlertRule& rule = *compiled.rule;
    if (rule.actions.run && m_runner && !rule.actions.program.empty()) {
        std::vector<std::string> arguments;
        for (const std::string& argument : rule.actions.arguments)
            arguments.push_back(ExpandPlaceholders(argument, *values));
        m_runner->Run(rule.actions.program, arguments, values->message + "\n");
    }
    if (m_listener)
        m_listener(Alert{rule, *values, heldBack});
}
