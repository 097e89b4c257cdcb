#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/alerts/AlertMatcher.h"
#include "core/alerts/AlertRule.h"
#include "core/alerts/AlertThrottle.h"
#include "core/alerts/Placeholders.h"

class ProgramRunner;
struct SyslogRecord;

// A rule that fired for a message.
struct Alert {
    const AlertRule& rule;
    const AlertValues& values;
    std::uint64_t heldBack; // matches the throttle held back since the rule last fired
};

// "Alert <name>: <time> <address> <facility>.<severity> <message> (and N more)", the
// message's line breaks as blanks: one line for a log or a journal.
std::string AlertLine(const Alert& alert);

// Looks at each delivered message with the rules in force, in their order, once each. A
// rule that matches marks the message for highlighting at once; its other actions go
// through its throttle: the program is started on the runner and the listener hears of
// the alert (to notify, sound, or write it down).
class AlertDispatcher {
public:
    using Clock = AlertThrottle::Clock;
    using Listener = std::function<void(const Alert& alert)>;

    // `runner` may be null (no programs are started); `clock` is for tests.
    explicit AlertDispatcher(ProgramRunner* runner,
                             std::function<Clock::time_point()> clock = Clock::now);
    ~AlertDispatcher();

    // The rules in force from now on, with fresh throttles. A rule whose regular
    // expression does not compile is left out (the file reader and the dialog refuse it).
    void SetRules(std::vector<AlertRule> rules);
    const std::vector<AlertRule>& Rules() const { return m_rules; }
    void SetListener(Listener listener) { m_listener = std::move(listener); }
    // Whether an enabled rule has the action.
    bool AnyEnabled(bool AlertActions::*action) const;

    struct Outcome {
        bool highlight = false;
    };
    Outcome Deliver(const SyslogRecord& record);

private:
    struct Compiled;
    void Fire(Compiled& compiled, AlertMessage& message, std::optional<AlertValues>& values,
              std::uint64_t heldBack);

    ProgramRunner* m_runner;
    std::function<Clock::time_point()> m_clock;
    Listener m_listener;
    std::vector<AlertRule> m_rules;
    std::vector<Compiled> m_compiled; // the enabled rules
};
