#include "core/alerts/AlertsFile.h"

#include <filesystem>
#include <system_error>

#include "core/alerts/AlertMatcher.h"
#include "core/platform/NewFile.h"
#include "core/platform/TextModeReader.h"
#include "core/reception/NameTables.h"

namespace {
constexpr const char* kSectionPrefix = "Alert ";
constexpr const char* kSeverityNames[8] = {"emerg",   "alert",  "crit", "err",
                                           "warning", "notice", "info", "debug"};

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ParseBool(const std::string& value, bool& out) {
    if (value == "true" || value == "false") {
        out = value == "true";
        return true;
    }
    return false;
}

bool ParseInterval(const std::string& value, int& out) {
    if (value.empty() || value.size() > 7 || value.find_first_not_of("0123456789") != value.npos)
        return false;
    out = std::stoi(value);
    return true;
}

// One key of a rule; false when the key or its value is not understood.
bool ApplyKey(AlertRule& rule, const std::string& key, const std::string& value) {
    AlertCondition& condition = rule.condition;
    AlertActions& actions = rule.actions;
    if (key == "NAME")
        rule.name = value;
    else if (key == "ENABLED")
        return ParseBool(value, rule.enabled);
    else if (key == "MIN_SEVERITY")
        return (condition.minimumSeverity = AlertSeverityFromName(value)) >= 0;
    else if (key == "FACILITIES")
        return FacilitiesFromText(value, condition.facilities);
    else if (key == "ADDRESS")
        condition.address = value;
    else if (key == "HOST")
        condition.host = value;
    else if (key == "APP")
        condition.app = value;
    else if (key == "TEXT")
        condition.text = value;
    else if (key == "TEXT_REGEX")
        return ParseBool(value, condition.textIsRegex);
    else if (key == "NOTIFY")
        return ParseBool(value, actions.notify);
    else if (key == "SOUND")
        return ParseBool(value, actions.sound);
    else if (key == "HIGHLIGHT")
        return ParseBool(value, actions.highlight);
    else if (key == "RUN")
        return ParseBool(value, actions.run);
    else if (key == "PROGRAM")
        actions.program = value;
    else if (key == "INTERVAL")
        return ParseInterval(value, rule.intervalSeconds);
    else if (key.starts_with("ARG") && key.size() > 3 &&
             key.find_first_not_of("0123456789", 3) == std::string::npos &&
             std::stoul(key.substr(3, 6)) == actions.arguments.size() + 1)
        actions.arguments.push_back(value);
    else
        return false;
    return true;
}

std::string Unusable(const std::string& where, const std::string& what) {
    return where + ": " + what + "; the file is kept as it is and no alert rule is in force.";
}

std::string LineError(const std::string& path, int lineNumber, const std::string& what) {
    return Unusable(path + ", line " + std::to_string(lineNumber), what);
}

// A rule read whole: its regular expression must compile as the dialog demands.
std::string RuleError(const AlertRule& rule) {
    std::string reason;
    if (rule.condition.textIsRegex && !AlertMatcher::Compile(rule.condition, reason))
        return "bad regular expression in \"" + rule.name + "\": " + reason;
    return {};
}

std::string Line(const std::string& key, const std::string& value) {
    return key + " = " + value + "\r\n";
}

std::string RuleText(const AlertRule& rule, std::size_t number) {
    const AlertRule fresh;
    std::string text = "[" + std::string(kSectionPrefix) + std::to_string(number) + "]\r\n";
    text += Line("NAME", rule.name);
    text += Line("ENABLED", rule.enabled ? "true" : "false");
    const AlertCondition& c = rule.condition;
    if (c.minimumSeverity != AlertCondition::kAnySeverity)
        text += Line("MIN_SEVERITY", AlertSeverityName(c.minimumSeverity));
    const std::pair<const char*, const std::string*> strings[] = {
        {"ADDRESS", &c.address}, {"HOST", &c.host}, {"APP", &c.app}, {"TEXT", &c.text}};
    if (c.facilities != 0)
        text += Line("FACILITIES", FacilitiesText(c.facilities));
    for (const auto& [key, value] : strings)
        if (!value->empty())
            text += Line(key, *value);
    const AlertActions& a = rule.actions;
    const std::pair<const char*, bool> flags[] = {{"TEXT_REGEX", c.textIsRegex},
                                                  {"NOTIFY", a.notify},
                                                  {"SOUND", a.sound},
                                                  {"HIGHLIGHT", a.highlight},
                                                  {"RUN", a.run}};
    for (const auto& [key, on] : flags)
        if (on)
            text += Line(key, "true");
    if (!a.program.empty())
        text += Line("PROGRAM", a.program);
    for (std::size_t i = 0; i < a.arguments.size(); ++i)
        text += Line("ARG" + std::to_string(i + 1), a.arguments[i]);
    if (rule.intervalSeconds != fresh.intervalSeconds)
        text += Line("INTERVAL", std::to_string(rule.intervalSeconds));
    return text;
}
} // namespace

const char* AlertSeverityName(int severity) {
    return severity >= 0 && severity < 8 ? kSeverityNames[severity] : "";
}

int AlertSeverityFromName(const std::string& name) {
    for (int i = 0; i < 8; ++i)
        if (name == kSeverityNames[i])
            return i;
    return -1;
}

std::string AlertFacilityName(int facility) {
    const char* name = LookupName(FacilityNameTable, facility * 8);
    return name ? name : std::to_string(facility);
}

std::string FacilitiesText(std::uint32_t facilities) {
    std::string text;
    for (int code = 0; code < kAlertFacilityCount; ++code)
        if (facilities & (1u << code))
            text += (text.empty() ? "" : ",") + AlertFacilityName(code);
    return text;
}

bool FacilitiesFromText(const std::string& text, std::uint32_t& facilities) {
    facilities = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = Trim(text.substr(start, comma - start));
        int found = -1;
        for (int code = 0; code < kAlertFacilityCount && found < 0; ++code)
            if (name == AlertFacilityName(code))
                found = code;
        if (found < 0)
            return false;
        facilities |= 1u << found;
        start = comma + 1;
    }
    return true;
}

AlertsFileContent ReadAlertsFile(const std::string& path) {
    AlertsFileContent content;
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return content;
    TextModeReader reader;
    if (!reader.Open(path)) {
        content.error = Unusable(path, "cannot be read");
        return content;
    }
    std::string line;
    int lineNumber = 0;
    AlertRule* rule = nullptr;
    while (reader.ReadPiece(line)) {
        ++lineNumber;
        const std::string text = Trim(line);
        if (text.empty() || text.front() == ';' || text.front() == '#')
            continue;
        if (text.front() == '[' && text.back() == ']') {
            if (!text.starts_with(std::string("[") + kSectionPrefix)) {
                content.error = LineError(path, lineNumber, "unknown section " + text);
                break;
            }
            rule = &content.rules.emplace_back();
            continue;
        }
        const std::size_t equals = text.find('=');
        if (!rule || equals == std::string::npos ||
            !ApplyKey(*rule, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1)))) {
            content.error = LineError(path, lineNumber, "not understood: " + text);
            break;
        }
    }
    for (const AlertRule& read : content.rules)
        if (const std::string why = RuleError(read); content.error.empty() && !why.empty())
            content.error = Unusable(path, why);
    if (!content.error.empty())
        content.rules.clear();
    return content;
}

std::string AlertsFileText(const std::vector<AlertRule>& rules) {
    std::string text;
    for (std::size_t i = 0; i < rules.size(); ++i)
        text += RuleText(rules[i], i + 1);
    return text;
}

std::string WriteAlertsFile(const std::string& path, const std::vector<AlertRule>& rules) {
    return WriteNewFile(path, AlertsFileText(rules), FileReaders::Usual, true);
}
