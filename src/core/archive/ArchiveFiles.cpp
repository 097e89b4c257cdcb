#include "core/archive/ArchiveFiles.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "core/archive/RotatedName.h"

namespace fs = std::filesystem;

namespace {
// The names of the plain files directly in `directory`; symbolic links are left out.
std::vector<std::string> PlainFileNames(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(fs::path(directory), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code statusError;
        if (it->symlink_status(statusError).type() == fs::file_type::regular)
            names.push_back(it->path().filename().string());
    }
    return names;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(fs::path(path), ignored);
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::path(path), ignored);
}
} // namespace

std::vector<std::string> LeftoverWork(const std::string& directory, bool compress) {
    std::vector<std::string> toCompress;
    for (const std::string& name : PlainFileNames(directory)) {
        const std::string path = directory + name;
        if (EndsWith(name, kPartialSuffix)) {
            const std::string original = name.substr(0, name.size() - kPartialSuffix.size());
            if (ParseRotatedName(original))
                RemoveFile(path);
            continue;
        }
        const std::optional<RotatedName> rotated = ParseRotatedName(name);
        if (!rotated || rotated->compressed)
            continue;
        if (Exists(path + std::string(kCompressedSuffix)))
            RemoveFile(path);
        else if (compress)
            toCompress.push_back(path);
    }
    return toCompress;
}

int DeleteRotatedBefore(const std::string& directory, const CalendarDay& today, int keepDays) {
    if (keepDays <= 0)
        return 0;
    const long oldestKept = DayNumber(today) - keepDays;
    int deleted = 0;
    for (const std::string& name : PlainFileNames(directory)) {
        const std::optional<RotatedName> rotated = ParseRotatedName(name);
        if (!rotated || DayNumber(rotated->day) >= oldestKept)
            continue;
        std::error_code error;
        if (fs::remove(fs::path(directory + name), error))
            ++deleted;
    }
    return deleted;
}
