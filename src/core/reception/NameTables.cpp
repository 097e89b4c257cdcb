#include "core/reception/NameTables.h"

const SyslogName FacilityNameTable[23] = {
    {"auth", 32},     {"authpriv", 80}, {"cron", 72},    {"daemon", 24},  {"ftp", 88},
    {"kern", 0},      {"lpr", 48},      {"mail", 16},    {"mark", 192},   {"news", 56},
    {"security", 32}, {"syslog", 40},   {"user", 8},     {"uucp", 64},    {"local0", 128},
    {"local1", 136},  {"local2", 144},  {"local3", 152}, {"local4", 160}, {"local5", 168},
    {"local6", 176},  {"local7", 184},  {nullptr, -1},
};

const SyslogName SeverityNameTable[13] = {
    {"alert", 1}, {"crit", 2},    {"debug", 7}, {"emerg", 0}, {"err", 3},
    {"error", 3}, {"info", 6},    {"none", 16}, {"notice", 5}, {"panic", 0},
    {"warn", 4},  {"warning", 4}, {nullptr, -1},
};

const char* LookupName(const SyslogName* table, int value) {
    for (const SyslogName* row = table; row->name; ++row)
        if (row->value == value)
            return row->name;
    return nullptr;
}
