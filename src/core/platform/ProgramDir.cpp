#include "core/platform/ProgramDir.h"

#include <filesystem>
#include <system_error>

#include "core/platform/DirectoryCheck.h"
#include "core/platform/MessageBox.h"

// ProgramDirectory() and UserDataDirectory() are the platform's: WinProgramDir.cpp or
// QtProgramDir.cpp.

std::string g_programDir;

namespace {
bool IsInstalledCopy(const std::string& executableDir) {
    std::error_code error;
    return std::filesystem::is_regular_file(executableDir + kInstalledMarker, error);
}
} // namespace

char DirectorySeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string DirectoryOf(const std::string& executablePath) {
    const auto last = executablePath.find_last_of(DirectorySeparator());
    return last == std::string::npos ? std::string() : executablePath.substr(0, last + 1);
}

std::string ChooseProgramDirectory(const std::string& executableDir,
                                   const std::string& userDataDir) {
    // Without a known executable directory the files stay relative to the current one. An
    // installed copy keeps out of its folder even when an administrator could write there.
    if (executableDir.empty() ||
        (!IsInstalledCopy(executableDir) && IsDirectoryWritable(executableDir)))
        return executableDir;
    if (userDataDir.empty()) {
        AfxMessageBox("Cannot write to " + executableDir +
                      " and no data directory is known (HOME is not set).");
        return executableDir;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(userDataDir), error);
    if (error)
        AfxMessageBox("Cannot create the data directory " + userDataDir + ": " + error.message() +
                      ".");
    return userDataDir;
}

std::string ResolveProgramDirectory() {
    return ChooseProgramDirectory(ProgramDirectory(), UserDataDirectory());
}
