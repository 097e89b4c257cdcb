#pragma once

// A name and its value in the priority number; a table ends with {nullptr, -1}.
struct SyslogName {
    const char* name;
    int value;
};

// Facility names with the facility code times 8, synonyms included, in lookup order.
extern const SyslogName FacilityNameTable[23];
// Severity names with their values, synonyms included, in lookup order.
extern const SyslogName SeverityNameTable[13];

// The name of the first row whose value equals `value`, or null.
const char* LookupName(const SyslogName* table, int value);
