#pragma once
#include <string>
#include <vector>

#include "core/alerts/AlertRule.h"

// alerts.ini in the program directory: one section per rule, "[Alert 1]", "[Alert 2]" ...
// in the rules' order, each with "KEY = value" lines (CR LF), a key only where the rule
// differs from a new one. Arguments are ARG1, ARG2 ... so none needs quoting.
inline constexpr const char* kAlertsFileName = "alerts.ini";

struct AlertsFileContent {
    std::vector<AlertRule> rules;
    // Why the file could not be used, naming it; empty when it could (a missing file
    // holds no rules). A file with an error gives no rules at all and must not be
    // written over.
    std::string error;
};

AlertsFileContent ReadAlertsFile(const std::string& path);
// The text of the file for `rules`.
std::string AlertsFileText(const std::vector<AlertRule>& rules);
// Replaces the file; empty text on success, otherwise why.
std::string WriteAlertsFile(const std::string& path, const std::vector<AlertRule>& rules);

// "err" and the other severity names by value (0..7), and back (-1 when unknown).
const char* AlertSeverityName(int severity);
int AlertSeverityFromName(const std::string& name);
// The facility's name ("kern" ... "local7"), or its code as text when it has none.
std::string AlertFacilityName(int facility);
// "mail,auth" and back; false when a name is not a facility.
std::string FacilitiesText(std::uint32_t facilities);
bool FacilitiesFromText(const std::string& text, std::uint32_t& facilities);
