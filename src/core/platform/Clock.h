#pragma once
#include <cstddef>
#include <ctime>

// Local time as "%b %d %H:%M:%S" ("Mar 05 09:05:03"), with English month names and a
// two-digit day whatever the process locale says. Writes at most size - 1 characters
// and a terminating zero; returns the length, or 0 (empty text) when the time cannot
// be converted or does not fit.
std::size_t FormatSyslogTime(std::time_t when, char* out, std::size_t size);

// UTC broken down and back: `parts` of `when`, false when it cannot be converted; the time of
// `parts` (read as UTC), or -1.
bool ToUtcParts(std::time_t when, std::tm& parts);
std::time_t FromUtcParts(std::tm& parts);

// Local time broken down, in the time zone the process has now; false when it cannot be
// converted.
bool ToLocalParts(std::time_t when, std::tm& parts);
// Reads the process's time zone again (TZ, the system's zone), so local times follow a zone
// changed while the program runs.
void RefreshTimeZone();
