#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What a message must be for a rule to fire. Every part left empty (or at "any") lets
// every message through; the set parts must all match.
struct AlertCondition {
    static constexpr int kAnySeverity = -1;

    int minimumSeverity = kAnySeverity; // syslog order: 0 (emergency) is the highest
    std::uint32_t facilities = 0;       // one bit per facility code 0..23; 0 means any
    std::string address;                // whole address, or its first parts ("10.1.")
    std::string host;                   // the header's host name, letter case aside
    std::string app;                    // the header's application, letter case aside
    std::string text;                   // in the message, letter case aside, or a regex
    bool textIsRegex = false;

    bool operator==(const AlertCondition&) const = default;
};

// What a rule does when it fires.
struct AlertActions {
    bool notify = false;    // a desktop notification through the tray icon
    bool sound = false;     // the system's alert sound
    bool highlight = false; // a marker on the matching rows of the list
    bool run = false;       // start `program` with `arguments`
    std::string program;
    std::vector<std::string> arguments; // %time%, %message% ... replaced per alert

    bool operator==(const AlertActions&) const = default;
};

struct AlertRule {
    static constexpr int kDefaultIntervalSeconds = 60;

    std::string name;
    bool enabled = true;
    AlertCondition condition;
    AlertActions actions;
    int intervalSeconds = kDefaultIntervalSeconds; // at most one notification per interval

    bool operator==(const AlertRule&) const = default;
};

// The facility codes a rule can choose, 0 (kern) to 23 (local7).
constexpr int kAlertFacilityCount = 24;
