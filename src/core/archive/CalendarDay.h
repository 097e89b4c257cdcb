#pragma once
#include <compare>
#include <ctime>
#include <optional>
#include <string_view>

// A day of the calendar, as a rotated file's name carries it.
struct CalendarDay {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31

    auto operator<=>(const CalendarDay&) const = default;
};

// The local day of `when`, in the time zone the process has now.
std::optional<CalendarDay> LocalDayOf(std::time_t when);

// Days since 1970-01-01 and back, for "N days before".
long DayNumber(const CalendarDay& day);
CalendarDay DayFromNumber(long number);

// The day of a log line's "Mmm dd ..." time. The line carries no year: it is the latest
// year that puts the day no later than `today`.
std::optional<CalendarDay> DayOfLogLine(std::string_view line, const CalendarDay& today);
