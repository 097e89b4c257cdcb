#include "core/archive/CalendarDay.h"

#include <array>

#include "core/platform/Clock.h"

namespace {
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int MonthOf(std::string_view name) {
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (kMonths[i] == name)
            return static_cast<int>(i) + 1;
    return 0;
}

int TwoDigits(std::string_view text) {
    const auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : -1; };
    const int tens = text[0] == ' ' ? 0 : digit(text[0]);
    const int ones = digit(text[1]);
    return tens < 0 || ones < 0 ? -1 : tens * 10 + ones;
}
} // namespace

std::optional<CalendarDay> LocalDayOf(std::time_t when) {
    std::tm parts{};
    if (!ToLocalParts(when, parts))
        return std::nullopt;
    return CalendarDay{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

// Howard Hinnant's days_from_civil and civil_from_days.
long DayNumber(const CalendarDay& day) {
    const long y = day.year - (day.month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yearOfEra = y - era * 400;
    const long dayOfYear = (153 * (day.month + (day.month > 2 ? -3 : 9)) + 2) / 5 + day.day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CalendarDay DayFromNumber(long number) {
    number += 719468;
    const long era = (number >= 0 ? number : number - 146096) / 146097;
    const long dayOfEra = number - era * 146097;
    const long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

std::optional<CalendarDay> DayOfLogLine(std::string_view line, const CalendarDay& today) {
    if (line.size() < 6 || line[3] != ' ')
        return std::nullopt;
    const int month = MonthOf(line.substr(0, 3));
    const int day = TwoDigits(line.substr(4, 2));
    if (month == 0 || day < 1 || day > 31)
        return std::nullopt;
    CalendarDay found{today.year, month, day};
    if (found > today)
        --found.year;
    return found;
}
