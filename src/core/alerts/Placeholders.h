#pragma once
#include <string>
#include <string_view>

struct SyslogRecord;
struct MessageFields;

// The texts that stand in for %time%, %address%, %facility%, %severity%, %host%, %app% and
// %message% in a program's arguments.
struct AlertValues {
    std::string time;
    std::string address;
    std::string facility; // its name, or its code where it has none
    std::string severity;
    std::string host;
    std::string app;
    std::string message; // as received, after the priority

    static AlertValues Of(const SyslogRecord& record, const MessageFields& fields);
};

// `argument` with each placeholder replaced by its value, in one pass: a value is never
// looked at again, so a message holding "%message%" stays as it is. An unknown %name% is
// kept.
std::string ExpandPlaceholders(std::string_view argument, const AlertValues& values);
