#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "core/archive/CalendarDay.h"

// The names rotation gives: "syslog.log" becomes "syslog.2026-12-10.log", then
// "syslog.2026-12-10.1.log", ".2", ... for more files of the same day; compression adds
// ".gz" once complete and writes under ".gz.part" until then.
inline constexpr std::string_view kCompressedSuffix = ".gz";
inline constexpr std::string_view kPartialSuffix = ".gz.part";

struct RotatedName {
    std::string logName; // the live log's name, "syslog.log"
    CalendarDay day;
    int sequence = 0; // 0 for the day's first file
    bool compressed = false;
};

// The name of the day's `sequence`th rotated file of `logName`, without ".gz".
std::string RotatedFileName(std::string_view logName, const CalendarDay& day, int sequence);

// Reads a name rotation made; nothing for any other name, partial files included.
std::optional<RotatedName> ParseRotatedName(std::string_view fileName);

// The first rotated name of the day free in `directory` (ending in its separator) under all
// three forms: plain, compressed and partial.
std::string FreeRotatedPath(const std::string& directory, std::string_view logName,
                            const CalendarDay& day);
