#include "core/archive/RotatedName.h"

#include <cstdio>
#include <filesystem>

namespace {
constexpr std::string_view kLogExtension = ".log";
constexpr std::size_t kDateLength = 10; // "2026-12-10"

bool IsDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::optional<CalendarDay> ParseDate(std::string_view text) {
    if (text.size() != kDateLength || text[4] != '-' || text[7] != '-' ||
        !IsDigits(text.substr(0, 4)) || !IsDigits(text.substr(5, 2)) ||
        !IsDigits(text.substr(8, 2)))
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t length) {
        return std::stoi(std::string(text.substr(at, length)));
    };
    const CalendarDay day{number(0, 4), number(5, 2), number(8, 2)};
    // Only a real day: the round trip through the day count gives it back.
    if (day.month < 1 || day.month > 12 || DayFromNumber(DayNumber(day)) != day)
        return std::nullopt;
    return day;
}

bool StripSuffix(std::string_view& text, std::string_view suffix) {
    if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix)
        return false;
    text.remove_suffix(suffix.size());
    return true;
}

// Splits "a.b" at its last dot into "a" and "b"; false without a dot.
bool SplitLast(std::string_view text, std::string_view& head, std::string_view& tail) {
    const std::size_t dot = text.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    head = text.substr(0, dot);
    tail = text.substr(dot + 1);
    return true;
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::path(path), ignored);
}
} // namespace

std::string RotatedFileName(std::string_view logName, const CalendarDay& day, int sequence) {
    std::string_view stem = logName;
    StripSuffix(stem, kLogExtension);
    char date[32];
    std::snprintf(date, sizeof date, ".%04d-%02d-%02d", day.year % 10000, day.month % 100,
                  day.day % 100);
    std::string name(stem);
    name += date;
    if (sequence > 0)
        name += "." + std::to_string(sequence);
    name += kLogExtension;
    return name;
}

std::optional<RotatedName> ParseRotatedName(std::string_view fileName) {
    RotatedName parsed;
    parsed.compressed = StripSuffix(fileName, kCompressedSuffix);
    if (!StripSuffix(fileName, kLogExtension))
        return std::nullopt;
    std::string_view head;
    std::string_view tail;
    if (!SplitLast(fileName, head, tail))
        return std::nullopt;
    if (IsDigits(tail) && tail.size() <= 6 && tail[0] != '0') {
        parsed.sequence = std::stoi(std::string(tail));
        fileName = head;
        if (!SplitLast(fileName, head, tail))
            return std::nullopt;
    }
    const std::optional<CalendarDay> day = ParseDate(tail);
    if (!day || head.empty())
        return std::nullopt;
    parsed.day = *day;
    parsed.logName = std::string(head) + std::string(kLogExtension);
    return parsed;
}

std::string FreeRotatedPath(const std::string& directory, std::string_view logName,
                            const CalendarDay& day) {
    for (int sequence = 0;; ++sequence) {
        const std::string path = directory + RotatedFileName(logName, day, sequence);
        if (!Exists(path) && !Exists(path + std::string(kCompressedSuffix)) &&
            !Exists(path + std::string(kPartialSuffix)))
            return path;
    }
}
